// Window layout files: the open windows and their kinds' column sections
// saved and restored across a restart, each kind's section written once even
// over repeated saves, damaged files opened as far as they go, and the save
// and load commands on another pair of files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "terminal/layout_files.h"
#include "terminal/save_failures.h"
#include "terminal/terminal_app.h"
#include "terminal/text_log.h"
#include "terminal/window_kinds.h"
#include "testsupport/test_dir.h"
#include "ui/testing.h"

namespace kelda::terminal {
namespace {

// A window with one key of its own and a column section of its kind.
class KeyedWindow : public TerminalWindow {
 public:
  explicit KeyedWindow(int kind, std::string key) : TerminalWindow(kind), key_(std::move(key)) {}
  void write_state(SectionText& out) const override { out.put("key", key_); }
  void restore_state(const SavedSection& saved) override { key_ = saved.get("key"); }
  const std::string& key() const { return key_; }
  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override {
    if (msg == UM_SAVECOLUMNS || msg == ui::wm::destroy) {
      SectionText body;
      body.put("owner", key_);
      write_kind_section(kind_section_name(kind()), body);
      if (msg == UM_SAVECOLUMNS) return 1;
    }
    return TerminalWindow::window_proc(msg, wparam, lparam);
  }

 private:
  std::string key_;
};

std::string file_text(const std::string& name) { return test::read_file_bytes(test::test_dir() / name); }

int count_of(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class TerminalLayoutFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("KELDAMOBILE_HOME", test::test_dir().c_str(), 1);
    reset_log();
    register_window_kind({kind::trades, cmd::trades, true, "Trades", {},
                          [this] { return std::make_unique<KeyedWindow>(kind::trades, "t" + std::to_string(++made)); }});
    register_window_kind({kind::quotes, cmd::quotes, false, "", [](std::string& caption) {
                            caption = "GAZP [TQBR]";
                            return true;
                          },
                          [this] { return std::make_unique<KeyedWindow>(kind::quotes, "q" + std::to_string(++made)); }});
  }
  void TearDown() override {
    second.reset();
    app.reset();
    unregister_window_kind(kind::trades);
    unregister_window_kind(kind::quotes);
  }
  void start() {
    app = std::make_unique<TerminalApp>();
    ASSERT_TRUE(app->init_instance());
  }
  // Exit and start again: the frame goes (saving the layout) and a new one
  // is made over the same data (the margin library stays bound).
  void restart() {
    app->frame()->destroy();
    second = std::make_unique<CMainFrame>();
    ASSERT_TRUE(second->create_frame());
    second->view().activate_restored_window();
  }
  MainView& view() { return second ? second->view() : app->frame()->view(); }
  KeyedWindow* window(int slot) { return dynamic_cast<KeyedWindow*>(view().slot(slot)); }

  ui::HeadlessUi ui;
  int made = 0;
  std::unique_ptr<TerminalApp> app;
  std::unique_ptr<CMainFrame> second;
};

TEST_F(TerminalLayoutFiles, OpenWindowsAndColumnSectionsSurviveARestart) {
  start();
  // Windows in slots 0, 4 and 9 (the others closed), slot 4 active.
  for (int i = 0; i < 10; ++i) view().create_window_for_command(cmd::quotes);
  for (int i : {8, 7, 6, 5, 3, 2, 1}) {
    view().activate_slot(i);
    view().close_active_window();
  }
  view().create_window_for_command(cmd::trades);  // the lowest free slot: 1
  view().activate_slot(4);
  restart();

  const std::string awf = file_text("pdainfo.awf");
  EXPECT_NE(awf.find("[general]\nversion=1\nnum=4\nactive=3\n\n"), std::string::npos) << awf;
  EXPECT_NE(awf.find("[ActiveWnd2]\ntype=3\ncaption=Trades\nkey=t11\n\n"), std::string::npos) << awf;
  EXPECT_NE(awf.find("[ActiveWnd4]\ntype=1\ncaption=GAZP [TQBR]\nkey=q10\n\n"), std::string::npos);
  const std::string tcf = file_text("pdainfo.tcf");
  EXPECT_EQ(count_of(tcf, "[QuotesWnd]"), 1) << "written once, by the highest slot";
  EXPECT_NE(tcf.find("[QuotesWnd]\nowner=q10\n"), std::string::npos) << tcf;
  EXPECT_EQ(count_of(tcf, "[TradesWnd]"), 1);

  EXPECT_EQ(view().open_count(), 4);
  EXPECT_EQ(view().active_slot(), 2) << "the third window, restored into slot 2";
  ASSERT_NE(window(1), nullptr);
  EXPECT_EQ(window(1)->key(), "t11");
  EXPECT_EQ(window(3)->key(), "q10");
  EXPECT_EQ(view().header_caption(), u"GAZP [TQBR]");
}

TEST_F(TerminalLayoutFiles, RepeatedSavesAndLaterClosesKeepOneSectionPerKind) {
  start();
  view().create_window_for_command(cmd::quotes);
  view().create_window_for_command(cmd::quotes);
  view().save_window_layout(false);
  view().save_window_layout(false);
  EXPECT_FALSE(app->data().bulk_saved);
  view().close_active_window();  // replaces its kind's section
  EXPECT_EQ(count_of(file_text("pdainfo.tcf"), "[QuotesWnd]"), 1) << file_text("pdainfo.tcf");

  view().create_window_for_command(cmd::quotes);
  ui.script().answer_file_dialog(to_wide((test::test_dir() / "set.tcf").string()));
  view().save_layout_command();
  EXPECT_EQ(count_of(file_text("set.tcf"), "[QuotesWnd]"), 1);
  EXPECT_NE(file_text("set.awf").find("num=2\nactive=2\n"), std::string::npos) << file_text("set.awf");
  EXPECT_EQ(app->data().window_kinds_path(), (test::test_dir() / "pdainfo.tcf").string())
      << "the pair is switched back after the command";
  view().activate_slot(0);
  view().close_active_window();

  // Loading the pair closes the window and opens the two saved ones.
  ui.script().answer_file_dialog(to_wide((test::test_dir() / "set.tcf").string()));
  view().load_layout_command();
  EXPECT_EQ(view().open_count(), 2);
  EXPECT_EQ(view().active_slot(), 1);
  EXPECT_EQ(window(1)->key(), "q3");
  EXPECT_EQ(count_of(file_text("set.tcf"), "[QuotesWnd]"), 1) << "the closed window replaced its section in the chosen file";
  EXPECT_TRUE(ui.script().all_used());
}

// A column section that cannot be written: the user is told which file and
// why, once, and the log does not say the save was done.
TEST_F(TerminalLayoutFiles, ASaveWithAFailedWriteIsToldAndNotLoggedAsDone) {
  reset_save_failures();
  start();
  view().create_window_for_command(cmd::quotes);
  view().create_window_for_command(cmd::trades);
  std::filesystem::create_directories(test::test_dir() / "pdainfo.tcf");  // no file can take its place
  view().save_window_layout(false);
  view().save_window_layout(false);
  const auto boxes = ui.script().asked(ui::ScriptedServices::Asked::Kind::message_box);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find(to_wide("Can not write data to \"" + (test::test_dir() / "pdainfo.tcf").string())),
            std::u16string::npos)
      << to_narrow(boxes[0].text);
  EXPECT_EQ(boxes[0].caption, u"Error");
  const std::string log = file_text("infolog.txt");
  EXPECT_EQ(log.find("Saving done."), std::string::npos) << log;
  EXPECT_EQ(count_of(log, "ERROR: Can not save configuration to files"), 2) << log;
  EXPECT_NE(file_text("pdainfo.awf").find("num=2"), std::string::npos) << "the other file is written";
  std::filesystem::remove(test::test_dir() / "pdainfo.tcf");
  view().save_window_layout(false);
  EXPECT_NE(file_text("infolog.txt").find("Saving done."), std::string::npos);
}

TEST_F(TerminalLayoutFiles, ADamagedLayoutOpensWhatItCanAndLogsTheRest) {
  test::write_file_bytes(test::test_dir() / "pdainfo.awf",
                         "[general]\nversion=1\nnum=2000000000\nactive=99\n\n"
                         "[ActiveWnd1]\ntype=99\n\n"
                         "[ActiveWnd2]\ncaption=no type\n\n"
                         "[ActiveWnd3]\ntype=-5\n\n"
                         "[ActiveWnd4]\ntype=3\ncaption=Restored trades\nkey=abc\n\n"
                         "[ActiveWnd5]\ntype=12\n\n");
  start();
  EXPECT_EQ(view().open_count(), 1);
  EXPECT_EQ(view().active_slot(), 0) << "an active index outside the slots gives slot 0";
  EXPECT_EQ(view().header_caption(), u"Restored trades");
  EXPECT_EQ(window(0)->key(), "abc");
  const std::string log = file_text("infolog.txt");
  EXPECT_NE(log.find("lists 2000000000 windows"), std::string::npos) << log;
  EXPECT_NE(log.find("[ActiveWnd1]"), std::string::npos);
  EXPECT_NE(log.find("[ActiveWnd5]"), std::string::npos) << "a kind that is not available here";
}

TEST_F(TerminalLayoutFiles, SectionsAreReadOnceWithTheProfileRules) {
  test::write_file_bytes(test::test_dir() / "x.tcf",
                         ";[TradesWnd]\n[TradesWnd]\n numpars = 3 \nnumpars=9\npar1width=70\r\n[Other]\nnumpars=5\n");
  const SavedSection s((test::test_dir() / "x.tcf").string(), "TradesWnd");
  EXPECT_TRUE(s.exists());
  EXPECT_EQ(s.get_int("numpars", 0), 3);
  EXPECT_EQ(s.get_int("par1width", 0), 70);
  EXPECT_EQ(s.get_int_in("par1width", 60, 0, 50), 60);
  EXPECT_FALSE(s.has("par2width"));
  EXPECT_EQ(open_windows_path_for("/a/set.tcf"), "/a/set.awf");
  SectionText t;
  t.put("caption", "two\nlines");
  EXPECT_EQ(t.text(), "caption=two lines\n");
}

}  // namespace
}  // namespace kelda::terminal

namespace kelda::terminal {
namespace {

TEST_F(TerminalLayoutFiles, TheGlobalFilterIsWrittenBackOverTheOldSection) {
  test::write_file_bytes(test::test_dir() / "pdainfo.tcf", "[global_filter]\n1\n9 0 0 0 0\n\n\n[TradesWnd]\nnumpars=2\n");
  start();
  FilterEntry a;
  a.class_number = 3;
  a.security_filter = true;
  a.secs = {10, 4000000000u};
  a.param_filter = true;
  a.params = {1, -2};
  FilterEntry b;
  b.class_number = 5;
  app->data().set_filter_entries({a, b});
  app->data().save_global_filter();
  const std::string tcf = file_text("pdainfo.tcf");
  EXPECT_EQ(count_of(tcf, "[global_filter]"), 1);
  EXPECT_NE(tcf.find("[global_filter]\n2\n3 1 2 1 2\n10 4000000000 \n1 -2 \n5 0 0 0 0\n\n\n"), std::string::npos) << tcf;
  EXPECT_NE(tcf.find("[TradesWnd]\nnumpars=2\n"), std::string::npos);
  app->data().set_filter_entries({});
  app->data().load_global_filter();
  ASSERT_EQ(app->data().filter_entries().size(), 2u);
  EXPECT_EQ(app->data().filter_entries()[0].secs, a.secs);
  EXPECT_EQ(app->data().filter_entries()[0].params, a.params);
  EXPECT_FALSE(app->data().filter_entries()[1].security_filter);
}

}  // namespace
}  // namespace kelda::terminal
