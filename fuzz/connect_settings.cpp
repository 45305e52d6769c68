// Arbitrary settings files through the transport's readers of the
// "connect" section (trade server address, port, time-outs) and the
// "proxy" section (with the migration of the older password-mode key, which
// rewrites the file), then the proxy section written back and read again.
// Nothing may crash; what is read must be within its record's fields.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "connection.h"
#include "fuzz_work_file.h"
#include "proxy.h"
#include "setup.h"

using namespace kelda::dtcp;

namespace {

void check_fields(const zn_proxy_params& proxy) {
  if (strnlen(proxy.user_name, sizeof proxy.user_name) > kMaxProxyField ||
      strnlen(proxy.password, sizeof proxy.password) > kMaxProxyField) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = kelda::fuzzing::work_folder("connect") + "/settings.ini";
  if (size > 64 * 1024) return 0;
  kelda::fuzzing::write_work_file(path, {reinterpret_cast<const char*>(data), size});

  auto c = std::make_shared<Connection>();
  zn_conn_setup setup{};
  setup.mode = ZN_SETUP_INI;
  std::memcpy(setup.ini_path, path.c_str(), path.size() + 1);
  std::string error;
  if (read_connection_params(*c, setup, error)) {
    if (c->params.version != 1 || c->params.port == 0) std::abort();
    check_fields(c->proxy);
    (void)proxy_description(c->proxy);
  } else if (error.empty()) {
    std::abort();
  }

  zn_proxy_params proxy{};
  read_proxy_settings(path, proxy);
  check_fields(proxy);
  if (write_proxy_settings(path, proxy)) {
    zn_proxy_params again{};
    read_proxy_settings(path, again);
    check_fields(again);
  }
  return 0;
}
