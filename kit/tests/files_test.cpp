#include "kit/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/last_error.h"
#include "testsupport/test_dir.h"

namespace {

namespace fs = std::filesystem;
namespace plat = kelda::platform;
using kelda::test::read_file_bytes;
using kelda::test::write_file_bytes;

TEST(FileStat, KindSizeAndTime) {
  write_file_bytes("f.bin", std::string(1234, 'x'));
  fs::create_directory("d");
  struct stat st{};
  ASSERT_EQ(::stat("f.bin", &st), 0);

  kelda::kit::FileStatInfo info{};
  ASSERT_EQ(kelda::kit::file_stat("f.bin", &info), 0);
  EXPECT_EQ(info.kind, kelda::kit::kFileKindOther);
  EXPECT_EQ(info.size_low, 1234u);
  EXPECT_EQ(info.size_high, 0u);
  EXPECT_EQ(info.last_write, static_cast<uint32_t>(st.st_mtim.tv_sec));
  ASSERT_EQ(kelda::kit::file_stat("d", &info), 0);
  EXPECT_EQ(info.kind, kelda::kit::kFileKindDirectory);
  EXPECT_EQ(kelda::kit::file_stat("missing", &info), -1);
  EXPECT_EQ(kelda::kit::file_stat(std::string(260, 'a').c_str(), &info), -1);
  EXPECT_EQ(kelda::kit::file_stat(nullptr, &info), -1);

  const int fd = ::open("f.bin", O_RDONLY);
  ASSERT_GE(fd, 0);
  kelda::kit::FileStatInfo by_handle{};
  EXPECT_EQ(kelda::kit::file_stat_handle(fd, &by_handle), 0);
  EXPECT_EQ(by_handle.size_low, 1234u);
  ::close(fd);
  EXPECT_EQ(kelda::kit::file_stat_handle(fd, &by_handle), -1);

  EXPECT_EQ(kelda::kit::file_size("f.bin"), 1234u);
  EXPECT_EQ(kelda::kit::file_size("missing"), 0u);
}

TEST(FileIo, ReadAndWriteThroughDescriptors) {
  const int fd = ::open("io.bin", O_RDWR | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(kelda::kit::file_write(fd, "hello", 5), 5);
  ASSERT_EQ(::lseek(fd, 0, SEEK_SET), 0);
  char buf[16] = {};
  EXPECT_EQ(kelda::kit::file_read(fd, buf, sizeof buf), 5);  // stops at the end
  EXPECT_STREQ(buf, "hello");
  EXPECT_EQ(kelda::kit::file_read(fd, buf, sizeof buf), 0);
  ::close(fd);
  plat::set_last_error(0);
  EXPECT_EQ(kelda::kit::file_read(fd, buf, sizeof buf), -1);
  EXPECT_NE(plat::get_last_error(), 0u);
  EXPECT_EQ(kelda::kit::file_write(fd, "x", 1), -1);
}

TEST(FileTests, ExistenceDirectoriesAndMoves) {
  write_file_bytes("f", "1");
  EXPECT_EQ(kelda::kit::make_directory(u"Папка"), 1);
  EXPECT_TRUE(fs::is_directory("Папка"));
  EXPECT_EQ(kelda::kit::make_directory(u"Папка"), 0);
  EXPECT_EQ(plat::get_last_error(), plat::error::already_exists);

  struct Case { const char16_t* path; int file; int dir; };
  const Case cases[] = {{u"f", 1, 0}, {u"Папка", 0, 1}, {u"missing", 0, 0}, {u"", 0, 0}, {nullptr, 0, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(kelda::kit::file_exists(c.path), c.file);
    EXPECT_EQ(kelda::kit::directory_exists(c.path), c.dir);
  }

  write_file_bytes("g", "2");
  EXPECT_EQ(kelda::kit::move_file(u"f", u"g"), 0);  // the destination exists
  EXPECT_EQ(plat::get_last_error(), plat::error::already_exists);
  EXPECT_EQ(read_file_bytes("g"), "2");
  EXPECT_EQ(kelda::kit::move_file(u"f", u"Папка/h"), 1);
  EXPECT_EQ(read_file_bytes("Папка/h"), "1");
  EXPECT_EQ(kelda::kit::move_file(u"missing", u"x"), 0);
  EXPECT_EQ(plat::get_last_error(), plat::error::file_not_found);
}

TEST(ReadWholeFile, ReadsEverythingAndTerminates) {
  const std::string content = std::string("a\0b", 3) + std::string(5000, 'z');
  write_file_bytes("\xD0\xA4.bin", content);  // "Ф.bin" on disk; 0xD4 in 1251
  char* buffer = nullptr;
  std::size_t size = 99;
  ASSERT_EQ(kelda::kit::read_whole_file("\xD4.bin", &buffer, &size), 1);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(std::string(buffer, size), content);
  EXPECT_EQ(buffer[size], '\0');
  EXPECT_EQ(kelda::kit::free_file_buffer(&buffer, &size), 1);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(kelda::kit::free_file_buffer(&buffer, &size), 0);

  write_file_bytes("empty", "");
  ASSERT_EQ(kelda::kit::read_whole_file("empty", &buffer, &size), 1);
  EXPECT_EQ(size, 0u);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(buffer[0], '\0');
  kelda::kit::free_file_buffer(&buffer, &size);

  size = 5;
  EXPECT_EQ(kelda::kit::read_whole_file("missing", &buffer, &size), 0);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(size, 0u);
  fs::create_directory("dir");
  EXPECT_EQ(kelda::kit::read_whole_file("dir", &buffer, &size), 0);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(kelda::kit::read_whole_file(nullptr, &buffer, &size), 0);
}

TEST(WriteWholeFile, FailureLeavesTheOldContent) {
  ASSERT_TRUE(kelda::kit::write_whole_file("out.txt", "first"));
  ASSERT_TRUE(kelda::kit::write_whole_file("out.txt", "second"));
  EXPECT_EQ(read_file_bytes("out.txt"), "second");

  // A directory in the way: the rename fails, nothing is left behind.
  fs::create_directory("taken");
  write_file_bytes("taken/inside", "keep");
  EXPECT_FALSE(kelda::kit::write_whole_file("taken", "x"));
  EXPECT_EQ(read_file_bytes("taken/inside"), "keep");
  int entries = 0;
  for (const auto& e : fs::directory_iterator(".")) entries += e.path().filename() != "out.txt" ? 1 : 0;
  EXPECT_EQ(entries, 1);
  EXPECT_FALSE(kelda::kit::write_whole_file("no/such/folder.txt", "x"));
}

TEST(WriteWholeFile, TheFileKeepsItsOwner) {
  if (::geteuid() != 0) GTEST_SKIP() << "only the administrator can hand a file to another user";
  write_file_bytes("owned.txt", "first");
  ASSERT_EQ(::chown("owned.txt", 65534, 65534), 0);
  ASSERT_TRUE(kelda::kit::write_whole_file("owned.txt", "second"));
  struct stat st{};
  ASSERT_EQ(::stat("owned.txt", &st), 0);
  EXPECT_EQ(st.st_uid, 65534u);
  EXPECT_EQ(st.st_gid, 65534u);
  EXPECT_EQ(read_file_bytes("owned.txt"), "second");
}

}  // namespace
