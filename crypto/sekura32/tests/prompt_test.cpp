// The prompts, messages and the activity window through the ui layer's
// scripted dialog service; asked from a worker they run on the
// user-interface thread; without one they answer "cancelled".
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "prompt_layout.h"
#include "prompt_templates.h"
#include "sekura32/sekura32.h"
#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/loop.h"
#include "ui/testing.h"
#include "ui/window.h"

namespace kelda::sekura32 {
namespace {

using Kind = ui::ScriptedServices::Asked::Kind;

TEST(PromptsWithoutUi, AnswerCancelled) {
  char answer[16] = "kept";
  EXPECT_EQ(skAskPwd(nullptr, answer, sizeof answer, "Key", "Password for %s"), SK_DECLINED);
  EXPECT_EQ(skAskString(nullptr, answer, sizeof answer, "T", "Name?"), SK_DECLINED);
  EXPECT_STREQ(answer, "kept");
  EXPECT_EQ(skMessage(0, "Caption", "Text %d", 1), SK_DECLINED);
  EXPECT_EQ(skKeyReadRetryAsk(0, 2, "ring.bkr", 1), SK_DECLINED);
  EXPECT_EQ(skStartActivity(nullptr, "Keys", "Making a key"), nullptr);
  EXPECT_EQ(skTickActivityDefault(nullptr, "."), 0u);
}

class Prompts : public ::testing::Test {
 protected:
  ui::HeadlessUi session;
  ui::ScriptedServices& script = session.script();
};

TEST_F(Prompts, PasswordIsTypedUnderDollarsAndDontKnowCancels) {
  char answer[32] = "";
  script.on_dialog(kTemplatePassword, [](ui::DialogDriver& d) {
    EXPECT_EQ(ui::get_window_text(d.dialog()), u"Key of Ivanov");
    EXPECT_EQ(d.text(kControlPrompt), u"Password, please");
    EXPECT_EQ(ui::send_message(d.item(kControlAnswer), ui::em::get_password_char), LRESULT(u'$'));
    d.set_text(kControlAnswer, u"secret");
    d.click(kControlOk);
  });
  SkPromptOptions options{};
  ASSERT_EQ(skAskPwd(&options, answer, sizeof answer, "Key of Ivanov", "Password, please"), SK_OK);
  EXPECT_STREQ(answer, "secret");
  EXPECT_NE(options.flags & SK_PROMPT_CHANGED, 0u);

  script.on_dialog(kTemplatePassword, [](ui::DialogDriver& d) {
    EXPECT_EQ(d.text(kControlCancel), u"&Don't know");
    d.set_text(kControlAnswer, u"typed");
    d.click(kControlCancel);
  });
  EXPECT_EQ(skAskPwd(nullptr, answer, sizeof answer, "Key", "Password"), SK_DECLINED);
  EXPECT_STREQ(answer, "secret");  // left as it was
  // An answer longer than the buffer is cut.
  script.on_dialog(kTemplatePassword, [](ui::DialogDriver& d) {
    d.set_text(kControlAnswer, u"abcdefgh");
    d.click(kControlOk);
  });
  char small[4] = {'x', 'y', 'z', 'w'};  // not NUL-ended: read within its size
  ASSERT_EQ(skAskPwd(nullptr, small, sizeof small, "Key", "Password"), SK_OK);
  EXPECT_STREQ(small, "abc");
}

TEST_F(Prompts, HiddenButtonsLeaveOnlyOk) {
  char answer[32] = "first";
  script.on_dialog(kTemplateQuestion, [](ui::DialogDriver& d) {
    EXPECT_EQ(d.text(kControlAnswer), u"first");
    EXPECT_EQ(d.text(kControlPrompt), u"Name of 3 keys?");
    EXPECT_FALSE(ui::is_window_visible(d.item(kControlCancel)));
    EXPECT_FALSE(ui::is_window_visible(d.item(kControlAbort)));
    EXPECT_FALSE(ui::is_window_visible(d.item(kControlChoice)));
    // The commands of the hidden buttons (their places now belong to OK).
    ui::send_message(d.dialog(), ui::wm::command, kControlCancel);
    d.press_key(ui::vk::escape);
    ui::send_message(d.dialog(), ui::wm::command, kControlAbort);
    EXPECT_TRUE(d.open());
    d.set_text(kControlAnswer, u"second");
    d.click(kControlOk);
  });
  SkPromptOptions options{};
  options.flags = SK_PROMPT_NO_CANCEL | SK_PROMPT_NO_ABORT;
  ASSERT_EQ(skAskString(&options, answer, sizeof answer, "Names", "Name of %d keys?\n", 3), SK_OK);
  EXPECT_STREQ(answer, "second");

  // With only Cancel hidden, Escape (the Cancel command) acts as Abort.
  script.on_dialog(kTemplateQuestion, [](ui::DialogDriver& d) { d.press_key(ui::vk::escape); });
  options.flags = SK_PROMPT_NO_CANCEL;
  EXPECT_EQ(skAskString(&options, answer, sizeof answer, "Names", "Name?"), SK_CANCELLED);
}

TEST_F(Prompts, QuestionsMessagesAndTheRetryQuestion) {
  script.on_dialog(kTemplateYesNo, [](ui::DialogDriver& d) {
    EXPECT_EQ(d.text(kControlPrompt), u"Error 2 reading file ring.bkr.\nTry again?");
    d.click(kControlYes);
  });
  EXPECT_EQ(skKeyReadRetryAsk(9, 2, "ring.bkr", 2), SK_OK);
  script.on_dialog(kTemplateYesNo, [](ui::DialogDriver& d) {
    EXPECT_NE(d.text(kControlPrompt).find(u"floppy disk"), std::u16string::npos);
    d.click(kControlNo);
  });
  EXPECT_EQ(skKeyReadRetryAsk(9, 2, "ring.bkr", 1), SK_IO_ERROR);

  SkPromptOptions options{};
  options.detail = "the details";
  options.abortCaption = "&Stop";
  int32_t value = 7;
  script.on_dialog(kTemplateYesNo, [](ui::DialogDriver& d) {
    EXPECT_EQ(d.text(kControlAnswer), u"the details");
    EXPECT_EQ(d.text(kControlAbort), u"&Stop");
    d.click(kControlAbort);
  });
  EXPECT_EQ(skAskBool(&options, &value, "Q", "Sure?"), SK_CANCELLED);
  EXPECT_EQ(value, 7);

  script.on_dialog(kTemplateMessage, [](ui::DialogDriver& d) {
    EXPECT_EQ(ui::get_window_text(d.dialog()), u"Attention");
    EXPECT_EQ(d.text(kControlPrompt), u"Key 5 is registered");
    d.click(kControlOk);
  });
  EXPECT_EQ(skMessage(9, "Attention", "Key %d is registered\n", 5), SK_OK);
  EXPECT_EQ(script.asked(Kind::modal_dialog).size(), 4u);
  EXPECT_TRUE(script.all_used());
}

// A host window that shows the library's messages itself.
class Host : public ui::Window {
 public:
  std::string shown;
  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override {
    if (msg == ui::wm::user + 22) {
      shown = reinterpret_cast<const char*>(lparam);
      return LRESULT(0x8E948D88);
    }
    return ui::Window::window_proc(msg, wparam, lparam);
  }
};

TEST_F(Prompts, AHostWindowThatShowsMessagesItselfGetsTheText) {
  Host host;
  ui::CreateParams params;
  params.text = u"Host";
  params.style = ui::ws::popup | ui::ws::visible;
  params.rect = {0, 0, 100, 100};
  ASSERT_TRUE(host.create(params));
  ui::set_active_window(host.hwnd());
  EXPECT_EQ(skMessage(0, "Attention", "Key %s is registered\n", "X"), SK_OK);
  EXPECT_EQ(host.shown, "Key X is registered");
  EXPECT_TRUE(script.asked(Kind::modal_dialog).empty());
  // Flag 1 skips the windows: the dialog is shown (and cancelled here).
  EXPECT_EQ(skMessage(1, "Attention", "Direct"), SK_DECLINED);
  EXPECT_EQ(script.asked(Kind::modal_dialog).size(), 1u);
}

// The library carries all six of its templates, the random-bits one among
// them, though nothing shows that one: skAskRandom answers without a dialog.
TEST_F(Prompts, CarriesEveryTemplateAndAsksNoRandomBits) {
  register_prompt_templates();
  struct Expected {
    int id;
    const char16_t* caption;
    std::vector<std::u16string> texts;  // item texts the template holds
  };
  const Expected templates[] = {
      {1501, u"Question", {u"&Choice", u"&OK", u"&Cancel", u"&Abort"}},
      {1502, u"Question", {u"&OK", u"&No", u"&Cancel", u"&Abort"}},
      {1503, u"Enter password", {u"&OK", u"&Don't know", u"&Abort"}},
      {1504, u"Please, wait", {u"That operation takes time", u"&Cancel", u"&Abort"}},
      {1505, u"Random bits input", {u"Need to create", u"random bits", u"Type any text on keyboard"}},
      {1506, u"Message", {u"&OK", u"&Cancel", u"&Abort"}},
  };
  for (const Expected& e : templates) {
    SCOPED_TRACE(e.id);
    const ui::DialogTemplate* t = ui::find_dialog_template(kDialogModule, e.id);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->caption, e.caption);
    for (const std::u16string& text : e.texts) {
      const bool held = std::any_of(t->items.begin(), t->items.end(),
                                    [&](const ui::DialogItem& item) { return item.text == text; });
      EXPECT_TRUE(held) << std::string(text.begin(), text.end());
    }
  }
  // The random-bits template has its input field.
  const ui::DialogTemplate* random = ui::find_dialog_template(kDialogModule, 1505);
  ASSERT_NE(random, nullptr);
  EXPECT_TRUE(std::any_of(random->items.begin(), random->items.end(), [](const ui::DialogItem& item) {
    return item.class_name == ui::class_name::edit;
  }));
  EXPECT_EQ(skAskRandom(nullptr, 128), 0u);
  EXPECT_TRUE(script.asked(Kind::modal_dialog).empty());
}

TEST_F(Prompts, ActivityWindowKeepsTheNewestMarksAndCancels) {
  void* window = skStartActivity(nullptr, "Key generation", "Making a %d-bit key", 1024);
  ASSERT_NE(window, nullptr);
  ui::Hwnd hwnd(reinterpret_cast<uintptr_t>(window));
  EXPECT_EQ(ui::get_window_text(hwnd), u"Key generation");
  EXPECT_EQ(ui::get_dlg_item_text(hwnd, kControlPrompt), u"Making a 1024-bit key");
  std::string all;
  for (int k = 0; k < 300; ++k) {
    const char mark[2] = {char('a' + k % 26), '\0'};
    all += mark;
    EXPECT_EQ(skTickActivityDefault(window, mark), 0u);
  }
  EXPECT_EQ(ui::get_dlg_item_text(hwnd, kControlAnswer), std::u16string(all.end() - 255, all.end()));
  ui::send_message(hwnd, ui::wm::command, kControlCancel);
  EXPECT_EQ(skTickActivityDefault(window, "+"), SK_DECLINED);
  skStopActivity(window);
  EXPECT_FALSE(ui::is_window(hwnd));
  // A stopped or foreign handle is ignored.
  EXPECT_EQ(skTickActivityDefault(window, "."), 0u);
  skStopActivity(window);
}

RECT in_dialog(const ui::DialogDriver& d, int id) {
  return ui::map_rect(ui::Hwnd(), d.dialog(), ui::get_window_rect(d.item(id)));
}

std::atomic<int> keys_seen{0};
intptr_t counting_filter(void* window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  if (message == ui::wm::key_down) ++keys_seen;
  return default_editor_filter(window, message, wparam, lparam);
}

TEST_F(Prompts, LongTextsGrowTheDialogAndTheButtonsStayCentredInOneRow) {
  struct Seen {
    RECT dialog, prompt, answer, icon, ok, cancel, choice;
    int gap16 = 0;
  };
  auto look = [](Seen& seen) {
    return [&seen](ui::DialogDriver& d) {
      seen.dialog = ui::get_client_rect(d.dialog());
      seen.prompt = in_dialog(d, kControlPrompt);
      seen.answer = in_dialog(d, kControlAnswer);
      seen.icon = in_dialog(d, kControlIcon);
      seen.ok = in_dialog(d, kControlOk);
      seen.cancel = in_dialog(d, kControlCancel);
      seen.choice = in_dialog(d, kControlChoice);
      seen.gap16 = ui::map_dialog_rect(d.dialog(), RECT{0, 0, 16, 0}).right;
      EXPECT_FALSE(ui::is_window_visible(d.item(kControlAbort)));
      d.click(kControlOk);
    };
  };
  SkPromptOptions options{};
  options.flags = SK_PROMPT_NO_ABORT;
  char answer[64] = "";
  Seen small, large;
  script.on_dialog(kTemplateQuestion, look(small));
  ASSERT_EQ(skAskString(&options, answer, sizeof answer, "Q", "Name?"), SK_OK);
  script.on_dialog(kTemplateQuestion, look(large));
  ASSERT_EQ(skAskString(&options, answer, sizeof answer, "Q", "%s\n2\n3\n4\n5\n6",
                        "A much longer question than the template's prompt field can show on one line"),
            SK_OK);
  int dx = large.dialog.right - small.dialog.right, dy = large.dialog.bottom - small.dialog.bottom;
  EXPECT_GT(dx, 0);
  EXPECT_GT(dy, 0);
  EXPECT_EQ(large.prompt.right - large.prompt.left, small.prompt.right - small.prompt.left + dx);
  EXPECT_EQ(large.answer.top - small.answer.top, dy);
  EXPECT_EQ(large.ok.top - small.ok.top, dy);
  EXPECT_EQ(large.icon.top - small.icon.top, dy / 2);
  EXPECT_EQ(large.choice.left - small.choice.left, dx);
  for (const Seen& s : {small, large}) {
    // OK and Cancel in one row, 16 units apart, centred.
    EXPECT_EQ(s.ok.top, s.cancel.top);
    EXPECT_EQ(s.cancel.left - s.ok.right, s.gap16);
    EXPECT_LE(std::abs((s.ok.left + s.cancel.right) - s.dialog.right), 1);
  }
}

TEST_F(Prompts, KeysTypedIntoAnAnswerFieldFeedTheRandomPool) {
  SkWindowProcedure saved = skEditorFilter;
  skEditorFilter = &counting_filter;
  keys_seen = 0;
  script.on_dialog(kTemplatePassword, [](ui::DialogDriver& d) {
    d.set_text(kControlAnswer, u"abc");
    d.click(kControlOk);
  });
  char answer[16] = "";
  EXPECT_EQ(skAskPwd(nullptr, answer, sizeof answer, "Key", "Password"), SK_OK);
  skEditorFilter = saved;
  EXPECT_STREQ(answer, "abc");  // the field still handles every key
  EXPECT_GE(keys_seen.load(), 3);
  EXPECT_NE(skStatNoiseInd[2], 0u);  // the last key went to the pool
}

TEST_F(Prompts, AskedFromAWorkerTheDialogRunsOnTheUserInterfaceThread) {
  script.on_dialog(kTemplatePassword, [](ui::DialogDriver& d) {
    EXPECT_TRUE(ui::on_ui_thread());
    d.set_text(kControlAnswer, u"from worker");
    d.click(kControlOk);
  });
  std::atomic<bool> done{false};
  char answer[32] = "";
  uint32_t result = 0;
  std::thread worker([&] {
    result = skAskPwd(nullptr, answer, sizeof answer, "Key", "Password");
    done = true;
    ui::post_thread_message(ui::ui_thread_id(), ui::wm::user, 0, 0);
  });
  ui::run_loop_until([&] { return done.load(); });
  worker.join();
  EXPECT_EQ(result, SK_OK);
  EXPECT_STREQ(answer, "from worker");
}

}  // namespace
}  // namespace kelda::sekura32
