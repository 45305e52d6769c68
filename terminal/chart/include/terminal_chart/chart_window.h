// The chart window (window kind 11): the price bars of one security drawn by
// the chart library, with a price graph, a volume graph and indicators in
// one or more panes, level lines and trend tools. The window binds to the
// security's data line once the class and security are known, feeds every
// bar to the chart, offers the context menu that adds, edits and deletes
// indicators, panes and trends and opens the chart properties, and writes
// the whole chart into its layout section (write_state), from which a
// restored window takes it back (restore_state) before it is created.
//
// Menu commands take disjoint ranges (editing, deleting a graph, deleting a
// pane), so a chart with many graphs never runs one range into the next.
//
// Threading: user-interface thread (the chart library calls back on it).
// Ownership: the window owns its chart and configuration. Errors: a failure
// of the chart library while the window is created destroys the chart and
// refuses the window; failures later are logged and end the action; a bar
// with an impossible date is dropped and logged.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "chart/kelda_chart.h"
#include "terminal/window_protocol.h"
#include "terminal_chart/chart_config.h"

namespace kelda::terminal {

class MainView;

namespace chart_cmd {
inline constexpr UINT add_indicator = 302;
inline constexpr UINT chart_properties = 366;
inline constexpr UINT sloped_trend = 368;
inline constexpr UINT horizontal_trend = 369;
inline constexpr UINT vertical_trend = 370;
inline constexpr UINT delete_trend = 371;
inline constexpr UINT delete_all_trends = 372;
inline constexpr UINT edit_graph = 1000;    // + graph index
inline constexpr UINT delete_graph = 2000;  // + graph index
inline constexpr UINT delete_pane = 3000;   // + pane index
}  // namespace chart_cmd

struct ChartPane {
  int32_t id = 0;         // the chart's pane id
  int32_t saved_id = -1;  // the id it had when the layout was saved
  VizorPaneParams params{};
};

class PriceChartWnd : public TerminalWindow {
 public:
  explicit PriceChartWnd(ChartConfig config);
  ~PriceChartWnd() override;

  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override;
  void write_state(SectionText& section) const override;
  void restore_state(const SavedSection& section) override;

  // Binds the window to the class when its code is the window's and it holds
  // the window's security; registers the data line.
  bool bind(const ClassRecord& cls);
  // Runs a command of the context menu.
  void run_command(UINT command);
  // The context menu as it would show now (the caller destroys it).
  ui::Hmenu build_menu() const;

  VizorChart chart() const { return chart_; }
  int32_t price_series() const { return price_; }
  int32_t line_id() const { return line_id_; }
  const ChartConfig& config() const { return config_; }
  const std::vector<ChartPane>& panes() const { return panes_; }

 private:
  bool create_chart();
  bool apply_chart_params();
  bool add_pane(int32_t saved_id);
  bool add_graph(GraphSettings& g);
  void resize_panes_evenly();
  void add_indicator();
  void edit_graph(std::size_t index);
  void delete_graph(std::size_t index);
  void delete_pane(std::size_t index);
  void chart_properties();
  void add_bar(WPARAM line, LPARAM bar);
  void register_line();
  void unregister_line();
  void context_menu(LPARAM position);
  void destroy_chart();
  std::vector<int32_t> pane_ids() const;

  static void on_chart_notify(VizorChart chart, void* user, int32_t code, UINT message, WPARAM wparam,
                              LPARAM lparam, void* record, int32_t size);

  ChartConfig config_;
  std::vector<ChartPane> panes_;
  VizorChart chart_ = nullptr;
  int32_t price_ = 0;
  int32_t line_id_ = -1;
  VizorChartParams params_{};
};

// The lowest slot of the view holding a chart of the class and security
// (codes compared exactly), or -1. A new chart of an instrument that already
// has one activates that window instead of opening a second.
int find_chart_wnd(const MainView& view, const std::string& class_code, const std::string& security_code);

// Registers the chart window kind (command "График") and the dialogs it uses.
void register_chart_window();

}  // namespace kelda::terminal
