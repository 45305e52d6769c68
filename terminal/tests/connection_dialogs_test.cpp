// The connection-list dialogs: the edit dialog's checks, and the list
// dialog's add, delete, OK and cancel against the server list file.
#include <gtest/gtest.h>

#include <cstdlib>

#include "terminal/server_list.h"
#include "terminal/text_log.h"
#include "terminal_dialogs/connection_list_dialog.h"
#include "testsupport/test_dir.h"
#include "ui/controls.h"
#include "ui/testing.h"

namespace kelda::terminal {
namespace {

ConnectionRecord record(const char* description, const char* address, const char* port, const char* key) {
  ConnectionRecord r;
  copy_text(r.description, description);
  copy_text(r.address, address);
  copy_text(r.port, port);
  copy_text(r.key, key);
  return r;
}

TEST(TerminalConnectionEdit, Checks) {
  const std::vector<ConnectionRecord> existing = {record("Main", "10.0.0.1", "7000", "k")};
  struct Case {
    std::u16string description, address, port, key;
    bool is_new;
    std::u16string problem;  // a piece of the message, empty when accepted
  };
  const Case cases[] = {
      {u"A", u"10.0.0.1", u"80", u"", true, u""},
      {u"A", u"10.0.0.256", u"80", u"", true, u"IP-адрес"},
      {u"A", u"10.0.0", u"80", u"", true, u"IP-адрес"},
      {u"A", u"10.0.0.1.5", u"80", u"", true, u"IP-адрес"},
      {u"A", u"10.0..1", u"80", u"", true, u"IP-адрес"},
      {u"A", u"10.0.0.1", u"80a", u"", true, u"Порт"},
      {u"A", u"10.0.0.1", u"-1", u"", true, u"Порт"},
      {u"A", u"10.0.0.1", u"", u"", true, u"Порт"},
      {u"A", u"10.0.0.1", u"65536", u"", true, u"Порт"},
      {u"A", u"10.0.0.1", u"65535", u"", true, u""},
      {std::u16string(64, u'd'), u"10.0.0.1", u"80", u"", true, u"Описание"},
      {u"A", u"10.0.0.1", u"80", std::u16string(20, u'k'), true, u"Ключ сервера"},
      {u"Other", u"10.0.0.1", u"7000", u"k", true, u"уже существует"},
      {u"Other", u"10.0.0.1", u"7000", u"k", false, u""},
  };
  for (const Case& c : cases) {
    const std::u16string problem = check_connection(c.description, c.address, c.port, c.key, c.is_new, existing);
    if (c.problem.empty()) {
      EXPECT_TRUE(problem.empty()) << to_narrow(c.address) << " " << to_narrow(c.port);
    } else {
      EXPECT_NE(problem.find(c.problem), std::u16string::npos) << to_narrow(c.address) << " " << to_narrow(c.port);
    }
  }
}

class TerminalConnectionList : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("KELDAMOBILE_HOME", test::test_dir().c_str(), 1);
    register_connection_dialogs();
    std::string lines;
    for (int i = 1; i <= 5; ++i) lines += "S" + std::to_string(i) + " [10.0.0." + std::to_string(i) + ":700" + std::to_string(i) + ":]\n";
    test::write_file_bytes(test::test_dir() / "IP.CFG", lines);
  }
  std::vector<ConnectionRecord> saved() {
    std::vector<ConnectionRecord> r;
    load_server_list(r);
    return r;
  }
  ui::HeadlessUi ui;
};

TEST_F(TerminalConnectionList, DeletingTheFirstKeepsTheOthersInOrderAndAddingAppends) {
  ui.script().on_dialog(kConnectionEditDialogId, [](ui::DialogDriver& d) {
    d.set_text(connection_id::description, u"New");
    d.set_text(connection_id::address, u"10.1.1.1");
    d.set_text(connection_id::port, u"9000");
    d.click(ui::id::ok);
  });
  ui.script().on_dialog(kConnectionListDialogId, [](ui::DialogDriver& d) {
    EXPECT_FALSE(d.enabled(connection_id::remove));
    ui::ListViewControl{d.item(connection_id::list)}.set_item_state(0, ui::lvis::selected, ui::lvis::selected);
    EXPECT_TRUE(d.enabled(connection_id::remove));
    d.click(connection_id::remove);
    ui::ListViewControl{d.item(connection_id::list)}.set_item_state(-1, 0, ui::lvis::selected);
    d.click(connection_id::add);
    d.click(ui::id::ok);
  });
  ConnectionListDlg dialog;
  EXPECT_EQ(dialog.do_modal(ui::Hwnd{}), ui::id::ok);
  const std::vector<ConnectionRecord> list = saved();
  ASSERT_EQ(list.size(), 5u);
  EXPECT_EQ(field_text(list[0].description), "S2");
  EXPECT_EQ(field_text(list[3].description), "S5");
  EXPECT_EQ(field_text(list[4].address), "10.1.1.1");
  EXPECT_TRUE(ui.script().problems().empty());
}

TEST_F(TerminalConnectionList, CancelLosesEveryChangeAndAnInvalidEntryKeepsTheEditOpen) {
  ui.script().answer_message_box(ui::id::ok, u"Порт");
  ui.script().on_dialog(kConnectionEditDialogId, [](ui::DialogDriver& d) {
    d.set_text(connection_id::address, u"10.1.1.1");
    d.set_text(connection_id::port, u"70000");
    d.click(ui::id::ok);
    EXPECT_TRUE(d.open());
    d.click(ui::id::cancel);
  });
  ui.script().on_dialog(kConnectionListDialogId, [](ui::DialogDriver& d) {
    d.click(connection_id::add);
    d.click(ui::id::cancel);
  });
  ConnectionListDlg dialog;
  EXPECT_EQ(dialog.do_modal(ui::Hwnd{}), ui::id::cancel);
  EXPECT_EQ(saved().size(), 5u);
  EXPECT_TRUE(ui.script().all_used());
}

}  // namespace
}  // namespace kelda::terminal
