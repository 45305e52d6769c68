// Armour: the body checked against Python's base64 module, marker lines,
// the decoder's refusals and the scan of mixed blocks.
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "armour.h"
#include "md5.h"

namespace kelda::sekura32 {
namespace {

struct Stream {
  Stream() : s(skTempMemStream()) {}
  explicit Stream(const std::string& bytes) : s(skTempMemStream()) {
    s->write(s, bytes.data(), uint32_t(bytes.size()));
    s->rewind_read(s);
  }
  ~Stream() { s->close(s); }
  std::string text() const {
    uint8_t* buffer = nullptr;
    uint32_t capacity = 0, length = 0, position = 0;
    skLookMemStream(s, &buffer, &capacity, &length, &position);
    return std::string(reinterpret_cast<char*>(buffer), length);
  }
  SkStream* s;
};

std::string hex(const std::string& bytes) {
  std::string out;
  char pair[3];
  for (unsigned char c : bytes) {
    std::snprintf(pair, sizeof pair, "%02x", c);
    out += pair;
  }
  return out.empty() ? "-" : out;
}

// Python's base64 of each input, split into 64-character lines ended by CRLF.
std::vector<std::string> python_bodies(const std::vector<std::string>& inputs) {
  std::string command =
      "python3 -c 'import base64,sys\n"
      "for h in sys.argv[1:]:\n"
      " b=base64.b64encode(bytes.fromhex(\"\" if h==\"-\" else h)).decode()\n"
      " print(\"|\".join([b[i:i+64] for i in range(0,len(b),64)] or [\"\"]))'";
  for (const auto& input : inputs) command += " " + hex(input);
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::vector<std::string> bodies;
  std::string line;
  for (int c; (c = std::fgetc(pipe.get())) != EOF;) {
    if (c != '\n') {
      line += c == '|' ? std::string("\r\n") : std::string(1, char(c));
      continue;
    }
    bodies.push_back(line + "\r\n");
    line.clear();
  }
  return bodies;
}

TEST(Armour, BodiesEqualPythonBase64AndDecodeBack) {
  std::mt19937 random(7);
  std::vector<std::string> inputs;
  for (std::size_t n : {0, 1, 2, 3, 4, 47, 48, 49, 50, 51, 96, 97, 1000, 5000}) {
    std::string bytes(n, '\0');
    for (auto& b : bytes) b = char(random());
    inputs.push_back(bytes);
  }
  std::vector<std::string> expected = python_bodies(inputs);
  ASSERT_EQ(expected.size(), inputs.size());
  for (std::size_t k = 0; k < inputs.size(); ++k) {
    SCOPED_TRACE(inputs[k].size());
    Stream in(inputs[k]), out;
    uint32_t written = 0;
    ASSERT_EQ(armour_write(in.s, out.s, nullptr, &written, nullptr), SK_OK);
    EXPECT_EQ(out.text(), expected[k]);
    EXPECT_EQ(written, expected[k].size());

    Stream counted_in(inputs[k] + "tail"), counted_out;
    uint32_t count = uint32_t(inputs[k].size());
    ASSERT_EQ(armour_write(counted_in.s, counted_out.s, &count, nullptr, nullptr), SK_OK);
    EXPECT_EQ(counted_out.text(), expected[k]);

    Stream body(expected[k]), decoded;
    char line[100];
    uint32_t n = 0;
    ASSERT_EQ(armour_decode_body(body.s, decoded.s, &n, kMarkerBegin | kMarkerEnd, line, sizeof line), SK_OK);
    EXPECT_EQ(decoded.text(), inputs[k]);
    EXPECT_EQ(n, inputs[k].size());
  }
}

TEST(Armour, MarkerLinesAndTheEmptyBody) {
  Stream in(""), out;
  ASSERT_EQ(armour_write(in.s, out.s, nullptr, nullptr, kArmourMessage), SK_OK);
  EXPECT_EQ(out.text(), "-----BEGIN SEKURA MESSAGE-----\r\n\r\n\r\n-----END SEKURA MESSAGE-----\r\n");

  EXPECT_EQ(marker_test("-----BEGIN SEKURA MESSAGE-----", kMarkerBegin, nullptr, 0), kMarkerBegin);
  EXPECT_EQ(marker_test("-----END OTHER MESSAGE-----", 3, kArmourMessage, 13), kMarkerEnd);
  EXPECT_EQ(marker_test("-----END X", kMarkerBegin, nullptr, 0), 0u);
  EXPECT_EQ(marker_test("-----BEGIN ", kMarkerBegin, kArmourMessage, 13), 0u);
}

TEST(Armour, MalformedBodiesAreRefused) {
  const char* bodies[] = {
      "QUJD\r\nQU JD\r\n-----END SEKURA MESSAGE-----\r\n",  // a blank
      "QUJDR\r\n-----END SEKURA MESSAGE-----\r\n",          // one character pending
      "QUJDRA\r\n=\r\n",                                    // "=" after a partial group
      "Q===\r\n",                                           // a group of one character
      "QU*D\r\n",                                           // outside the alphabet
  };
  for (const char* body : bodies) {
    Stream in(body), out;
    char line[100];
    EXPECT_EQ(armour_decode_body(in.s, out.s, nullptr, 3, line, sizeof line), SK_BAD_FORMAT) << body;
  }
  Stream split("QU\r\nJD\r\n"), out;
  char line[100];
  ASSERT_EQ(armour_decode_body(split.s, out.s, nullptr, 3, line, sizeof line), SK_OK);
  EXPECT_EQ(out.text(), "ABC");
}

TEST(Armour, ScanFindsMessageClearTextAndSignature) {
  std::string input =
      "junk before\r\n"
      "-----BEGIN SEKURA MESSAGE-----\r\nVersion: x\r\n\r\nQUJD\r\n-----END SEKURA MESSAGE-----\r\n"
      "-----BEGIN SEKURA SIGNED MESSAGE-----\r\nline one\r\n\r\nlast\n"
      "-----BEGIN SEKURA SIGNATURE-----\r\n\r\nWFla\r\n-----END SEKURA SIGNATURE-----\r\n";
  Stream in(input), message, clear, signature;
  SkMd5Context digest;
  md5_init(digest);
  char line[256];
  uint32_t flags = 0;
  ASSERT_EQ(armour_read(&flags, in.s, message.s, clear.s, signature.s, &digest, line, sizeof line), SK_OK);
  EXPECT_EQ(flags, kFoundMessage | kFoundClearSigned | kFoundSignature);
  EXPECT_EQ(message.text(), "ABC");
  EXPECT_EQ(clear.text(), "line one\r\n\r\nlast\r\n");
  EXPECT_EQ(signature.text(), "XYZ");
  uint8_t got[16], want[16];
  md5_final(got, digest);
  md5_buffer("line one\r\n\r\nlast\r\n", 18, want);
  EXPECT_EQ(std::string(got, got + 16), std::string(want, want + 16));

  Stream bad("-----BEGIN SEKURA MESSAGE-----\r\n\r\nQUJ\r\n-----END SEKURA MESSAGE-----\r\n");
  flags = 0;
  EXPECT_EQ(armour_read(&flags, bad.s, nullptr, nullptr, nullptr, nullptr, line, sizeof line), SK_BAD_FORMAT);
}

TEST(Armour, ClearTextWithALimit) {
  char line[64];
  Stream exact("ab\ncd\n"), out;
  uint32_t limit = 6;
  ASSERT_EQ(read_clear_text(false, exact.s, out.s, &limit, 3, nullptr, line, sizeof line), SK_OK);
  EXPECT_EQ(out.text(), "ab\r\ncd\r\n");
  EXPECT_EQ(limit, 8u);
  Stream over("ab\ncdef\n");
  limit = 5;
  EXPECT_EQ(read_clear_text(false, over.s, nullptr, &limit, 3, nullptr, line, sizeof line), SK_BAD_FORMAT);
  Stream short_input("ab\n");
  limit = 10;
  EXPECT_EQ(read_clear_text(false, short_input.s, nullptr, &limit, 3, nullptr, line, sizeof line), SK_BAD_FORMAT);
}

}  // namespace
}  // namespace kelda::sekura32
