// The global instrument filter dialogs: the working copy made from the
// windows' lists, the filter check boxes and the filter dialog, adding and
// removing classes, and what "Да" stores when the terminal is not connected.
#include <gtest/gtest.h>

#include "dialog_fixture.h"
#include "terminal/profile.h"
#include "terminal_dialogs/instrument_select_dialog.h"
#include "ui/controls.h"

namespace kelda::terminal {
namespace {

class TerminalInstrumentSelect : public DialogFixture {
 protected:
  void SetUp() override {
    DialogFixture::SetUp();
    register_instrument_select();
    ClassRecord& shares = add_class(1, "TQBR", "Акции");
    add_security(shares, 10, "SBER", "Сбербанк");
    add_security(shares, 11, "GAZP", "Газпром");
    add_param(shares, 5, "LAST", "Цена");
    add_param(shares, 6, "BID", "Спрос");
    shares.window_params = {5};
    shares.margin_params = {6, 5};
    shares.window_secs = {10};
    add_class(2, "SPBFUT", "Фьючерсы");
  }
  static void select_row(const ui::DialogDriver& d, int row) {
    const ui::ListViewControl list{d.item(filter_id::classes)};
    list.set_item_state(-1, 0, ui::lvis::selected);
    list.set_item_state(row, ui::lvis::selected, ui::lvis::selected);
  }
  std::string tcf() { return test::read_file_bytes(test::test_dir() / "pdainfo.tcf"); }
};

TEST_F(TerminalInstrumentSelect, FiltersStartFromTheWindowsListsAndUncheckingDropsAList) {
  // "..." of the securities: the filter dialog shows the list, adds the
  // other security and closes with both.
  ui.script().on_dialog(kAddItemDialogId, [](ui::DialogDriver& d) {
    const ui::ListBoxControl list{d.item(filter_id::items)};
    ASSERT_EQ(list.count(), 2);
    list.set_sel(-1, true);
    d.click(ui::id::ok);
  });
  ui.script().on_dialog(kFilterDialogId, [](ui::DialogDriver& d) {
    EXPECT_EQ(ui::get_window_text(d.dialog()), u"Фильтр инструментов");
    const ui::ListViewControl list{d.item(filter_id::items)};
    ASSERT_EQ(list.item_count(), 1);
    EXPECT_EQ(list.item_text(0, 0), u"Сбербанк");
    EXPECT_FALSE(d.enabled(filter_id::item_remove));
    d.click(filter_id::item_add);
    EXPECT_EQ(list.item_count(), 2) << "a security already listed is not added twice";
    d.click(ui::id::ok);
  });
  ui.script().on_dialog(kInstrumentSelectDialogId, [](ui::DialogDriver& d) {
    const ui::ListViewControl list{d.item(filter_id::classes)};
    ASSERT_EQ(list.item_count(), 1) << "only the class the windows ask for";
    EXPECT_EQ(d.checked(filter_id::use_filter), 0);
    EXPECT_FALSE(d.enabled(filter_id::param_filter));
    select_row(d, 0);
    EXPECT_EQ(d.checked(filter_id::param_filter), 1);
    EXPECT_EQ(d.checked(filter_id::security_filter), 1);
    d.click(filter_id::param_filter);
    EXPECT_EQ(d.checked(filter_id::param_filter), 0);
    EXPECT_EQ(d.checked(filter_id::use_filter), 1);
    ui::ListViewControl{d.item(filter_id::classes)}.set_item_state(0, 0, ui::lvis::selected);
    EXPECT_FALSE(d.enabled(filter_id::param_filter));
    select_row(d, 0);
    EXPECT_EQ(d.checked(filter_id::param_filter), 0) << "the entry keeps the unchecked filter";
    d.click(filter_id::security_more);
    EXPECT_EQ(d.checked(filter_id::security_filter), 1);
    d.click(ui::id::ok);
  });
  const int filters = client.filters;
  ui::send_message(app->frame()->hwnd(), ui::wm::command, cmd::lists);
  EXPECT_TRUE(ui.script().all_used());
  EXPECT_EQ(m().settings().global_filter, 1);
  EXPECT_EQ(profile_get_int("settings", "global_filter", 0, m().settings_path()), 1);
  ASSERT_EQ(m().filter_entries().size(), 1u);
  const FilterEntry& e = m().filter_entries()[0];
  EXPECT_FALSE(e.param_filter);
  EXPECT_TRUE(e.params.empty());
  EXPECT_EQ(e.secs, (std::vector<uint32_t>{10, 11}));
  EXPECT_EQ(tcf(), "[global_filter]\n1\n1 1 2 0 0\n10 11 \n\n");
  EXPECT_EQ(client.filters, filters) << "not connected: nothing is applied";
  // The stored section reads back.
  m().set_filter_entries({});
  m().load_global_filter();
  ASSERT_EQ(m().filter_entries().size(), 1u);
  EXPECT_EQ(m().filter_entries()[0].secs, (std::vector<uint32_t>{10, 11}));
}

TEST_F(TerminalInstrumentSelect, ClassesAreAddedOnceAnEmptyFilterTurnsOffAndOffEmptiesTheStore) {
  ui.script().on_dialog(kAddItemDialogId, [](ui::DialogDriver& d) {
    ui::ListBoxControl{d.item(filter_id::items)}.set_sel(-1, true);
    d.click(ui::id::ok);
  });
  ui.script().on_dialog(kFilterDialogId, [](ui::DialogDriver& d) {
    EXPECT_EQ(ui::get_window_text(d.dialog()), u"Фильтр параметров");
    EXPECT_EQ(ui::ListViewControl{d.item(filter_id::items)}.item_count(), 2);
    d.click(filter_id::clear);
    d.click(ui::id::ok);
  });
  ui.script().on_dialog(kInstrumentSelectDialogId, [](ui::DialogDriver& d) {
    d.click(filter_id::class_add);
    const ui::ListViewControl list{d.item(filter_id::classes)};
    ASSERT_EQ(list.item_count(), 2) << "TQBR had an entry already";
    select_row(d, 0);
    d.click(filter_id::param_more);
    EXPECT_EQ(d.checked(filter_id::param_filter), 0) << "an empty list turns the filter off";
    select_row(d, 1);
    d.click(filter_id::class_remove);
    EXPECT_EQ(list.item_count(), 1);
    d.click(ui::id::ok);
  });
  ui::send_message(app->frame()->hwnd(), ui::wm::command, cmd::lists);
  ASSERT_EQ(m().filter_entries().size(), 1u);
  EXPECT_EQ(m().filter_entries()[0].class_number, 1);
  EXPECT_FALSE(m().filter_entries()[0].param_filter);

  // Switching the filter off empties the stored entries; "Отмена" changes nothing.
  ui.script().on_dialog(kInstrumentSelectDialogId, [](ui::DialogDriver& d) {
    EXPECT_EQ(d.checked(filter_id::use_filter), 1);
    d.click(filter_id::clear);
    d.click(ui::id::cancel);
  });
  ui::send_message(app->frame()->hwnd(), ui::wm::command, cmd::lists);
  EXPECT_EQ(m().filter_entries().size(), 1u);
  ui.script().on_dialog(kInstrumentSelectDialogId, [](ui::DialogDriver& d) {
    d.click(filter_id::use_filter);
    d.click(ui::id::ok);
  });
  ui::send_message(app->frame()->hwnd(), ui::wm::command, cmd::lists);
  EXPECT_EQ(m().settings().global_filter, 0);
  EXPECT_TRUE(m().filter_entries().empty());
  EXPECT_EQ(tcf(), "[global_filter]\n0\n");
  EXPECT_TRUE(ui.script().problems().empty());
}

}  // namespace
}  // namespace kelda::terminal
