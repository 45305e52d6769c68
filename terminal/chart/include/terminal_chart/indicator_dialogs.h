// The indicator dialogs of a chart window: IndicatorDlg (template 177,
// "Индикатор") chooses an indicator's kind, pane and colour and opens the
// kind's extra-parameter dialog and the level-lines dialog; LevelsDlg
// (template 178, "Уровни") edits a graph's level lines;
// IndicatorParamsDlg (the kind's template, "Дополнительно") edits a
// parameter block field by field.
//
// Colours are shown in colour-selection controls (terminal/color_select.h),
// set and read through their decimal window text.
//
// Threading: user-interface thread; modal through the dialog service.
// Ownership: each dialog works on its own copy (settings, level lines or
// block), which the caller takes after OK; Cancel changes nothing. Errors:
// fields that fail their checks show a message and keep the dialog open.
#pragma once

#include <cstdint>
#include <vector>

#include "terminal_chart/chart_dialog.h"
#include "terminal_chart/indicator_catalogue.h"

namespace kelda::terminal {

inline constexpr int kIndicatorDialogId = 177;
inline constexpr int kLevelsDialogId = 178;
inline constexpr int kMaxIndicatorPanes = 5;

namespace indicator_id {
inline constexpr int type = 1200;
inline constexpr int window = 1201;
inline constexpr int colour = 1202;
inline constexpr int more = 1203;
inline constexpr int levels = 1204;
inline constexpr int level_list = 1210;
inline constexpr int level_value = 1211;
inline constexpr int level_add = 1212;
inline constexpr int level_remove = 1213;
inline constexpr int tabs = 1244;
// The n-th field of an extra-parameter dialog: its control is field + n
// (and, for the percent choice, field + n + 1 for "Точки").
inline constexpr int field = 1220;
}  // namespace indicator_id

// The template of the kind's extra-parameter dialog, or 0 when it has none.
int indicator_params_dialog_id(int32_t kind);

class IndicatorDlg : public ChartDialog {
 public:
  // A new indicator: the chart's pane ids, in order.
  explicit IndicatorDlg(std::vector<int32_t> pane_ids);
  // An existing graph (edit mode).
  IndicatorDlg(const GraphSettings& graph, std::vector<int32_t> pane_ids);

  // After OK: the chosen settings; pane id -1 asks for a new pane.
  const GraphSettings& settings() const { return settings_; }

 protected:
  bool on_init_dialog() override;
  bool on_command(UINT id, UINT code, ui::Hwnd control) override;
  void on_ok() override;

 private:
  void kind_chosen();
  void show_colour();
  void edit_params();
  void edit_levels();
  GraphSettings settings_;
  std::vector<int32_t> pane_ids_;
  bool edit_;
};

class LevelsDlg : public ChartDialog {
 public:
  explicit LevelsDlg(std::vector<VizorLevelLine> levels);
  const std::vector<VizorLevelLine>& levels() const { return levels_; }

 protected:
  bool on_init_dialog() override;
  bool on_command(UINT id, UINT code, ui::Hwnd control) override;

 private:
  void add();
  void remove();
  std::vector<VizorLevelLine> levels_;
};

class IndicatorParamsDlg : public ChartDialog {
 public:
  IndicatorParamsDlg(int32_t kind, std::vector<uint8_t> block);
  const std::vector<uint8_t>& block() const { return block_; }

 protected:
  bool on_init_dialog() override;
  bool on_command(UINT id, UINT code, ui::Hwnd control) override;
  bool on_notify(ui::NotifyHeader& header, LRESULT& result) override;
  void on_ok() override;

 private:
  void show_page(int page);
  int32_t kind_;
  std::vector<uint8_t> block_;
};

// Registers the templates of every dialog of this header (once), and the
// colour-selection control's class they place.
void register_indicator_dialogs();

}  // namespace kelda::terminal
