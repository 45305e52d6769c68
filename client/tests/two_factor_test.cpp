// Two-factor authentication: the caller's callbacks, the library's dialogs
// run for the receive thread on the user-interface thread with the library
// lock released, their checks, the answers and the refusals.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "library_fixture.h"
#include "two_factor/two_factor_dialogs.h"
#include "ui/loop.h"
#include "ui/testing.h"
#include "ui/window.h"

namespace kelda::kelapi::test {
namespace {

namespace ids = two_factor_ids;
constexpr uint8_t kNone = 0;  // the token requests carry no fields
using ui::DialogDriver;

class TwoFactorTest : public LibraryTest {
 protected:
  void start() {
    ASSERT_EQ(init(0, 1), KELAPI_OK);
    ASSERT_EQ(connect(), KELAPI_OK);
    net->clear_sent();
  }
  // Keeps this (the user-interface) thread's loop running until `done`.
  bool pump_until(const std::function<bool()>& done) {
    for (int i = 0; i < 3000 && !done(); ++i) {
      platform::Waitable* activity[] = {&net->activity()};
      ui::wait_pumping(activity, 10);
    }
    return done();
  }
  bool disconnected() const {
    const auto calls = net->calls();
    return std::count(calls.begin(), calls.end(), "disconnect") > 0;
  }
  std::string sent_answer(uint16_t id) const {
    const auto sent = net->sent(id);
    if (sent.empty()) return "<none>";
    const uint8_t* bytes = sent.back().bytes.data();
    uint16_t count;
    std::memcpy(&count, bytes, 2);
    return std::string(reinterpret_cast<const char*>(bytes + 2), count);
  }
  static Msg00FE_NewPinRequest pin_request(int32_t mode, int16_t min, int16_t max, bool letters,
                                           const char* system_pin = "") {
    Msg00FE_NewPinRequest r{};
    r.mode = mode;
    r.min_length = min;
    r.max_length = max;
    r.letters_allowed = letters ? 1 : 0;
    r.system_pin_count = static_cast<uint16_t>(std::strlen(system_pin));
    std::memcpy(r.system_pin, system_pin, std::strlen(system_pin));
    return r;
  }
};

// ---- callbacks ----

int g_token_calls = 0;
KelapiPinRule g_rule{};
int token_callback(char* answer, uint32_t size) {
  ++g_token_calls;
  std::snprintf(answer, size, "%s", "12344242");
  return 1;
}
int refusing_callback(char*, uint32_t) { return 0; }
int refusing_pin_callback(const KelapiPinRule* rule, char*, uint32_t) {
  g_rule = *rule;
  return 0;
}

TEST_F(TwoFactorTest, CallbacksAnswerOrRefuse) {
  start();
  ASSERT_EQ(KelapiSetTwoFactorAuthCallback(refusing_pin_callback, token_callback, nullptr), KELAPI_OK);
  net->deliver(0xFB, &kNone, 0);
  net->deliver(0xFE, pin_request(1, 4, 8, true, "SYS123"));
  ASSERT_TRUE(net->wait_handled());
  EXPECT_EQ(g_token_calls, 1);
  EXPECT_EQ(sent_answer(0xFC), std::string("12344242") + '\0');
  EXPECT_TRUE(net->sent(0xFF).empty()) << "a refusing new-PIN callback leaves the server unanswered";
  EXPECT_FALSE(disconnected());
  EXPECT_EQ(g_rule.mode, 1u);
  EXPECT_EQ(g_rule.min_length, 4u);
  EXPECT_EQ(g_rule.max_length, 8u);
  EXPECT_EQ(g_rule.letters_allowed, 1u);
  EXPECT_STREQ(g_rule.system_pin, "SYS123");

  ASSERT_EQ(KelapiSetTwoFactorAuthCallback(nullptr, nullptr, refusing_callback), KELAPI_OK);
  net->deliver(0xFD, &kNone, 0);
  ASSERT_TRUE(net->wait_handled());
  EXPECT_TRUE(disconnected()) << "a refusing token callback ends the connection";
  EXPECT_TRUE(net->sent(0xFC).size() == 1);
  bool traced = false;
  for (const auto& d : diagnostics()) traced |= d.find("You cancel  from two-factor authentication") != std::string::npos;
  EXPECT_TRUE(traced);
}

// ---- dialogs ----

TEST_F(TwoFactorTest, TheTokenDialogRunsOnTheInterfaceThreadWithTheLockFree) {
  ui::HeadlessUi session;
  start();
  bool lock_was_free = false;
  session.script().on_dialog(ids::token_dialog, [&](DialogDriver& d) {
    EXPECT_EQ(ui::get_window_text(d.dialog()), u"RSA SecurID two-factor authentication");
    // An export takes the library lock while the dialog is open.
    KelapiLastTransDesc desc;
    lock_was_free = KelapiGetLastTransDesc(&desc) == KELAPI_OK;
    d.click(ui::id::ok);  // no token number yet
    EXPECT_TRUE(d.open());
    d.set_text(ids::token, u"123456");
    d.click(ui::id::ok);
    EXPECT_FALSE(d.open());
  });
  session.script().answer_message_box(ui::id::ok, u"Not set user token data.");
  net->deliver(0xFB, &kNone, 0);
  ASSERT_TRUE(pump_until([&] { return !net->sent(0xFC).empty(); }));
  EXPECT_TRUE(lock_was_free);
  EXPECT_EQ(sent_answer(0xFC), std::string("123456") + '\0') << "an empty PIN and six digits: seven bytes";

  session.script().on_dialog(ids::token_dialog, [](DialogDriver& d) {
    d.set_text(ids::pin, u"9999");
    d.set_text(ids::token, u"654321");
    d.click(ui::id::ok);
  });
  net->deliver(0xFB, &kNone, 0);
  ASSERT_TRUE(pump_until([&] { return net->sent(0xFC).size() == 2; }));
  EXPECT_EQ(sent_answer(0xFC), std::string("9999654321") + '\0');

  session.script().on_dialog(ids::next_token_dialog, [](DialogDriver& d) { d.click(ui::id::cancel); });
  net->deliver(0xFD, &kNone, 0);
  ASSERT_TRUE(pump_until([&] { return disconnected(); }));
  EXPECT_EQ(net->sent(0xFC).size(), 2u);
  EXPECT_TRUE(session.script().problems().empty());
}

TEST_F(TwoFactorTest, NewPinDialogsCheckThePinAndFollowTheMode) {
  ui::HeadlessUi session;
  start();
  struct Attempt {
    const char16_t* pin;
    const char16_t* repeat;
    const char16_t* complaint;  // caption of the "Error" box, or null when accepted
  };
  const Attempt attempts[] = {
      {u"1234", u"1235", u"The password You typed do not matched."},
      {u"", u"", u"Not set user PIN."},
      {u"123", u"123", u"The specified PIN is too short."},
      {u"123456789", u"123456789", u"The specified PIN is too long."},
      {u"12a4", u"12a4", u"Your PIN can consist only from digits according to system settings."},
      {u"1234", u"1234", nullptr},  // exactly the minimum
  };
  session.script().on_dialog(ids::new_pin_dialog, [&](DialogDriver& d) {
    EXPECT_EQ(d.text(ids::rule_text),
              u"You must set new PIN, not shorter than 4 and not longer than 8 symbols. You can type only digits");
    for (const Attempt& a : attempts) {
      d.set_text(ids::new_pin, a.pin);
      d.set_text(ids::repeat_pin, a.repeat);
      d.click(ui::id::ok);
      EXPECT_EQ(d.open(), a.complaint != nullptr) << std::string(a.pin, a.pin + std::char_traits<char16_t>::length(a.pin)).size();
    }
  });
  for (const Attempt& a : attempts) {
    if (a.complaint != nullptr) session.script().answer_message_box(ui::id::ok);
  }
  net->deliver(0xFE, pin_request(1, 4, 8, false));
  ASSERT_TRUE(pump_until([&] { return !net->sent(0xFF).empty(); }));
  EXPECT_EQ(sent_answer(0xFF), std::string("1234") + '\0');
  std::vector<std::u16string> captions;
  for (const auto& asked : session.script().asked(ui::ScriptedServices::Asked::Kind::message_box)) {
    EXPECT_EQ(asked.text, u"Error");
    captions.push_back(asked.caption);
  }
  ASSERT_EQ(captions.size(), 5u);
  EXPECT_EQ(captions[2], u"The specified PIN is too short.");

  // Mode 6: the system's PIN (bit 0x2 before 0x4); mode 66: nothing.
  session.script().on_dialog(ids::system_pin_dialog, [](DialogDriver& d) {
    EXPECT_EQ(d.text(ids::system_pin), u"778899");
    d.click(ui::id::ok);
  });
  net->deliver(0xFE, pin_request(6, 4, 8, false, "778899"));
  ASSERT_TRUE(pump_until([&] { return net->sent(0xFF).size() == 2; }));
  EXPECT_EQ(sent_answer(0xFF), std::string("778899") + '\0');
  net->deliver(0xFE, pin_request(66, 4, 8, false));
  ASSERT_TRUE(net->wait_handled());

  // Mode 4: "Show" reveals the system's PIN and disables itself.
  session.script().on_dialog(ids::either_pin_dialog, [](DialogDriver& d) {
    EXPECT_TRUE(d.text(ids::system_pin).empty());
    d.click(ids::show);
    EXPECT_EQ(d.text(ids::system_pin), u"5566");
    EXPECT_FALSE(d.enabled(ids::show));
    d.set_text(ids::new_pin, u"AB12");
    d.set_text(ids::repeat_pin, u"AB12");
    d.click(ui::id::ok);
  });
  net->deliver(0xFE, pin_request(4, 4, 8, true, "5566"));
  ASSERT_TRUE(pump_until([&] { return net->sent(0xFF).size() == 3; }));
  EXPECT_EQ(sent_answer(0xFF), std::string("AB12") + '\0');

  // The access PIN; cancelling it ends the connection.
  session.script().on_dialog(ids::access_pin_dialog, [](DialogDriver& d) {
    EXPECT_EQ(ui::get_window_text(d.dialog()), u"Two-factor authentification");
    d.click(ui::id::cancel);
  });
  net->deliver(0xFE, pin_request(65, 4, 8, true));
  ASSERT_TRUE(pump_until([&] { return disconnected(); }));
  EXPECT_EQ(net->sent(0xFF).size(), 3u);
  EXPECT_TRUE(session.script().problems().empty());
}

TEST_F(TwoFactorTest, WithoutAnInterfaceThreadTheDialogCountsAsCancelled) {
  start();
  net->deliver(0xFB, &kNone, 0);
  ASSERT_TRUE(net->wait_handled());
  EXPECT_TRUE(disconnected());
  EXPECT_TRUE(net->sent(0xFC).empty());
}

}  // namespace
}  // namespace kelda::kelapi::test
