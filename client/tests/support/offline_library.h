// A client library for benchmarks and fuzz targets: initialised in a
// temporary folder of its own and put into the connected state without a
// network stack (the tests' network double records what it sends), with
// helpers that describe classes, securities and parameters as the server's
// messages would. The folder goes with the object.
//
// Single-threaded: each helper takes the library lock itself. Allocation
// failure throws.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "fake_net.h"
#include "session/library.h"

namespace kelda::kelapi::test {

class OfflineLibrary {
 public:
  OfflineLibrary();
  ~OfflineLibrary();
  OfflineLibrary(const OfflineLibrary&) = delete;
  OfflineLibrary& operator=(const OfflineLibrary&) = delete;

  Library& lib() { return *lib_; }
  FakeNet& net() { return *net_; }
  const std::string& folder() const { return folder_; }

  // Adds a class (its securities and parameters then follow); its index.
  int32_t add_class(int32_t server_id, const char* code);
  void add_security(int32_t class_index, int32_t server_id, const char* code, int16_t scale);
  // A parameter of the class, taken into the class filter when asked.
  void add_param(int32_t class_index, const char* name, int16_t flags, int16_t scale, bool in_filter);

 private:
  std::string folder_;
  std::shared_ptr<FakeNet> net_;
  std::unique_ptr<Library> lib_;
};

}  // namespace kelda::kelapi::test
