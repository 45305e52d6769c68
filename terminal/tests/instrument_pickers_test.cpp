// The instrument pickers: the new-window dialog on an empty and a filled
// terminal, the 20-key limit of the add dialog, and moving and removing
// entries in the list dialog.
#include <gtest/gtest.h>

#include "dialog_fixture.h"
#include "terminal/instrument_pickers.h"
#include "ui/controls.h"

namespace kelda::terminal {
namespace {

using TerminalInstrumentPickers = DialogFixture;

TEST_F(TerminalInstrumentPickers, NewWindowDialogOnAnEmptyAndAFilledTerminal) {
  ui.script().on_dialog(kNewMarketWindowDialogId, [](ui::DialogDriver& d) {
    EXPECT_EQ(ui::get_window_text(d.dialog()), u"Новое окно котировок");
    EXPECT_EQ(ui::ComboBoxControl{d.item(picker_id::class_list)}.count(), 0);
    EXPECT_EQ(ui::ComboBoxControl{d.item(picker_id::security_list)}.count(), 0);
    EXPECT_FALSE(d.enabled(ui::id::ok));
    d.click(ui::id::ok);
    EXPECT_TRUE(d.open());
    d.click(ui::id::cancel);
  });
  NewMarketWindowDlg empty(true);
  EXPECT_EQ(empty.do_modal(ui::Hwnd{}), ui::id::cancel);

  ClassRecord& shares = add_class(1, "TQBR", "Акции");
  add_security(shares, 10, "SBER", "Сбербанк");
  add_security(shares, 11, "GAZP", "Газпром");
  ClassRecord& futures = add_class(2, "SPBFUT", "Фьючерсы");
  add_security(futures, 20, "RIZ4", "RTS-12.24");
  ui.script().on_dialog(kNewMarketWindowDialogId, [](ui::DialogDriver& d) {
    EXPECT_EQ(ui::get_window_text(d.dialog()), u"Новый график");
    EXPECT_EQ(d.text(picker_id::class_list), u"Акции") << "sorted by name, the first chosen";
    EXPECT_EQ(d.text(picker_id::security_list), u"Газпром");
    EXPECT_TRUE(d.choose(picker_id::class_list, u"Фьючерсы"));
    EXPECT_EQ(d.text(picker_id::security_list), u"RTS-12.24");
    d.click(ui::id::ok);
  });
  NewMarketWindowDlg chart(false);
  ASSERT_EQ(chart.do_modal(ui::Hwnd{}), ui::id::ok);
  EXPECT_EQ(chart.chosen_class(), &futures);
  EXPECT_EQ(chart.chosen_security()->record.security_number, 20u);
}

TEST_F(TerminalInstrumentPickers, AddDialogReturnsTheFirstTwentyChosenInListOrder) {
  ClassRecord& cls = add_class(1, "TQBR", "Акции");
  for (uint32_t i = 0; i < 25; ++i) {
    const std::string code = "S" + std::to_string(100 + i);
    add_security(cls, 1000 - i, code, code);
  }
  add_param(cls, 7, "LAST", "Цена послед.");
  ui.script().on_dialog(kAddTableItemDialogId, [](ui::DialogDriver& d) {
    EXPECT_EQ(ui::get_window_text(d.dialog()), u"Добавить инструмент");
    const ui::ListBoxControl list{d.item(picker_id::items)};
    ASSERT_EQ(list.count(), 25);
    for (int i = 0; i < 25; ++i) list.set_sel(i, true);
    d.click(ui::id::ok);
  });
  AddTableItemDlg securities(true);
  ASSERT_EQ(securities.do_modal(ui::Hwnd{}), ui::id::ok);
  EXPECT_EQ(securities.chosen_class(), &cls);
  ASSERT_EQ(securities.keys().size(), 20u);
  EXPECT_EQ(securities.keys().front(), 1000u);  // "S100"
  EXPECT_EQ(securities.keys().back(), 981u);    // "S119"

  ui.script().on_dialog(kAddTableItemDialogId, [](ui::DialogDriver& d) {
    ui::ListBoxControl{d.item(picker_id::items)}.set_sel(0, true);
    d.click(ui::id::ok);
  });
  AddTableItemDlg params(false);
  ASSERT_EQ(params.do_modal(ui::Hwnd{}), ui::id::ok);
  EXPECT_EQ(params.keys(), std::vector<uint32_t>{7});
}

ParamTableSet four_rows() {
  ParamTableSet set;
  set.row_count = 4;
  const char* codes[] = {"A", "B", "C", "D"};
  for (int i = 0; i < 4; ++i) {
    copy_text(set.row[i].security_code, codes[i]);
    copy_text(set.row[i].caption, std::string(codes[i]) + " [TQBR]");
  }
  set.column_count = 1;
  copy_text(set.column[0].db_name, "LAST");
  return set;
}

// Selects exactly the given entries (-1: all) and tells the dialog, as a tap would.
void select(const ui::DialogDriver& d, std::initializer_list<int> entries) {
  const ui::ListBoxControl list{d.item(picker_id::items)};
  list.set_sel(-1, false);
  for (const int i : entries) list.set_sel(i, true);
  ui::send_message(d.dialog(), ui::wm::command, ui::make_wparam(picker_id::items, ui::lbn::sel_change),
                   static_cast<LPARAM>(d.item(picker_id::items).value()));
}

std::string order(const ParamTableSet& set) {
  std::string codes;
  for (int i = 0; i < set.rows(); ++i) codes += field_text(set.row[i].security_code);
  return codes;
}

TEST_F(TerminalInstrumentPickers, ListDialogMovesSelectedBlocksAndRemoves) {
  ui.script().on_dialog(kItemListDialogId, [](ui::DialogDriver& d) {
    const ui::ListBoxControl list{d.item(picker_id::items)};
    EXPECT_EQ(list.text(0), u"A [TQBR]");
    EXPECT_FALSE(d.enabled(picker_id::up));
    EXPECT_FALSE(d.enabled(picker_id::remove));
    select(d, {0});
    EXPECT_FALSE(d.enabled(picker_id::up)) << "the first entry is selected";
    EXPECT_TRUE(d.enabled(picker_id::down));
    select(d, {1, 2});
    d.click(picker_id::up);  // B and C become the first two and stay selected
    EXPECT_EQ(list.text(0), u"B [TQBR]");
    EXPECT_TRUE(list.is_selected(0) && list.is_selected(1) && !list.is_selected(2));
    EXPECT_FALSE(d.enabled(picker_id::up)) << "the block is at the top";
    d.click(picker_id::down);
    d.click(picker_id::down);
    EXPECT_EQ(list.text(3), u"C [TQBR]");
    EXPECT_FALSE(d.enabled(picker_id::down)) << "the block is at the bottom";
    d.click(ui::id::ok);
  });
  ItemListDlg moved(true, four_rows());
  ASSERT_EQ(moved.do_modal(ui::Hwnd{}), ui::id::ok);
  EXPECT_EQ(order(moved.table_set()), "ADBC");

  ui.script().on_dialog(kItemListDialogId, [](ui::DialogDriver& d) {
    EXPECT_EQ(ui::get_window_text(d.dialog()), u"Список инструментов");
    select(d, {0, 1, 2, 3});
    d.click(picker_id::remove);
    EXPECT_EQ(ui::ListBoxControl{d.item(picker_id::items)}.count(), 0);
    EXPECT_FALSE(d.enabled(picker_id::up));
    EXPECT_FALSE(d.enabled(picker_id::down));
    EXPECT_FALSE(d.enabled(picker_id::remove));
    d.click(ui::id::ok);
  });
  ItemListDlg emptied(true, four_rows());
  ASSERT_EQ(emptied.do_modal(ui::Hwnd{}), ui::id::ok);
  EXPECT_EQ(emptied.table_set().rows(), 0);
  EXPECT_EQ(emptied.table_set().columns(), 1) << "the columns are left alone";
  EXPECT_TRUE(ui.script().problems().empty());
}

}  // namespace
}  // namespace kelda::terminal
