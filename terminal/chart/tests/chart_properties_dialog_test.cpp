// The chart properties dialog: what it selects on opening and what OK stores.
#include <gtest/gtest.h>

#include "terminal_chart/chart_properties_dialog.h"
#include "ui/controls.h"
#include "ui/testing.h"

namespace kelda::terminal {
namespace {

class ChartPropertiesTest : public ::testing::Test {
 protected:
  void SetUp() override { register_chart_properties_dialog(); }
  static std::u16string selected(ui::DialogDriver& d, int id) {
    const ui::ComboBoxControl combo{d.item(id)};
    return combo.cur_sel() < 0 ? u"" : combo.text(combo.cur_sel());
  }
  ui::HeadlessUi ui;
};

TEST_F(ChartPropertiesTest, OkStoresTheChoicesAndAnIntervalOutsideTheListActsAsCancel) {
  struct Case {
    int32_t interval, mode, count;
    std::u16string shown_interval, shown_count;
    std::u16string choose_interval, choose_count;  // "" leaves it
    int radio;                                     // 0 leaves it
    intptr_t result;
    int32_t want_interval, want_mode, want_count;
  };
  const Case cases[] = {
      {15, 3, 100, u"15", u"100", u"Дневной", u"500", 0, ui::id::ok, -1, 3, 500},
      {-3, 3, 75, u"Месячный", u"100", u"", u"", 0, ui::id::ok, -3, 3, 100},
      {60, 3, 200, u"60", u"200", u"", u"", chart_props_id::all_bars, ui::id::ok, 60, 1, 200},
      {5, 1, 25, u"5", u"100", u"", u"1000", chart_props_id::last_bars, ui::id::ok, 5, 3, 1000},
      {2, 3, 50, u"", u"50", u"", u"", 0, ui::id::cancel, 2, 3, 50},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.interval);
    ui.script().on_dialog(kChartPropertiesDialogId, [&](ui::DialogDriver& d) {
      EXPECT_EQ(ui::ComboBoxControl{d.item(chart_props_id::interval)}.count(), 11);
      EXPECT_EQ(selected(d, chart_props_id::interval), c.shown_interval);
      EXPECT_EQ(selected(d, chart_props_id::bar_count), c.shown_count);
      EXPECT_EQ(d.enabled(chart_props_id::bar_count), c.mode == 3);
      if (c.radio != 0) {
        d.click(c.radio);
        EXPECT_EQ(d.enabled(chart_props_id::bar_count), c.radio == chart_props_id::last_bars);
      }
      if (!c.choose_interval.empty()) {
        EXPECT_TRUE(d.choose(chart_props_id::interval, c.choose_interval));
      }
      if (!c.choose_count.empty()) {
        EXPECT_TRUE(d.choose(chart_props_id::bar_count, c.choose_count));
      }
      d.click(ui::id::ok);
    });
    ChartPropertiesDlg dialog;
    dialog.interval = c.interval;
    dialog.mode = c.mode;
    dialog.bar_count = c.count;
    EXPECT_EQ(dialog.do_modal(ui::Hwnd{}), c.result);
    EXPECT_EQ(dialog.interval, c.want_interval);
    EXPECT_EQ(dialog.mode, c.want_mode);
    EXPECT_EQ(dialog.bar_count, c.want_count);
  }
  EXPECT_TRUE(ui.script().problems().empty());
}

}  // namespace
}  // namespace kelda::terminal
