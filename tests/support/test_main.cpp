// Test program entry: gives every test case a fresh temporary folder as its
// current directory, so that no test sees another's files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <system_error>

#include "testsupport/test_dir.h"

namespace kelda::test::detail {
extern std::filesystem::path current_test_dir;
}

namespace {

class TempDirListener : public ::testing::EmptyTestEventListener {
 public:
  void OnTestStart(const ::testing::TestInfo&) override {
    namespace fs = std::filesystem;
    original_ = fs::current_path();
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
      fs::path candidate = fs::temp_directory_path() /
                           ("kelda-test-" + std::to_string(rd()) + "-" + std::to_string(rd()));
      std::error_code ec;
      if (fs::create_directory(candidate, ec)) {
        kelda::test::detail::current_test_dir = candidate;
        fs::current_path(candidate);
        return;
      }
    }
    std::abort();
  }

  void OnTestEnd(const ::testing::TestInfo&) override {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::current_path(original_, ec);
    if (!std::getenv("KELDA_KEEP_TEST_DIRS")) {
      fs::remove_all(kelda::test::detail::current_test_dir, ec);
    }
    kelda::test::detail::current_test_dir.clear();
  }

 private:
  std::filesystem::path original_;
};

}  // namespace

int main(int argc, char** argv) {
  // Tests never open a real screen (unless the caller chose a platform).
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new TempDirListener);
  return RUN_ALL_TESTS();
}
