// Streams: memory growth and refusal, spill into a temporary file, file and
// temporary file streams, handle streams, the text helpers.
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "stream.h"
#include "testsupport/test_dir.h"

namespace kelda::sekura32 {
namespace {

std::string read_all(SkStream* s) {
  s->rewind_read(s);
  std::string out;
  char chunk[700];
  while (uint32_t n = s->read(s, chunk, sizeof chunk)) out.append(chunk, n);
  return out;
}

TEST(MemoryStream, CallersBufferWithoutGrowthRefusesTheEleventhByte) {
  char buffer[10];
  SkStream* s = skMemStream(buffer, sizeof buffer, 0, &skDummyRealloc);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->write(s, "0123456789", 10), 10u);
  EXPECT_EQ(s->write(s, "X", 1), 0u);
  EXPECT_EQ(skIOerror, SK_IO_ERROR);
  EXPECT_EQ(skIORet(skIOerror), SK_IO_ERROR);
  EXPECT_EQ(skIORet(0), SK_OK);
  EXPECT_EQ(read_all(s), "0123456789");
  EXPECT_EQ(skIOerror, 0u);
  EXPECT_EQ(s->write(s, "", 0), 0u);
  s->close(s);
}

TEST(MemoryStream, TemporaryStreamGrowsInSteps) {
  auto capacity_of = [](SkStream* s) {
    uint32_t capacity = 0;
    skLookMemStream(s, nullptr, &capacity, nullptr, nullptr);
    return capacity;
  };
  SkStream* s = skTempMemStream();
  std::string bytes(3000, 'x');
  EXPECT_EQ(s->write(s, bytes.data(), 1), 1u);
  EXPECT_EQ(capacity_of(s), 1024u);
  EXPECT_EQ(s->write(s, bytes.data(), 1024), 1024u);
  EXPECT_EQ(capacity_of(s), 2048u);
  s->close(s);

  SkStream* t = skTempMemStream();
  EXPECT_EQ(t->write(t, bytes.data(), 3000), 3000u);
  EXPECT_EQ(capacity_of(t), 3072u);
  EXPECT_EQ(t->count, 3000u);
  EXPECT_EQ(t->remaining(t), 3000u);
  char two[2];
  t->rewind_read(t);
  t->read(t, two, 2);
  EXPECT_EQ(t->remaining(t), 2998u);
  skMemStreamTail(t, 2);
  uint32_t length = 0, position = 9;
  skLookMemStream(t, nullptr, nullptr, &length, &position);
  EXPECT_EQ(length, 2998u);
  EXPECT_EQ(position, 0u);
  skMemStreamTail(t, 5000);
  EXPECT_EQ(t->remaining(t), 0u);
  t->close(t);
}

// A growth function that gives up after the first block.
void* limited_growth(void* block, size_t new_size, size_t old_size) {
  return new_size > 1024 ? nullptr : skRealloc(block, new_size, old_size);
}

TEST(MemoryStream, TemporaryStreamSpillsIntoAFileAndStaysReadable) {
  SkStream* s = skTempStream();
  s->u.memory.grow = limited_growth;
  std::string first(1000, 'a'), second(3000, 'b');
  EXPECT_EQ(s->write(s, first.data(), 1000), 1000u);
  EXPECT_EQ(s->kind, SK_STREAM_MEMORY);
  EXPECT_EQ(s->write(s, second.data(), 3000), 3000u);
  EXPECT_EQ(s->kind, SK_STREAM_FILE);
  std::string path = s->name;
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(read_all(s), first + second);
  s->close(s);
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(FileStream, WritesReadsAndTakesTheFilesTime) {
  std::string path = (test::test_dir() / "data.bin").string();
  std::string windows_style = path;
  SkStream* s = skFileStream(path.c_str());
  EXPECT_EQ(s->read(s, nullptr, 1), 0u);  // nothing open yet
  EXPECT_EQ(skIOerror, SK_IO_ERROR);
  EXPECT_EQ(s->rewind_write(s), 0);
  EXPECT_EQ(s->write(s, "hello", 5), 5u);
  EXPECT_EQ(s->count, 5u);
  EXPECT_EQ(read_all(s), "hello");
  EXPECT_GT(s->time, 0u);
  s->rewind_read(s);
  EXPECT_EQ(s->remaining(s), 5u);
  s->close(s);

  // A name with backslashes names the same file.
  std::string backslashed = (test::test_dir().string() + "\\data.bin");
  SkStream* b = skFileStream(backslashed.c_str());
  EXPECT_EQ(read_all(b), "hello");
  b->close(b);

  SkStream* missing = skFileStream((test::test_dir() / "missing").string().c_str());
  EXPECT_EQ(missing->rewind_read(missing), ENOENT);
  EXPECT_EQ(skIOerror, uint32_t(ENOENT));
  missing->close(missing);
}

TEST(TempFileStream, UniquePrivateNamesAndNoFileLeftAfterClose) {
  SkStream* a = skTempFileStream();
  SkStream* b = skTempFileStream();
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_STRNE(a->name, b->name);
  std::filesystem::path folder = std::filesystem::path(a->name).parent_path();
  EXPECT_EQ(std::filesystem::status(folder).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_all);
  std::string content(5000, 'k');
  a->write(a, content.data(), uint32_t(content.size()));
  std::fflush(a->u.file.file);
  std::string path = a->name;
  EXPECT_EQ(std::filesystem::file_size(path), 5000u);
  // Reopening for writing wipes the old content first; closing deletes.
  a->rewind_write(a);
  EXPECT_EQ(std::filesystem::file_size(path), 0u);
  a->close(a);
  EXPECT_FALSE(std::filesystem::exists(path));
  b->close(b);
}

TEST(HandleStream, ReadsAndWritesAnOpenHandleWithoutOwningIt) {
  std::string path = (test::test_dir() / "handle.bin").string();
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  SkStream* s = skHandleStream(fd);
  EXPECT_EQ(s->write(s, "abc", 3), 3u);
  EXPECT_EQ(s->remaining(s), 0u);
  EXPECT_EQ(skIOerror, SK_IO_ERROR);
  EXPECT_EQ(s->rewind_read(s), 0);
  ::lseek(fd, 0, SEEK_SET);
  char back[3];
  EXPECT_EQ(s->read(s, back, 3), 3u);
  EXPECT_EQ(std::string(back, 3), "abc");
  s->close(s);
  EXPECT_EQ(::close(fd), 0);  // still open after the stream's close
  SkStream* bad = skHandleStream(-1);
  EXPECT_EQ(bad->read(bad, back, 3), 0u);
  EXPECT_EQ(skIOerror, uint32_t(EBADF));
  bad->close(bad);
}

TEST(DummyStream, SwallowsAndCounts) {
  SkStream* s = skDummyStream();
  EXPECT_EQ(s->write(s, "abcd", 4), 4u);
  EXPECT_EQ(s->count, 4u);
  char c;
  EXPECT_EQ(s->read(s, &c, 1), 0u);
  s->rewind_write(s);
  EXPECT_EQ(s->count, 0u);
  EXPECT_STREQ(skNewName(s, "dummy"), "dummy");
  EXPECT_EQ(skNewName(s, nullptr), nullptr);
  EXPECT_EQ(s->name, nullptr);
  s->close(s);
}

TEST(StreamText, LinesAndTexts) {
  SkStream* s = skTempMemStream();
  EXPECT_EQ(stream_write_line(s, "abc", 10), 5u);
  EXPECT_EQ(stream_write_text(s, "longer text", 4), 4u);
  EXPECT_EQ(stream_write_text(s, "", 4), 0u);
  EXPECT_EQ(stream_write_byte(s, '\n'), '\n');
  stream_write_text(s, "a\rb\r\r\n", 100);
  stream_write_text(s, "tail\r", 100);
  s->rewind_read(s);
  char line[4];
  bool ended = true;
  EXPECT_EQ(stream_read_line(s, line, sizeof line, &ended), 5u);
  EXPECT_STREQ(line, "abc");
  EXPECT_FALSE(ended);
  EXPECT_EQ(stream_read_line(s, line, sizeof line, &ended), 5u);  // cut, still consumed
  EXPECT_STREQ(line, "lon");
  char wide[16];
  EXPECT_EQ(stream_read_line(s, wide, sizeof wide), 6u);
  EXPECT_STREQ(wide, "a\rb\r");
  EXPECT_EQ(stream_read_line(s, wide, sizeof wide, &ended), 5u);
  EXPECT_STREQ(wide, "tail\r");
  EXPECT_TRUE(ended);
  EXPECT_EQ(stream_read_line(s, wide, sizeof wide, &ended), 0u);
  EXPECT_STREQ(wide, "");
  s->close(s);
  EXPECT_EQ(stream_write_byte(nullptr, 1), -1);
}

}  // namespace
}  // namespace kelda::sekura32
