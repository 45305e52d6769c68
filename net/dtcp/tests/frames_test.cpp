// Frames and blocks read from a socket pair: prefixes of both widths, server
// frames, and the sizes that a peer must not be trusted with.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "connection.h"
#include "fake_crypto.h"

namespace kelda::dtcp::testing {
namespace {

using Bytes = std::vector<uint8_t>;

struct Pair {
  explicit Pair(uint32_t width) {
    int fds[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    c = std::make_shared<Connection>();
    c->width = width;
    c->link.adopt(fds[0]);
    peer = fds[1];
  }
  ~Pair() { ::close(peer); }
  void feed(const Bytes& b, bool close_after = true) {
    ASSERT_EQ(::write(peer, b.data(), b.size()), ssize_t(b.size()));
    if (close_after) ::shutdown(peer, SHUT_WR);
  }
  std::shared_ptr<Connection> c;
  int peer = -1;
};

TEST(Frames, BlockPrefixesOfBothWidths) {
  struct Case {
    uint32_t width;
    Bytes bytes;
    int64_t length;
  };
  const std::vector<Case> cases = {
      {2, {0xFF, 0xFF}, -1},
      {2, {0x00, 0x00}, 0},
      {2, {0x00, 0x05, 1, 2, 3, 4, 5}, 5},
      {4, {0xFF, 0xFF, 0xFF, 0xFF}, -1},
      {4, {0x00, 0x00, 0x00, 0x00}, 0},
      {4, {0x00, 0x00, 0x00, 0x02, 7, 8}, 2},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(::testing::Message() << "width " << k.width << " length " << k.length);
    Pair p(k.width);
    p.feed(k.bytes);
    std::vector<uint8_t> buffer;
    int64_t length = 99;
    std::string error;
    ASSERT_EQ(p.c->read_block(buffer, length, error), kOk) << error;
    EXPECT_EQ(length, k.length);
  }
}

TEST(Frames, BadReadsFailWithTheirTexts) {
  struct Case {
    const char* what;
    uint32_t width;
    Bytes bytes;
    int result;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"peer closes inside the prefix", 2, {0x00}, kPeerClosed, "Can't get message size from net"},
      {"peer closes inside the body", 2, {0x00, 0x04, 1}, kPeerClosed, "Can't get data from net"},
      {"negative length with 4-byte prefixes", 4, {0x80, 0, 0, 0}, kApplicationError,
       "Wrong data size was received: -2147483648"},
      {"a 4-byte length far beyond any block", 4, {0x7F, 0xFF, 0xFF, 0xF0}, kApplicationError,
       "Wrong data size was received: 2147483632"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    Pair p(k.width);
    p.feed(k.bytes);
    std::vector<uint8_t> buffer;
    int64_t length = 0;
    std::string error;
    EXPECT_EQ(p.c->read_block(buffer, length, error), k.result);
    EXPECT_EQ(error, k.text);
    EXPECT_LT(buffer.size(), 1024u * 1024u + 1);  // nothing was allocated for the peer's size
  }
}

Bytes frame(uint32_t processing, const char* start, uint32_t id, uint32_t code, uint32_t size,
            const Bytes& text, const char* end) {
  Bytes b = {0xFF, 0xFF};
  auto put = [&b](uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(v >> s));
  };
  put(processing);
  b.insert(b.end(), start, start + 4);
  put(id);
  put(code);
  put(size);
  b.insert(b.end(), text.begin(), text.end());
  b.insert(b.end(), end, end + std::strlen(end));
  return b;
}

TEST(Frames, ServerMessageFramesAreCheckedField_by_field) {
  struct Case {
    const char* what;
    Bytes bytes;
    int result;
    std::string text;
  };
  const Bytes ok = {'o', 'k', 0};
  const std::vector<Case> cases = {
      {"processing identifier 3", frame(3, "ASTA", 3, 1, 3, ok, "AFIN"), kApplicationError,
       "Read request answer: Wait for request answer processing identifier but received wrong "
       "value - 3"},
      {"other start magic", frame(1, "XSTA", 3, 1, 3, ok, "AFIN"), kApplicationError,
       "Read request answer: Wait for ZN_START_REQUEST_ANSWER_MAGIC, but received wrong value - "
       "\"XSTA\""},
      {"answer id 2 in place of a server message", frame(1, "ASTA", 2, 1, 3, ok, "AFIN"),
       kApplicationError,
       "Read request answer: Wait for request answer identifier but wrong value received - 2"},
      {"other end magic", frame(1, "ASTA", 3, 1, 3, ok, "AFIX"), kApplicationError,
       "Read request answer: Wait for ZN_END_REQUEST_ANSWER_MAGIC but wrong data was received "
       "from server - \"AFIX\"."},
      {"an error text larger than any server sends", frame(1, "ASTA", 3, 1, 0x7FFFFFFF, {}, ""),
       kApplicationError,
       "Read error message: Wait for error message size but received wrong value - 2147483647"},
      {"an information text cut short", frame(1, "ASTA", 4, 1, 50, ok, ""), kPeerClosed,
       "Read message info: Wait for message text "},
      {"an error frame with no text still reads its end", frame(1, "ASTA", 3, 1, 0, {}, "AFIN"),
       kOk, ""},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    Pair p(2);
    p.feed(k.bytes);
    std::vector<uint8_t> buffer;
    int64_t length = 0;
    std::string error;
    ASSERT_EQ(p.c->read_block(buffer, length, error), kOk);
    ASSERT_EQ(length, -1);
    int32_t answer = 0;
    EXPECT_EQ(p.c->read_server_message(answer, error), k.result);
    EXPECT_EQ(error, k.text);
  }
}

}  // namespace
}  // namespace kelda::dtcp::testing
