// Loading modules (shared libraries and plug-ins) by name, and binding their
// entry points by name.
//
// A name "X.DLL" (any case of the extension, or no extension) means the module
// file of X beside the loading module: X.so, then libX.so, in the folder of the
// module that holds `anchor`; failing those, a file of that folder whose name
// differs from one of them only in case (module names were case-blind). A
// name with a '/' is a path: the file itself when it is there, else the
// module its file name means, by the same rule, in the folder it names
// ("/opt/app/SIGPROV.DLL" finds /opt/app/Sigprov.so).
// Module is a move-only RAII handle; unloading happens when the last handle to
// the same file goes. Thread-safe. Failures set the last error
// (error::mod_not_found, error::proc_not_found) and keep the loader's text.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/export.h"

namespace kelda::platform {

class KELDA_PLATFORM_API Module {
 public:
  Module() = default;
  Module(Module&& other) noexcept;
  Module& operator=(Module&& other) noexcept;
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;
  ~Module();

  // Loads by the naming rule above. `anchor` is any address inside the loading
  // module (use this_module_anchor()).
  static Module load(std::string_view name, const void* anchor);

  bool loaded() const noexcept { return handle_ != nullptr; }
  explicit operator bool() const noexcept { return loaded(); }
  const std::filesystem::path& path() const noexcept { return path_; }
  // The loader's message when load() failed.
  const std::string& error_text() const noexcept { return error_; }

  // Address of an exported name, or nullptr (last error proc_not_found).
  void* symbol(const char* name) const noexcept;
  template <typename Fn>
  Fn function(const char* name) const noexcept {
    return reinterpret_cast<Fn>(symbol(name));
  }

  void unload() noexcept;

 private:
  void* handle_ = nullptr;
  std::filesystem::path path_;
  std::string error_;
};

// The folder of the module (shared library or program) holding `address`.
KELDA_PLATFORM_API std::filesystem::path module_folder_of(const void* address);
// The file of the module holding `address`.
KELDA_PLATFORM_API std::filesystem::path module_file_of(const void* address);
// The running program's folder.
KELDA_PLATFORM_API std::filesystem::path program_folder();

}  // namespace kelda::platform

// An address inside whichever module compiles this header: each module gets
// its own copy of the static variable.
namespace {
[[maybe_unused]] inline const void* this_module_anchor() {
  static const char anchor = 0;
  return &anchor;
}
}  // namespace
