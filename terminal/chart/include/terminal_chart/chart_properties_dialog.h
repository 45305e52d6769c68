// The chart properties dialog (template 135, "Свойства"): the bar interval
// of a chart (minutes, or -1 daily, -2 weekly, -3 monthly) and whether it
// shows all bars (mode 1) or the last N (mode 3). The caller sets the three
// values, runs the dialog and reads them back after OK; an interval that is
// not in the dialog's list makes OK act as Cancel.
//
// Threading: user-interface thread; modal through the dialog service.
#pragma once

#include <cstdint>

#include "terminal_chart/chart_dialog.h"

namespace kelda::terminal {

inline constexpr int kChartPropertiesDialogId = 135;
namespace chart_props_id {
inline constexpr int interval = 1180;
inline constexpr int all_bars = 1181;
inline constexpr int last_bars = 1182;
inline constexpr int bar_count = 1183;
}  // namespace chart_props_id

inline constexpr int32_t kShowAllBars = 1;
inline constexpr int32_t kShowLastBars = 3;

class ChartPropertiesDlg : public ChartDialog {
 public:
  ChartPropertiesDlg();
  int32_t interval = 15;
  int32_t mode = kShowLastBars;
  int32_t bar_count = 100;

 protected:
  bool on_init_dialog() override;
  bool on_command(UINT id, UINT code, ui::Hwnd control) override;
  void on_ok() override;

 private:
  void enable_count();
};

// Registers the dialog's template (once).
void register_chart_properties_dialog();

}  // namespace kelda::terminal
