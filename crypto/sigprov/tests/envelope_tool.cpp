// Test tool: envelopes or opens one file through the Sigprov module in a
// process of its own, so that a test can hand data between processes that
// share nothing but the files.
//
//   sigprov_envelope_tool encrypt|decrypt SETTINGS.ini IN OUT
//
// The carrier password ("secret") is answered through a headless dialog
// session. Exit code 0 on success; otherwise 1 with the provider's text on
// the standard error.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "cipherhub/cpapi.h"
#include "platform/module.h"
#include "sigprov/sigprov.h"
#include "ui/dialog.h"
#include "ui/testing.h"

namespace {

int failed(const std::string& what, const char* text) {
  std::fprintf(stderr, "%s: %s\n", what.c_str(), text);
  return 1;
}

int run(const std::string& mode, const std::string& ini, const std::string& in_path, const std::string& out_path) {
  using namespace kelda;
  const bool encrypt = mode == "encrypt";
  if (!encrypt && mode != "decrypt") return failed("usage", "encrypt|decrypt SETTINGS.ini IN OUT");
  std::ifstream in(in_path, std::ios::binary);
  const std::string input((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in && !in.eof()) return failed(in_path, "cannot be read");

  ui::HeadlessUi session;
  session.script().on_dialog(u"PASSWORD_DIALOG_0X09_0X01", [](ui::DialogDriver& d) {
    d.set_text(1002, u"secret");
    d.click(ui::id::ok);
  });
  platform::Module module = platform::Module::load((platform::program_folder() / "Sigprov.so").string(), nullptr);
  if (!module) return failed("Sigprov.so", module.error_text().c_str());
  auto* initialize = module.function<CPAPI_InitializeLib_fn*>("CPAPI_InitializeLib");
  auto* uninitialize = module.function<CPAPI_UninitializeLib_fn*>("CPAPI_UninitializeLib");
  auto* new_context = module.function<CPAPI_NewCryptoContext_fn*>("CPAPI_NewCryptoContext");
  auto* free_context = module.function<CPAPI_FreeCryptoContext_fn*>("CPAPI_FreeCryptoContext");
  auto* process = module.function<CPAPI_EnCryptData_fn*>(encrypt ? "CPAPI_EnCryptData" : "CPAPI_DeCryptData");
  auto* free_memory = module.function<CPAPI_FreeMemory_fn*>("CPAPI_FreeMemory");
  if (!initialize || !uninitialize || !new_context || !free_context || !process || !free_memory) {
    return failed("Sigprov.so", "an entry point is missing");
  }

  char error[1024] = "";
  if (initialize(9, 1, 1, 0, 2, 0, 0, ini.c_str(), 0, 0, 0, 0, error, sizeof error) != 1) {
    return failed("CPAPI_InitializeLib", error);
  }
  int status = 1;
  CpapiContext* context = new_context(nullptr, encrypt ? SIGPROV_CONTEXT_ENCRYPT : SIGPROV_CONTEXT_DECRYPT, 9, 1, 1,
                                      0, 2, nullptr, 0, ini.c_str(), nullptr, 0, 0, 0, error, sizeof error);
  if (context == nullptr) {
    failed("CPAPI_NewCryptoContext", error);
  } else {
    void* out = nullptr;
    uint32_t length = 0;
    if (process(context, input.data(), static_cast<uint32_t>(input.size()), &out, &length, 0, 0, 0, 0, error,
                sizeof error) != CP_CRYPT_DONE) {
      failed(mode, error);
    } else {
      std::ofstream(out_path, std::ios::binary).write(static_cast<const char*>(out), length);
      status = 0;
    }
    free_memory(out);
    free_context(context, 0, 0, 0, 0, nullptr, 0);
  }
  uninitialize(0, 0, 0, 0);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) return failed("usage", "sigprov_envelope_tool encrypt|decrypt SETTINGS.ini IN OUT");
  return run(argv[1], argv[2], argv[3], argv[4]);
}
