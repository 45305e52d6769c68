// Fuzz support: one work file per fuzzing process, in a folder of its own
// (in memory when /dev/shm is there) that goes at the process's exit. A
// target that reads a file by path writes each input into it.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace kelda::fuzzing {

// The folder, made on first use and named by that call's `tag` (a target
// uses one tag; later calls get the same folder).
inline const std::string& work_folder(const char* tag) {
  static const std::string folder = [tag] {
    const std::string base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string made = base + "/kelda-fuzz-" + tag + "-" + std::to_string(::getpid());
    std::filesystem::create_directories(made);
    return made;
  }();
  static const bool cleaned = [] {
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(folder, ec);
    });
    return true;
  }();
  (void)cleaned;
  return folder;
}

// Replaces the file's content with the bytes.
inline void write_work_file(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace kelda::fuzzing
