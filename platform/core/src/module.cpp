// Module loading by name through the dynamic loader.
#include "platform/module.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <system_error>
#include <vector>

#include "platform/last_error.h"

namespace kelda::platform {

namespace fs = std::filesystem;

namespace {

bool ends_with_nocase(std::string_view s, std::string_view suffix) {
  if (s.size() < suffix.size()) return false;
  return std::equal(suffix.begin(), suffix.end(), s.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                    [](char lower, char c) { return std::tolower(static_cast<unsigned char>(c)) == lower; });
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The files a module name `name` (no folder) may mean in `folder`: X.so,
// libX.so, then the files of the folder whose names differ from those only
// in case.
void add_named_files(const fs::path& folder, std::string_view name, std::vector<fs::path>& files) {
  std::string base(name);
  if (ends_with_nocase(base, ".dll")) {
    base.resize(base.size() - 4);
  } else if (ends_with_nocase(base, ".so")) {
    base.resize(base.size() - 3);
  }
  if (base.empty()) return;
  const std::size_t first = files.size();
  for (const fs::path& file : {folder / (base + ".so"), folder / ("lib" + base + ".so")}) {
    if (std::find(files.begin(), files.end(), file) == files.end()) files.push_back(file);
  }
  // Module names were case-blind where they come from ("SIGPROV.DLL" names
  // Sigprov): the files of the folder whose names differ only in case come
  // after the exact ones.
  const std::string wanted[] = {lower(base + ".so"), lower("lib" + base + ".so")};
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string file = it->path().filename().string();
    if ((lower(file) == wanted[0] || lower(file) == wanted[1]) &&
        std::find(files.begin() + static_cast<std::ptrdiff_t>(first), files.end(), it->path()) == files.end()) {
      files.push_back(it->path());
    }
  }
}

std::vector<fs::path> candidate_files(std::string_view name, const void* anchor) {
  std::vector<fs::path> files;
  if (name.find('/') == std::string_view::npos) {
    add_named_files(module_folder_of(anchor), name, files);
    return files;
  }
  // A path: the file itself, then the module its file name means in its folder.
  const fs::path path(name);
  files.push_back(path);
  add_named_files(path.parent_path(), path.filename().string(), files);
  return files;
}

}  // namespace

Module::Module(Module&& other) noexcept
    : handle_(other.handle_), path_(std::move(other.path_)), error_(std::move(other.error_)) {
  other.handle_ = nullptr;
}

Module& Module::operator=(Module&& other) noexcept {
  if (this != &other) {
    unload();
    handle_ = other.handle_;
    path_ = std::move(other.path_);
    error_ = std::move(other.error_);
    other.handle_ = nullptr;
  }
  return *this;
}

Module::~Module() { unload(); }

void Module::unload() noexcept {
  if (handle_) {
    dlclose(handle_);
    handle_ = nullptr;
  }
}

Module Module::load(std::string_view name, const void* anchor) {
  Module m;
  if (name.empty()) {
    m.error_ = "empty module name";
    set_last_error(error::mod_not_found);
    return m;
  }
  for (const fs::path& file : candidate_files(name, anchor)) {
    std::error_code ec;
    if (!fs::exists(file, ec)) {
      if (m.error_.empty()) m.error_ = file.string() + ": no such file";
      continue;
    }
    dlerror();
    if (void* h = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL)) {
      m.handle_ = h;
      m.path_ = file;
      m.error_.clear();
      return m;
    }
    const char* text = dlerror();
    m.error_ = text ? text : (file.string() + ": cannot be loaded");
  }
  set_last_error(error::mod_not_found);
  return m;
}

void* Module::symbol(const char* name) const noexcept {
  if (!handle_ || !name) {
    set_last_error(error::invalid_handle);
    return nullptr;
  }
  dlerror();
  void* p = dlsym(handle_, name);
  if (!p) set_last_error(error::proc_not_found);
  return p;
}

fs::path module_file_of(const void* address) {
  Dl_info info{};
  if (address && dladdr(address, &info) && info.dli_fname && info.dli_fname[0] == '/') {
    return fs::path(info.dli_fname);
  }
  // The main program reports the name it was started by; ask the kernel.
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : exe;
}

fs::path module_folder_of(const void* address) { return module_file_of(address).parent_path(); }

fs::path program_folder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::current_path(ec) : exe.parent_path();
}

}  // namespace kelda::platform
