// Test support for protected messages: default rings in a temporary folder
// holding two 1,024-bit users ("Ivanov" the client, "Server" the server),
// made once per test program, and small wrappers over the buffer calls.
#pragma once

#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "session.h"

namespace kelda::sekura32::testing {

using Buffer = std::vector<uint8_t>;

class MessageRings : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/sekura32_messages_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = new std::filesystem::path(pattern);
    secret_ = new std::string((*dir_ / "secring.txk").string());
    public_ = new std::string((*dir_ / "pubring.txk").string());
    saved_[0] = skSettings[SK_SETTING_SECRET_RING];
    saved_[1] = skSettings[SK_SETTING_PUBLIC_RING];
    skSettings[SK_SETTING_SECRET_RING] = secret_->data();
    skSettings[SK_SETTING_PUBLIC_RING] = public_->data();
    saved_growth_ = SetRealloc(&skRealloc);
    add_user("Ivanov", 1, client_id_);
    add_user("Server", 2, server_id_);
  }
  static void TearDownTestSuite() {
    skSettings[SK_SETTING_SECRET_RING] = saved_[0];
    skSettings[SK_SETTING_PUBLIC_RING] = saved_[1];
    SetRealloc(saved_growth_);
    std::filesystem::remove_all(*dir_);
    delete dir_;
    delete secret_;
    delete public_;
  }
  void TearDown() override {
    for (SkSession* s : opened_) LogOut(s);
  }

  // Keeps a session to close at the end of the test.
  SkSession* keep(SkSession* s) {
    opened_.push_back(s);
    return s;
  }
  // A lone session of a user: with its secret part (password "") or public.
  SkSession* user(const char* name, bool secret) {
    SkSession* s = nullptr;
    EXPECT_EQ(LogMan(&s, name, nullptr, secret ? "" : nullptr), SK_OK);
    return keep(s);
  }

  static uint32_t protect(SkSession* from, SkSession* to, uint32_t flags, const Buffer& data, Buffer* out) {
    uint8_t* buffer = nullptr;
    uint32_t capacity = 0, length = 0;
    uint32_t result = Protect(&from, 1, &to, 1, flags, data.data(), uint32_t(data.size()), &buffer, &capacity, &length);
    out->assign(buffer, buffer + length);
    skFree(buffer);
    return result;
  }
  static uint32_t unprotect(SkSession* from, SkSession* to, uint32_t* flags, const Buffer& data, Buffer* out) {
    uint8_t* buffer = nullptr;
    uint32_t capacity = 0, length = 0, time = 1;
    uint32_t result = Unprotect(&from, &to, flags, data.data(), uint32_t(data.size()), &buffer, &capacity, &length,
                                &time, nullptr, 0, nullptr);
    out->assign(buffer, buffer + length);
    skFree(buffer);
    return result;
  }
  static uint32_t system_message(SkSession* from, SkSession* to, Buffer* out) {
    uint8_t* buffer = nullptr;
    uint32_t capacity = 0, length = 0;
    uint32_t result = SystemMessage(from, to, &buffer, &capacity, &length);
    out->assign(buffer, buffer + length);
    skFree(buffer);
    return result;
  }

  static inline uint8_t client_id_[8] = {};
  static inline uint8_t server_id_[8] = {};

 private:
  static void add_user(const char* name, int32_t user_id, uint8_t* id) {
    uint32_t bits = 1024;
    SkStream* s = skTempMemStream();
    SkStream* p = skTempMemStream();
    ASSERT_EQ(skGenKey(id, nullptr, &bits, s, p, nullptr, nullptr), SK_OK);
    for (auto [stream, secret] : {std::pair{s, 1}, std::pair{p, 0}}) {
      uint8_t* bytes = nullptr;
      uint32_t length = 0;
      skLookMemStream(stream, &bytes, nullptr, &length, nullptr);
      ASSERT_EQ(skPutUser(nullptr, name, id, user_id, 0, secret, bits, bytes, length), SK_OK);
      stream->close(stream);
    }
  }

  static inline std::filesystem::path* dir_ = nullptr;
  static inline std::string* secret_ = nullptr;
  static inline std::string* public_ = nullptr;
  static inline char* saved_[2] = {};
  static inline SkGrowFunction saved_growth_ = nullptr;
  std::vector<SkSession*> opened_;
};

}  // namespace kelda::sekura32::testing
