// The main settings dialog and command: what the dialog shows and collects,
// which keys the command writes and what it tells the windows, and the
// crypto-provider keys that the next connect reads.
#include <gtest/gtest.h>

#include "dialog_fixture.h"
#include "platform/module.h"
#include "terminal/profile.h"
#include "terminal/window_kinds.h"
#include "terminal_dialogs/main_settings_dialog.h"
#include "ui/controls.h"

namespace kelda::terminal {
namespace {

class FontWatcher : public TerminalWindow {
 public:
  explicit FontWatcher(std::vector<UINT>& seen) : TerminalWindow(kind::trades), seen_(seen) {}
  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override {
    if (msg >= UM_SETFONT && msg <= UM_ARCHIVE) seen_.push_back(msg);
    return TerminalWindow::window_proc(msg, wparam, lparam);
  }

 private:
  std::vector<UINT>& seen_;
};

class TerminalMainSettings : public DialogFixture {
 protected:
  void SetUp() override {
    DialogFixture::SetUp();
    register_main_settings();
    register_window_kind({kind::trades, cmd::trades, true, "W", {},
                          [this] { return std::make_unique<FontWatcher>(seen); }});
    app->frame()->view().create_window_for_command(cmd::trades);
    // Only the keys the command writes are of interest.
    profile_delete_section("settings", m().settings_path());
  }
  void TearDown() override {
    DialogFixture::TearDown();
    unregister_window_kind(kind::trades);
  }
  void run(std::function<void(ui::DialogDriver&)> script) {
    ui.script().on_dialog(kMainSettingsDialogId, std::move(script));
    ui::send_message(app->frame()->hwnd(), ui::wm::command, cmd::settings_main);
  }
  std::string key(const char* section, const char* name) {
    return profile_get_string(section, name, "<none>", m().settings_path());
  }
  std::vector<UINT> seen;
};

TEST_F(TerminalMainSettings, OkWithoutChangesWritesOnlyTheFontAndAnUnlistedValueFallsBack) {
  m().settings().font_size = 13;  // not in the list
  m().settings().quotes_depth = 7;
  run([](ui::DialogDriver& d) {
    EXPECT_EQ(ui::ComboBoxControl{d.item(settings_id::font_size)}.cur_sel(), -1);
    EXPECT_EQ(d.text(settings_id::depth), u"7");
    EXPECT_EQ(d.checked(settings_id::vertical_limits), 1);
    d.click(ui::id::ok);
  });
  EXPECT_EQ(m().settings().font_size, 12);
  EXPECT_EQ(key("settings", "fontsize"), "12");
  EXPECT_EQ(settings_file().find("quotes_depth"), std::string::npos);
  EXPECT_EQ(settings_file().find("CryptoProviders"), std::string::npos);
  EXPECT_EQ(seen, std::vector<UINT>{UM_SETFONT});
}

TEST_F(TerminalMainSettings, ChangedValuesAreStoredWrittenAndToldAndCancelChangesNothing) {
  run([](ui::DialogDriver& d) {
    d.choose(settings_id::alignment, u"справа");
    d.choose(settings_id::depth, u"25");
    d.click(settings_id::autoreconnect);
    d.click(settings_id::vertical_limits);
    d.click(ui::id::ok);
  });
  const Settings& s = m().settings();
  EXPECT_EQ(s.alignment, 2);
  EXPECT_EQ(s.quotes_depth, 25);
  EXPECT_TRUE(s.autoreconnect);
  EXPECT_FALSE(s.vertical_limits);
  EXPECT_EQ(key("settings", "alignment"), "2");
  EXPECT_EQ(key("settings", "quotes_depth"), "25");
  EXPECT_EQ(key("settings", "autoreconnect"), "1");
  EXPECT_EQ(key("settings", "vert_display_limits"), "0");
  EXPECT_EQ(key("settings", "buy_on_top"), "<none>");
  EXPECT_EQ(seen, (std::vector<UINT>{UM_SETFONT, UM_ALIGNMENT, UM_DEPTH, UM_VERTLIMITS}));

  const std::string before = settings_file();
  seen.clear();
  run([](ui::DialogDriver& d) {
    d.choose(settings_id::alignment, u"слева");
    d.click(settings_id::buy_on_top);
    d.click(ui::id::cancel);
  });
  EXPECT_EQ(settings_file(), before);
  EXPECT_EQ(m().settings().alignment, 2);
  EXPECT_TRUE(seen.empty());
}

TEST_F(TerminalMainSettings, SigningOnAsksForARestartAndOffTakesEffectAtOnce) {
  const std::string ini = m().provider_ini_path();
  ui.script().answer_message_box(ui::id::ok, u"после перезапуска");
  run([](ui::DialogDriver& d) {
    EXPECT_TRUE(d.enabled(settings_id::signing));
    d.click(settings_id::signing);
    d.click(ui::id::ok);
  });
  EXPECT_TRUE(ui.script().all_used());
  EXPECT_FALSE(m().settings().signing) << "on only after a restart";
  EXPECT_EQ(key("CryptoProviders", "SignalComMessagePro"), "1");
  EXPECT_EQ(key("SignalComMessagePro", "IniFile"), ini);
  // The module's full path in the running program's folder.
  EXPECT_EQ(key("SignalComMessagePro", "Module"), (platform::program_folder() / "sigprov.dll").string());
  EXPECT_EQ(key("CryptoProvidersSettings", "SignCryptoProvider"), "SignalComMessagePro");

  // The restarted terminal signs; turning it off needs no restart.
  m().settings().signing = true;
  run([](ui::DialogDriver& d) {
    EXPECT_EQ(d.checked(settings_id::signing), 1);
    d.click(settings_id::signing);
    d.click(ui::id::ok);
  });
  EXPECT_FALSE(m().settings().signing);
  EXPECT_EQ(key("CryptoProviders", "SignalComMessagePro"), "0");
  EXPECT_EQ(ui.script().asked(ui::ScriptedServices::Asked::Kind::message_box).size(), 1u);
  EXPECT_TRUE(ui.script().problems().empty());
}

}  // namespace
}  // namespace kelda::terminal
