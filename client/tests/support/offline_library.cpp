#include "offline_library.h"

#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "library_access.h"
#include "market/market.h"

namespace kelda::kelapi::test {
namespace {

std::string make_folder() {
  char path[] = "/tmp/kelapi-offline-XXXXXX";
  const char* made = ::mkdtemp(path);
  return made != nullptr ? made : "";
}

}  // namespace

OfflineLibrary::OfflineLibrary() : folder_(make_folder()), net_(std::make_shared<FakeNet>()) {
  LibraryOptions options;
  options.net = net_;
  lib_ = std::make_unique<Library>(options);
  set_current_library(lib_.get());
  lib_->initialise(1, folder_.c_str(), nullptr, 0, true);
  LibraryLock lock(*lib_);
  LibraryTestAccess::pretend_connected(*lib_, 1);
}

OfflineLibrary::~OfflineLibrary() {
  {
    LibraryLock lock(*lib_);
    LibraryTestAccess::pretend_disconnected(*lib_);
  }
  lib_->uninitialise();
  set_current_library(nullptr);
  lib_.reset();
  std::error_code ec;
  std::filesystem::remove_all(folder_, ec);
}

int32_t OfflineLibrary::add_class(int32_t server_id, const char* code) {
  LibraryLock lock(*lib_);
  ClassDescription d;
  std::memset(&d, 0, sizeof d);
  d.server_id = server_id;
  std::snprintf(d.code, sizeof d.code, "%s", code);
  on_class_description(*lib_, d);
  return static_cast<int32_t>(lib_->classes.find_by_server_id(server_id));
}

void OfflineLibrary::add_security(int32_t class_index, int32_t server_id, const char* code, int16_t scale) {
  LibraryLock lock(*lib_);
  SecurityHead h;
  std::memset(&h, 0, sizeof h);
  h.request = static_cast<int32_t>(lib_->classes.at(static_cast<std::size_t>(class_index)).securities_request);
  h.server_id = server_id;
  h.scale = scale;
  std::snprintf(h.code, sizeof h.code, "%s", code);
  on_security_description(*lib_, h);
}

void OfflineLibrary::add_param(int32_t class_index, const char* name, int16_t flags, int16_t scale, bool in_filter) {
  LibraryLock lock(*lib_);
  ParamDescription d;
  std::memset(&d, 0, sizeof d);
  d.request = static_cast<int16_t>(lib_->classes.at(static_cast<std::size_t>(class_index)).params_request);
  d.flags = flags;
  d.scale = scale;
  std::snprintf(d.db_name, sizeof d.db_name, "%s", name);
  on_param_description(*lib_, d);
  const int32_t slot = lib_->params.slot_by_name(name);
  if (NetParamEx* p = slot < 0 ? nullptr : lib_->params.get(class_index, slot)) p->in_filter = in_filter ? 1 : 0;
}

}  // namespace kelda::kelapi::test
