// The library's start-up and shut-down with the process: when the shared
// library is loaded, its one Library (with both threads) is created over the
// real protocol library; when it is unloaded, the threads are stopped and
// waited for. If the threads cannot be started, every export answers
// KELAPI_E_NOT_INITIALIZED.
#include <memory>

#include "core/diag.h"
#include "session/library.h"
#include "session/zn_net_port.h"

namespace kelda::kelapi {
namespace {

class ProcessLibrary {
 public:
  ProcessLibrary() {
    try {
      LibraryOptions options;
      options.net = make_zn_net_port();
      library_ = std::make_unique<Library>(std::move(options));
      set_current_library(library_.get());
    } catch (const std::exception& e) {
      diag("KeldaApi: the library's threads could not be started: %s\n", e.what());
    }
  }
  ~ProcessLibrary() {
    set_current_library(nullptr);
    library_.reset();
  }

 private:
  std::unique_ptr<Library> library_;
};

ProcessLibrary g_process_library;

}  // namespace
}  // namespace kelda::kelapi
