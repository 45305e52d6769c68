// A host process that loads one provider plug-in, initialises it and leaves
// by returning from main with the provider still initialised, so that the
// process's exit handlers and the module's unload hooks run with the
// provider's state live. Exit code 0 when everything ran; a crash or an
// abort in those handlers shows as another status.
// Usage: provider_exit_host MODULE_FILE SETTINGS_FILE [unload]
//   unload: the host also unloads the module itself before returning.
#include <cstdio>
#include <cstring>
#include <string>

#include "cipherhub/cpapi.h"
#include "platform/module.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: provider_exit_host MODULE_FILE SETTINGS_FILE [unload]\n");
    return 2;
  }
  kelda::platform::Module module = kelda::platform::Module::load(argv[1], nullptr);
  if (!module) {
    std::fprintf(stderr, "cannot load %s: %s\n", argv[1], module.error_text().c_str());
    return 3;
  }
  auto* init = module.function<CPAPI_InitializeLib_fn*>("CPAPI_InitializeLib");
  if (init == nullptr) {
    std::fprintf(stderr, "%s has no CPAPI_InitializeLib\n", argv[1]);
    return 4;
  }
  char error[512] = "";
  if (init(9, 1, 1, 0, 2, 0, 0, argv[2], 0, 0, 0, 0, error, sizeof error) != 1) {
    std::fprintf(stderr, "initialisation failed: %s\n", error);
    return 5;
  }
  if (argc > 3 && std::strcmp(argv[3], "unload") == 0) module.unload();
  return 0;
}
