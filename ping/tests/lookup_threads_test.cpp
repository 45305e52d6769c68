#include "ping/lookup_threads.h"

#include <gtest/gtest.h>

#include <future>
#include <string>
#include <vector>

#include "ping/host_lookup.h"
#include "ui/loop.h"
#include "ui/testing.h"
#include "ui/window.h"

namespace kelda::ping {
namespace {

// Collects the answers posted to it.
class Receiver : public ui::Window {
 public:
  std::vector<ResolvedHost> resolved;
  std::vector<std::u16string> own;

  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override {
    if (msg == msg_resolved) {
      resolved.push_back(*LookupThreads::take_resolved(wparam));
      return 0;
    }
    if (msg == msg_own_address) {
      own.push_back(*LookupThreads::take_own_address(wparam));
      return 0;
    }
    return default_proc(msg, wparam, lparam);
  }
};

TEST(LookupThreads, AnswersArriveTaggedOnTheUiThread) {
  ui::HeadlessUi ui(ui::ScreenConfig{}, false);
  Receiver receiver;
  ASSERT_TRUE(receiver.create({}));
  {
    LookupThreads lookups([](std::u16string_view host) { return host == u"one" ? 1u : no_address; },
                          [] { return std::u16string(u"10.0.0.1"); });
    for (std::uint32_t tag = 1; tag <= 20; ++tag) lookups.resolve(receiver.hwnd(), tag, tag % 2 ? u"one" : u"two");
    lookups.find_own_address(receiver.hwnd());
    ui::run_loop_until([&] { return receiver.resolved.size() == 20 && !receiver.own.empty(); });
  }
  ASSERT_EQ(receiver.resolved.size(), 20u);
  for (const ResolvedHost& answer : receiver.resolved)
    EXPECT_EQ(answer.address, answer.tag % 2 ? 1u : no_address) << answer.tag;
  EXPECT_EQ(receiver.own.front(), u"10.0.0.1");
}

TEST(LookupThreads, AnswersToAWindowThatIsGoneAreFreed) {
  ui::HeadlessUi ui(ui::ScreenConfig{}, false);
  auto receiver = std::make_unique<Receiver>();
  ASSERT_TRUE(receiver->create({}));
  const ui::Hwnd gone = receiver->hwnd();
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  {
    LookupThreads lookups(
        [&](std::u16string_view) {
          released.wait();
          return 1u;
        },
        [] { return std::u16string(u"127.0.0.1"); });
    for (std::uint32_t tag = 1; tag <= 5; ++tag) lookups.resolve(gone, tag, u"x.example");
    receiver.reset();
    release.set_value();
  }  // joins; the posts fail and the payloads are freed (the leak checker watches)
  ui::process_pending();
}

}  // namespace
}  // namespace kelda::ping
