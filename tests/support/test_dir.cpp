#include "testsupport/test_dir.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace kelda::test {

namespace detail {
std::filesystem::path current_test_dir;
}

const std::filesystem::path& test_dir() { return detail::current_test_dir; }

std::filesystem::path test_data(const std::string& relative) {
  const char* root = std::getenv("KELDA_TEST_DATA");
  if (!root || !*root) {
    throw std::runtime_error("KELDA_TEST_DATA is not set");
  }
  return std::filesystem::path(root) / relative;
}

std::string read_file_bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw std::runtime_error("cannot open " + path.string());
  }
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file_bytes(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) {
    throw std::runtime_error("cannot create " + path.string());
  }
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    throw std::runtime_error("cannot write " + path.string());
  }
}

}  // namespace kelda::test
