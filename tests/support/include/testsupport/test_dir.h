// Test support: every test case runs in a fresh temporary folder of its own.
//
// The test program's main() creates the folder before each test, makes it the
// current directory, and removes it afterwards (unless KELDA_KEEP_TEST_DIRS is
// set). Single-threaded use from the test body; the paths stay valid for the
// whole test case.
#pragma once

#include <filesystem>
#include <string>

namespace kelda::test {

// The current test's private folder.
const std::filesystem::path& test_dir();

// A file in tests/data of the source tree (KELDA_TEST_DATA points there).
std::filesystem::path test_data(const std::string& relative);

// Reads a whole file as bytes; throws std::runtime_error when it cannot.
std::string read_file_bytes(const std::filesystem::path& path);

// Writes bytes to a file, replacing it; throws std::runtime_error on failure.
void write_file_bytes(const std::filesystem::path& path, std::string_view bytes);

}  // namespace kelda::test
