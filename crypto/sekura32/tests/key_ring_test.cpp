// Key rings on disk: binary and text rings stored, found, opened, removed,
// refused when damaged; lists of bases; installed handlers.
#include <stdlib.h>

#include <cstdarg>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "key_packet.h"
#include "key_ring.h"

namespace kelda::sekura32 {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> bytes_of(SkStream* s) {
  uint8_t* buffer = nullptr;
  uint32_t length = 0;
  skLookMemStream(s, &buffer, nullptr, &length, nullptr);
  return std::vector<uint8_t>(buffer, buffer + length);
}

std::string file_text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

void write_file(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

struct User {
  User() { skIniUser(&u); }
  ~User() { skBurnUser(&u); }
  UserRecord u;
};

// A generated key with its packets: secret (under `password`, or clear for
// "") and public, stamped with `time`.
struct Key {
  std::vector<uint8_t> secret, pub;
  uint8_t id[8] = {};
  uint32_t bits = 0, time = 0;
};

Key make_key(uint32_t bits, uint32_t time = 0, const char* password = "") {
  Key key;
  key.bits = bits;
  key.time = time;
  SkStream* s = skTempMemStream();
  SkStream* p = skTempMemStream();
  EXPECT_EQ(skGenKey(key.id, nullptr, &bits, s, p, nullptr, nullptr), SK_OK);
  std::vector<uint8_t> plain = bytes_of(s);
  s->close(s);
  p->close(p);
  User user;
  EXPECT_EQ(read_key_packet(plain.data(), uint32_t(plain.size()), user.u, nullptr, true), SK_OK);
  user.u.time = time;
  for (auto [out, pass] : {std::pair{&key.secret, password}, std::pair{&key.pub, (const char*)nullptr}}) {
    SkStream* m = skTempMemStream();
    EXPECT_EQ(skPackUser(&user.u, pass, m, nullptr, nullptr), SK_OK);
    *out = bytes_of(m);
    m->close(m);
  }
  return key;
}

uint32_t put(const fs::path& ring, const char* name, const Key& key, bool secret, int32_t user_id = 7) {
  const auto& packet = secret ? key.secret : key.pub;
  return skPutUser(ring.c_str(), name, key.id, user_id, key.time, secret ? 1 : 0, key.bits, packet.data(),
                   uint32_t(packet.size()));
}

uint32_t get(const std::string& bases, const char* text, const uint8_t* id, UserRecord* user,
             const char* password = nullptr) {
  const char* texts[] = {text};
  return skGetUser(bases.c_str(), texts, text != nullptr ? 1 : 0, id, user, 0, password, 0);
}

// Messages shown by the library, captured.
std::vector<std::string> shown;
uint32_t capture_message(uint32_t, const char* title, const char* format, va_list arguments) {
  char text[512];
  std::vsnprintf(text, sizeof text, format, arguments);
  shown.push_back(std::string(title) + ": " + text);
  return 0;
}

class KeyRing : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/sekura32_rings_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    shown.clear();
    skvMessage = &capture_message;
  }
  void TearDown() override {
    skvMessage = nullptr;
    fs::remove_all(dir);
  }
  static const Key& key_a() {
    static Key k = make_key(1024, 0, "");
    return k;
  }
  static const Key& key_b() {
    static Key k = make_key(512, 0, "pass word");
    return k;
  }
  fs::path dir;
};

TEST_F(KeyRing, KeysAreStoredFoundOpenedAndRemovedInBothKinds) {
  for (const char* suffix : {".txk", ".bkr"}) {
    SCOPED_TRACE(suffix);
    fs::path secret = dir / (std::string("secring") + suffix), pub = dir / (std::string("pubring") + suffix);
    ASSERT_EQ(put(secret, "Ivanov I.I.", key_a(), true), SK_OK);
    ASSERT_EQ(put(secret, "Petrov P.P.", key_b(), true), SK_OK);
    ASSERT_EQ(put(pub, "Ivanov I.I.", key_a(), false), SK_OK);
    ASSERT_EQ(put(pub, "Petrov P.P.", key_b(), false), SK_OK);
    std::string stored = file_text(secret);

    User found;
    ASSERT_EQ(get(pub.string(), "Petrov", nullptr, &found.u), SK_OK);
    EXPECT_STREQ(found.u.name, "Petrov P.P.");
    EXPECT_STREQ(found.u.extra, pub.c_str());
    EXPECT_EQ(0, std::memcmp(found.u.keyId, key_b().id, 8));
    EXPECT_EQ(found.u.d, nullptr);
    ASSERT_EQ(get(pub.string(), nullptr, key_a().id, &found.u), SK_OK);
    EXPECT_STREQ(found.u.name, "Ivanov I.I.");
    EXPECT_EQ(found.u.bits, 1024u);
    EXPECT_EQ(get(pub.string(), "Sidorov", nullptr, &found.u), SK_NOT_FOUND);
    EXPECT_EQ(found.u.name, nullptr);

    // The secret part: clear, under the right password, under a wrong one.
    ASSERT_EQ(get(secret.string(), "Ivanov", nullptr, &found.u, ""), SK_OK);
    EXPECT_NE(found.u.d1, nullptr);
    ASSERT_EQ(get(secret.string(), "Petrov", nullptr, &found.u, "pass word"), SK_OK);
    EXPECT_NE(found.u.d, nullptr);
    EXPECT_EQ(get(secret.string(), "Petrov", nullptr, &found.u, "bad word"), SK_WRONG_PASSWORD);
    EXPECT_EQ(found.u.n, nullptr);
    EXPECT_EQ(found.u.name, nullptr);
    // Asked when needed with no user interface: declined.
    EXPECT_EQ(get(secret.string(), "Petrov", nullptr, &found.u, skAskWhenNeed), SK_DECLINED);

    // Registering the same key again changes nothing but says so.
    ASSERT_EQ(put(secret, "Petrov P.P.", key_b(), true), SK_OK);
    EXPECT_EQ(file_text(secret), stored);
    ASSERT_FALSE(shown.empty());
    EXPECT_NE(shown.back().find("registered repeatedly: Petrov P.P."), std::string::npos);
    // Another key under the same name and id is refused.
    Key other = key_a();
    other.time = 5;
    other.pub = make_key(512).pub;
    EXPECT_EQ(skPutUser(pub.c_str(), "Ivanov I.I.", key_a().id, 7, 0, 0, 512, other.pub.data(),
                        uint32_t(other.pub.size())),
              SK_ANOTHER_KEY);
    EXPECT_NE(shown.back().find("ANOTHER key public"), std::string::npos);
    // A packet whose type does not match the secret flag.
    EXPECT_EQ(skPutUser(pub.c_str(), "X", key_a().id, 7, 0, 1, 1024, key_a().pub.data(),
                        uint32_t(key_a().pub.size())),
              suffix == std::string(".bkr") ? SK_KEY_TOO_LARGE : SK_KEY_TOO_LARGE);
    EXPECT_EQ(file_text(secret), stored);
  }

  // Deleting: text rings drop the entry; binary rings say it is not done.
  fs::path text = dir / "pubring.txk", binary = dir / "pubring.bkr";
  EXPECT_EQ(skDelUser(text.c_str(), "Petrov P.P.", 0, nullptr, 0), SK_OK);
  User gone;
  EXPECT_EQ(get(text.string(), "Petrov", nullptr, &gone.u), SK_NOT_FOUND);
  EXPECT_EQ(get(text.string(), "Ivanov", nullptr, &gone.u), SK_OK);
  EXPECT_EQ(skDelUser(text.c_str(), "Petrov P.P.", 0, nullptr, 0), SK_NOT_FOUND);
  std::string before = file_text(binary);
  EXPECT_EQ(skDelUser(binary.c_str(), "Petrov P.P.", 0, nullptr, 0), SK_NOT_FOUND);
  EXPECT_EQ(shown.back(), "Sorry...: Deletion keys from base " + binary.string() + " not realized");
  EXPECT_EQ(file_text(binary), before);
}

TEST_F(KeyRing, ListsOfBasesAndTheNewestKey) {
  fs::path text = dir / "a.txk", binary = dir / "b.bkr";
  Key older = make_key(512, 100), newer = make_key(512, 200);
  ASSERT_EQ(put(text, "Sidorov", newer, false), SK_OK);
  ASSERT_EQ(put(binary, "Sidorov", older, false), SK_OK);
  ASSERT_EQ(put(binary, "Kuznetsov", key_a(), false), SK_OK);
  User found;
  // Each base goes to its own handler, and the newest key wins in any order.
  for (std::string list : {text.string() + "|" + binary.string(), binary.string() + "|" + text.string()}) {
    ASSERT_EQ(get(list, "Sidorov", nullptr, &found.u), SK_OK);
    EXPECT_EQ(found.u.time, 200u);
    EXPECT_EQ(0, std::memcmp(found.u.keyId, newer.id, 8));
  }
  ASSERT_EQ(get(text.string() + "|" + binary.string(), "Kuznetsov", nullptr, &found.u), SK_OK);
  EXPECT_STREQ(found.u.extra, binary.c_str());
  EXPECT_EQ(get((dir / "c.gdb").string(), "Sidorov", nullptr, &found.u), SK_BAD_PROTECTION);
  // A ring that cannot be opened: the retry question is declined without a
  // user interface; the hook that never retries reports the I/O error.
  EXPECT_EQ(get((dir / "missing.bkr").string(), "Sidorov", nullptr, &found.u), SK_DECLINED);
  SkKeyReadRetryFunction previous = skKeyReadRetry;
  skKeyReadRetry = &skKeyReadRetryFail;
  EXPECT_EQ(get((dir / "missing.bkr").string(), "Sidorov", nullptr, &found.u), SK_IO_ERROR);
  skKeyReadRetry = previous;
  // An empty name ends the list.
  EXPECT_EQ(get("|" + text.string(), "Sidorov", nullptr, &found.u), SK_NOT_FOUND);
}

TEST_F(KeyRing, DamagedRingsAreRefusedAndNeverRewritten) {
  fs::path good = dir / "good.txk";
  ASSERT_EQ(put(good, "Ivanov", key_a(), false), SK_OK);
  std::string ring = file_text(good);
  std::size_t keyid = ring.find("KEYID=") + 6;
  std::string big_packet;
  {
    // A 1288-bit public key: above the arithmetic's limit.
    std::string body = std::string("\x04\0\0\0\0\0\0\x01", 8) + "\x05\x08" + std::string(1, '\x80') +
                       std::string(160, '\x55') + std::string("\x00\x05\x11", 3);
    big_packet = std::string("\x99", 1) + char(body.size() >> 8) + char(body.size() & 255) + body;
  }
  auto hex = [](const std::string& b) {
    std::string out;
    char pair[3];
    for (unsigned char c : b) std::snprintf(pair, sizeof pair, "%02X", c), out += pair;
    return out;
  };
  struct Case {
    const char* what;
    std::string name, bytes;
    uint32_t result;
  };
  std::string key_line = ring.substr(ring.find("KEY="));
  const Case cases[] = {
      {"KEYID of 7 pairs", "r.txk", ring.substr(0, keyid) + ring.substr(keyid + 2), SK_KEY_TOO_LARGE},
      {"unknown key", "r.txk", ring + "COLOUR=red\r\n", SK_KEY_TOO_LARGE},
      {"line before a section", "r.txk", "KEY=00\r\n" + ring, SK_KEY_TOO_LARGE},
      {"empty section name", "r.txk", "[]\r\n" + key_line, SK_KEY_TOO_LARGE},
      {"bad digit in KEY", "r.txk", ring.substr(0, ring.size() - 5) + "G\r\n\r\n", SK_KEY_TOO_LARGE},
      {"oversized key", "r.txk", "[Big]\r\nKEYID=0000000000000000\r\nKEY=" + hex(big_packet) + "\r\n",
       SK_KEY_TOO_LARGE},
      {"bad version", "r.bkr", std::string("\x99\x00\x08\x07\0\0\0\0\0\0\x01", 11), SK_BAD_KEY_VERSION},
      {"cut key packet", "r.bkr", std::string(reinterpret_cast<const char*>(key_a().pub.data()), 40),
       SK_KEY_TOO_LARGE},
      {"literal packet in a ring", "r.bkr",
       std::string(reinterpret_cast<const char*>(key_a().pub.data()), key_a().pub.size()) + "\xAC\x01x",
       SK_KEY_TOO_LARGE},
      {"user id before a key", "r.bkr", "\xB4\x02Hi", SK_KEY_TOO_LARGE},
      {"oversized key", "r.bkr", big_packet + "\xB4\x03" "Big", SK_KEY_TOO_LARGE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::path path = dir / c.name;
    write_file(path, c.bytes);
    User found;
    EXPECT_EQ(get(path.string(), nullptr, nullptr, &found.u), c.result);
    EXPECT_EQ(found.u.n, nullptr);
    EXPECT_EQ(put(path, "Petrov", key_b(), false), c.result);
    EXPECT_EQ(file_text(path), c.bytes);
  }
}

// A handler of its own kind of base, counting its calls.
int dwq_calls = 0;
uint32_t dwq_lookup(SkKeySearch*, const char* base, const char* const*, uint32_t, const uint8_t*, int32_t) {
  if (!ends_with_suffix(base, ".dwq")) return SK_NOT_MY_BASE;
  ++dwq_calls;
  return SK_OK;
}
uint32_t filler_1(SkKeySearch*, const char*, const char* const*, uint32_t, const uint8_t*, int32_t) {
  return SK_NOT_MY_BASE;
}
uint32_t filler_2(SkKeySearch*, const char*, const char* const*, uint32_t, const uint8_t*, int32_t) {
  return SK_NOT_MY_BASE;
}
uint32_t sixth(SkKeySearch*, const char*, const char* const*, uint32_t, const uint8_t*, int32_t) {
  ++dwq_calls;
  return SK_OK;
}

TEST_F(KeyRing, InstalledLookupHandlersAreAskedInOrderUpToFive) {
  User found;
  EXPECT_EQ(get("x.dwq", nullptr, nullptr, &found.u), SK_BAD_PROTECTION);
  skInstallKeyBase(&dwq_lookup, nullptr, nullptr);
  skInstallKeyBase(&dwq_lookup, nullptr, nullptr);  // already there
  skInstallKeyBase(&filler_1, nullptr, nullptr);
  skInstallKeyBase(&filler_2, nullptr, nullptr);  // the list is full now
  skInstallKeyBase(&sixth, nullptr, nullptr);     // not added
  EXPECT_EQ(get("x.dwq|y.other", nullptr, nullptr, &found.u), SK_BAD_PROTECTION);
  EXPECT_EQ(dwq_calls, 1);
}

}  // namespace
}  // namespace kelda::sekura32
