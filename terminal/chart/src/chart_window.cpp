// The chart window.
#include "terminal_chart/chart_window.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <memory>
#include <utility>

#include "platform/time.h"
#include "terminal/data_feed_manager.h"
#include "terminal/instrument_pickers.h"
#include "terminal/layout_files.h"
#include "terminal/main_frame.h"
#include "terminal/main_view.h"
#include "terminal/tables.h"
#include "terminal/text_log.h"
#include "terminal/window_kinds.h"
#include "terminal_chart/chart_properties_dialog.h"
#include "terminal_chart/data_lines.h"
#include "terminal_chart/indicator_dialogs.h"
#include "ui/menu.h"
#include "ui/services.h"
#include "ui/window.h"

namespace kelda::terminal {
namespace {

constexpr COLORREF kPriceColour = 0x8000;
constexpr COLORREF kVolumeColour = 0xFF0000;

// The open chart windows, so that a notification acts only for a live one.
std::vector<PriceChartWnd*>& open_charts() {
  static std::vector<PriceChartWnd*> windows;
  return windows;
}

PriceChartWnd* find_chart_by_handle(VizorChart chart) {
  for (PriceChartWnd* w : open_charts()) {
    if (w->chart() == chart) return w;
  }
  return nullptr;
}

int font_size() {
  DataFeedManager* m = manager();
  return m != nullptr ? m->settings().font_size : 18;
}

bool request_archive() {
  DataFeedManager* m = manager();
  return m != nullptr && m->settings().request_archive;
}

std::u16string pane_item(std::size_t n) {
  return to_wide(cp1251("Окно" + std::to_string(n + 1)));
}

// The data-line bar as posted: five doubles, then date and time as integers.
struct PostedBar {
  double open, high, low, close, volume;
  uint32_t date, time;
};
static_assert(sizeof(PostedBar) == 48);

}  // namespace

PriceChartWnd::PriceChartWnd(ChartConfig config) : TerminalWindow(kChartWindowKind), config_(std::move(config)) {
  set_caption(config_.caption);
  open_charts().push_back(this);
}

PriceChartWnd::~PriceChartWnd() {
  destroy_chart();
  std::erase(open_charts(), this);
}

void PriceChartWnd::destroy_chart() {
  unregister_line();
  if (chart_ != nullptr) VizorDestroyChart(chart_);
  chart_ = nullptr;
  price_ = 0;
}

bool PriceChartWnd::apply_chart_params() {
  VizorChartParams& p = params_;
  p.interval = config_.minutes;
  p.barsPerPage = 50;
  p.timeAxisShown = 1;
  p.timeGridShown = 0;
  p.background = 0xFFFFFF;
  p.gridColour = 0x7F7F7F;
  p.axisColour = 0;
  p.font = VizorLogFont{};
  p.font.height = -font_size();
  p.font.weight = 400;
  p.font.charSet = 204;
  p.font.outPrecision = 1;
  p.font.clipPrecision = 2;
  p.font.quality = 1;
  p.font.pitchAndFamily = 0x22;
  const std::u16string face = u"MS Sans Serif";
  std::copy(face.begin(), face.end(), p.font.faceName);
  p.textColour = 0;
  p.mode = config_.period_mode;
  p.barCount = config_.last_bars;
  p.leftAxisWidth = 1;
  p.rightAxisWidth = 50;
  p.trendColour = 0xFF0000;
  p.levelLineColour = 0xFF0000;
  p.trendPenWidth = 1;
  p.levelLinePenWidth = 1;
  return VizorSetChartParams(chart_, &p) != 0;
}

bool PriceChartWnd::add_pane(int32_t saved_id) {
  ChartPane pane;
  pane.saved_id = saved_id;
  pane.id = VizorAddPane(chart_);
  if (pane.id == 0) {
    log_line("ERROR: VizorAddPane failed.");
    return false;
  }
  if (!VizorGetPaneParams(chart_, pane.id, &pane.params)) {
    log_line("ERROR: VizorGetPaneParams failed.");
    return false;
  }
  pane.params.legendPosition = 1;
  pane.params.gridBits = 0;
  pane.params.leftAuto = pane.params.rightAuto = 1;
  pane.params.leftMin = pane.params.leftMax = pane.params.rightMin = pane.params.rightMax = 0;
  if (!VizorSetPaneParams(chart_, pane.id, &pane.params)) {
    log_line("ERROR: VizorSetPaneParams failed.");
    return false;
  }
  panes_.push_back(pane);
  return true;
}

bool PriceChartWnd::add_graph(GraphSettings& g) {
  g.graph_id = VizorAddGraph(chart_, price_, g.kind, g.pane_id);
  if (g.graph_id == 0) {
    log_line("ERROR: VizorAddGraph failed.");
    return false;
  }
  const VizorGraphParams graph = g.graph_block();
  if (!VizorSetGraphParams(chart_, g.graph_id, &graph, g.params_data(), g.params_size())) {
    log_line("ERROR: VizorSetGraphParams failed.");
    return false;
  }
  return true;
}

bool PriceChartWnd::create_chart() {
  const RECT rect{0, 0, 100, 100};
  chart_ = VizorCreateChart(hwnd().value(), &rect, &PriceChartWnd::on_chart_notify, this);
  if (chart_ == nullptr) {
    log_line("ERROR: VizorCreateChart failed.");
    return false;
  }
  if (!VizorGetChartParams(chart_, &params_)) {
    log_line("ERROR: VizorGetChartParams failed.");
    return false;
  }
  if (!apply_chart_params()) {
    log_line("ERROR: VizorSetChartParams failed.");
    return false;
  }
  price_ = VizorAddGraphData(chart_);
  if (price_ == 0) {
    log_line("ERROR: VizorAddGraphData failed.");
    return false;
  }
  if (config_.saved_pane_ids.empty()) {
    for (int i = 0; i < 2; ++i) {
      if (!add_pane(-1)) return false;
    }
    config_.proportions = {0.7, 0.3};
  } else {
    for (int32_t saved : config_.saved_pane_ids) {
      if (!add_pane(saved)) return false;
    }
    config_.proportions = normalised_proportions(config_.proportions);
  }
  VizorSetPaneSizes(chart_, static_cast<int32_t>(panes_.size()), config_.proportions.data());
  if (config_.graphs.empty()) {
    for (const auto& [kind, pane, colour, width] :
         {std::tuple{indicator::price, 0, kPriceColour, 1}, std::tuple{indicator::volume, 1, kVolumeColour, 3}}) {
      GraphSettings g;
      g.kind = kind;
      set_indicator_defaults(g);
      g.pane_id = panes_[static_cast<std::size_t>(pane)].id;
      g.graph.colour = colour;
      g.graph.penWidth = width;
      if (!add_graph(g)) return false;
      config_.graphs.push_back(std::move(g));
    }
  } else {
    std::vector<GraphSettings> kept;
    for (GraphSettings& g : config_.graphs) {
      const auto pane = std::find_if(panes_.begin(), panes_.end(),
                                     [&](const ChartPane& p) { return p.saved_id == g.pane_id; });
      // A graph whose pane is not in the layout cannot be placed: left out.
      if (pane == panes_.end()) {
        log_line("ERROR: an indicator of chart %s names pane %d, which the layout does not have.",
                 config_.caption.c_str(), g.pane_id);
        continue;
      }
      g.pane_id = pane->id;
      if (!add_graph(g)) return false;
      kept.push_back(std::move(g));
    }
    config_.graphs = std::move(kept);
  }
  if (!config_.trends.empty()) {
    VizorRestoreSavedTrends(chart_, static_cast<int32_t>(config_.trends.size()), config_.trends.data());
  }
  VizorRedraw(chart_, price_);
  return true;
}

bool PriceChartWnd::bind(const ClassRecord& cls) {
  if (cls.code() != config_.class_code) return false;
  const SecurityRecord* sec = cls.find_security(config_.security_code);
  if (sec == nullptr) return false;
  config_.class_id = static_cast<int32_t>(cls.record.class_number);
  config_.security_id = static_cast<int32_t>(sec->record.security_number);
  unregister_line();
  register_line();
  return true;
}

void PriceChartWnd::register_line() {
  if (config_.class_id < 0 || config_.security_id < 0) return;
  int32_t line = -1;
  if (data_lines().register_line(config_.class_id, config_.security_id, config_.minutes, request_archive(),
                                 ui::get_parent(hwnd()), line)) {
    line_id_ = line;
  }
}

void PriceChartWnd::unregister_line() {
  if (line_id_ == -1) return;
  data_lines().unregister_line(line_id_);
  line_id_ = -1;
}

void PriceChartWnd::add_bar(WPARAM line, LPARAM bar) {
  if (price_ == 0 || chart_ == nullptr || bar == 0 || static_cast<int32_t>(line) != line_id_) return;
  PostedBar b;
  std::memcpy(&b, reinterpret_cast<const void*>(bar), sizeof b);
  SYSTEMTIME st{};
  st.wYear = static_cast<uint16_t>(std::min<uint32_t>(b.date / 10000, 0xFFFF));
  st.wMonth = static_cast<uint16_t>(b.date / 100 % 100);
  st.wDay = static_cast<uint16_t>(b.date % 100);
  st.wHour = static_cast<uint16_t>(std::min<uint32_t>(b.time / 10000, 0xFFFF));
  st.wMinute = static_cast<uint16_t>(b.time / 100 % 100);
  st.wSecond = static_cast<uint16_t>(b.time % 100);
  FILETIME t{};
  // A bar at an impossible time would sit at time 0 before every other: dropped.
  if (b.date > 99991231 || !platform::system_time_to_file_time(st, t)) {
    log_line("ERROR: a bar of chart %s with the date %u and time %u dropped.", config_.caption.c_str(), b.date,
             b.time);
    return;
  }
  VizorAddOHLCV(chart_, price_, &t, b.open, b.high, b.low, b.close, b.volume, 1);
}

std::vector<int32_t> PriceChartWnd::pane_ids() const {
  std::vector<int32_t> ids;
  for (const ChartPane& p : panes_) ids.push_back(p.id);
  return ids;
}

void PriceChartWnd::resize_panes_evenly() {
  const std::size_t count = panes_.size();
  const double first = count == 2 ? 0.7 : (count == 1 ? 1.0 : 0.5 - 0.1 * (static_cast<double>(count) - 3));
  config_.proportions.assign(count, count > 1 ? (1.0 - first) / static_cast<double>(count - 1) : 1.0);
  if (count > 0) config_.proportions[0] = first;
  VizorSetPaneSizes(chart_, static_cast<int32_t>(count), config_.proportions.data());
}

void PriceChartWnd::add_indicator() {
  if (config_.graphs.size() >= static_cast<std::size_t>(kMaxChartGraphs)) {
    ui::message_box(hwnd(), u"Невозможно добавить больше индикаторов.", u"Ошибка", ui::mb::ok | ui::mb::icon_error);
    return;
  }
  IndicatorDlg dialog(pane_ids());
  if (dialog.do_modal(hwnd()) != ui::id::ok) return;
  GraphSettings g = dialog.settings();
  if (g.pane_id == -1) {
    if (!add_pane(-1)) return;
    resize_panes_evenly();
    g.pane_id = panes_.back().id;
  }
  if (!add_graph(g)) return;
  config_.graphs.push_back(std::move(g));
  VizorRedraw(chart_, price_);
}

void PriceChartWnd::edit_graph(std::size_t index) {
  if (index >= config_.graphs.size()) return;
  IndicatorDlg dialog(config_.graphs[index], pane_ids());
  if (dialog.do_modal(hwnd()) != ui::id::ok) return;
  GraphSettings& g = config_.graphs[index];
  const int32_t old_kind = g.kind;
  const int32_t old_id = g.graph_id;
  const int32_t pane = g.pane_id;
  g = dialog.settings();
  g.pane_id = pane;
  if (g.kind == old_kind) {
    g.graph_id = old_id;
    const VizorGraphParams graph = g.graph_block();
    if (!VizorSetGraphParams(chart_, g.graph_id, &graph, g.params_data(), g.params_size())) {
      log_line("ERROR: VizorSetGraphParams failed.");
    }
  } else {
    VizorDeleteGraph(chart_, old_id);
    add_graph(g);
  }
  VizorRedraw(chart_, price_);
}

void PriceChartWnd::delete_graph(std::size_t index) {
  if (index >= config_.graphs.size()) return;
  VizorDeleteGraph(chart_, config_.graphs[index].graph_id);
  config_.graphs.erase(config_.graphs.begin() + static_cast<std::ptrdiff_t>(index));
  VizorRedraw(chart_, price_);
}

void PriceChartWnd::delete_pane(std::size_t index) {
  if (index >= panes_.size()) return;
  const int32_t pane = panes_[index].id;
  std::erase_if(config_.graphs, [&](const GraphSettings& g) {
    if (g.pane_id != pane) return false;
    VizorDeleteGraph(chart_, g.graph_id);
    return true;
  });
  VizorDeletePane(chart_, pane);
  panes_.erase(panes_.begin() + static_cast<std::ptrdiff_t>(index));
  if (index < config_.proportions.size()) {
    config_.proportions.erase(config_.proportions.begin() + static_cast<std::ptrdiff_t>(index));
  }
  VizorRedraw(chart_, price_);
}

void PriceChartWnd::chart_properties() {
  ChartPropertiesDlg dialog;
  dialog.interval = config_.minutes;
  dialog.mode = config_.period_mode;
  dialog.bar_count = config_.last_bars;
  if (dialog.do_modal(hwnd()) != ui::id::ok) return;
  const bool new_interval = dialog.interval != config_.minutes;
  if (new_interval) VizorStartIntervalChanging(chart_);
  config_.minutes = dialog.interval;
  config_.period_mode = dialog.mode;
  config_.last_bars = dialog.bar_count;
  VizorGetChartParams(chart_, &params_);
  params_.mode = config_.period_mode;
  params_.barCount = config_.last_bars;
  if (new_interval) params_.interval = config_.minutes;
  if (!VizorSetChartParams(chart_, &params_)) log_line("ERROR: VizorSetChartParams failed.");
  if (new_interval) {
    VizorClear(chart_, price_, 0);
    unregister_line();
    register_line();
  }
  VizorRedraw(chart_, price_);
}

ui::Hmenu PriceChartWnd::build_menu() const {
  const ui::Hmenu menu = ui::create_popup_menu();
  ui::append_menu(menu, ui::mf::string, chart_cmd::add_indicator, u"Добавить индикатор");
  const ui::Hmenu edit = ui::create_popup_menu();
  const ui::Hmenu remove = ui::create_popup_menu();
  for (std::size_t i = 0; i < config_.graphs.size(); ++i) {
    const std::u16string legend(config_.graphs[i].graph.legend);
    ui::append_menu(edit, ui::mf::string, chart_cmd::edit_graph + i, legend);
    ui::append_menu(remove, ui::mf::string, chart_cmd::delete_graph + i, legend);
  }
  ui::append_menu(menu, ui::mf::popup, edit.value(), u"Редактировать индикатор");
  ui::append_menu(menu, ui::mf::popup, remove.value(), u"Удалить индикатор");
  const ui::Hmenu panes = ui::create_popup_menu();
  for (std::size_t n = 0; n < panes_.size(); ++n) {
    ui::append_menu(panes, ui::mf::string, chart_cmd::delete_pane + n, pane_item(n));
  }
  ui::append_menu(menu, ui::mf::popup, panes.value(), u"Удалить окно");
  const ui::Hmenu trends = ui::create_popup_menu();
  ui::append_menu(trends, ui::mf::string, chart_cmd::sloped_trend, u"Наклонная");
  ui::append_menu(trends, ui::mf::string, chart_cmd::horizontal_trend, u"Горизонтальная");
  ui::append_menu(trends, ui::mf::string, chart_cmd::vertical_trend, u"Вертикальная");
  ui::append_menu(menu, ui::mf::popup, trends.value(), u"Добавить линию тренда");
  const bool any_trend = chart_ != nullptr && VizorGetTrendCount(chart_) >= 1;
  ui::append_menu(menu, any_trend ? ui::mf::string : ui::mf::grayed, chart_cmd::delete_all_trends,
                  u"Удалить все линии тренда");
  ui::append_menu(menu, ui::mf::string, chart_cmd::chart_properties, u"Настройки диаграммы");
  return menu;
}

void PriceChartWnd::run_command(UINT command) {
  if (chart_ == nullptr) return;
  switch (command) {
    case chart_cmd::add_indicator: add_indicator(); return;
    case chart_cmd::chart_properties: ui::post_message(hwnd(), UM_CHARTPROPS); return;
    case chart_cmd::sloped_trend: VizorSetTrendType(chart_, 1); return;
    case chart_cmd::horizontal_trend: VizorSetTrendType(chart_, 3); return;
    case chart_cmd::vertical_trend: VizorSetTrendType(chart_, 2); return;
    case chart_cmd::delete_all_trends:
      for (const ChartPane& p : panes_) VizorDeleteAllTrends(chart_, p.id);
      return;
    default: break;
  }
  if (command >= chart_cmd::delete_pane) {
    delete_pane(command - chart_cmd::delete_pane);
  } else if (command >= chart_cmd::delete_graph) {
    delete_graph(command - chart_cmd::delete_graph);
  } else if (command >= chart_cmd::edit_graph) {
    edit_graph(command - chart_cmd::edit_graph);
  }
}

void PriceChartWnd::context_menu(LPARAM position) {
  const ui::Hmenu menu = build_menu();
  const int x = static_cast<int16_t>(position & 0xFFFF);
  const int y = static_cast<int16_t>((position >> 16) & 0xFFFF);
  const UINT command = ui::track_popup_menu(menu, ui::tpm::return_cmd, x, y, hwnd());
  ui::destroy_menu(menu);
  if (command != 0) run_command(command);
}

void PriceChartWnd::on_chart_notify(VizorChart chart, void*, int32_t code, UINT message, WPARAM, LPARAM lparam,
                                    void* record, int32_t size) {
  PriceChartWnd* window = find_chart_by_handle(chart);
  if (window == nullptr) return;
  if (code == 6) {
    VizorSetTrendType(chart, 0);
    return;
  }
  if (code != 5 || message != ui::wm::context_menu || record == nullptr ||
      size < static_cast<int32_t>(sizeof(VizorTrendMenuInfo))) {
    return;
  }
  const auto* info = static_cast<const VizorTrendMenuInfo*>(record);
  if (info->change == nullptr) return;
  const ui::Hmenu menu = ui::create_popup_menu();
  ui::append_menu(menu, ui::mf::string, chart_cmd::delete_trend, u"Удалить");
  const int x = static_cast<int16_t>(lparam & 0xFFFF);
  const int y = static_cast<int16_t>((lparam >> 16) & 0xFFFF);
  const UINT command = ui::track_popup_menu(menu, ui::tpm::return_cmd, x, y, window->hwnd());
  ui::destroy_menu(menu);
  if (command == chart_cmd::delete_trend) VizorChangeTrendline(chart, 1, info->change);
}

void PriceChartWnd::write_state(SectionText& section) const {
  ChartConfig config = config_;
  if (chart_ != nullptr && !panes_.empty()) {
    std::vector<double> sizes(panes_.size());
    if (VizorGetPaneSizes(chart_, static_cast<int32_t>(sizes.size()), sizes.data())) config.proportions = sizes;
  }
  config.trends.clear();
  const int32_t trends = chart_ != nullptr ? VizorGetTrendCount(chart_) : 0;
  if (trends > 0) {
    config.trends.resize(static_cast<std::size_t>(trends));
    if (!VizorGetTrendsInfo(chart_, trends, config.trends.data())) config.trends.clear();
  }
  write_chart_config(config, pane_ids(), section);
}

void PriceChartWnd::restore_state(const SavedSection& section) {
  config_ = read_chart_config(section);
  config_.caption = caption();
}

LRESULT PriceChartWnd::window_proc(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case ui::wm::create:
      if (!create_chart()) {
        destroy_chart();
        return -1;
      }
      // Each class the terminal already holds is offered until one binds.
      if (DataFeedManager* m = manager()) {
        for (const auto& entry : m->tables().classes) {
          if (entry.second && bind(*entry.second)) break;
        }
      }
      break;
    case ui::wm::size: {
      const RECT r{0, 0, static_cast<int32_t>(lparam & 0xFFFF), static_cast<int32_t>((lparam >> 16) & 0xFFFF)};
      if (chart_ != nullptr) VizorMoveChart(chart_, &r);
      break;
    }
    case ui::wm::context_menu: context_menu(lparam); return 0;
    case ui::wm::destroy: destroy_chart(); break;
    case UM_MATCHROW:
      return wparam != 0 && bind(*reinterpret_cast<const ClassRecord*>(wparam)) ? 1 : 0;
    case UM_CLEAR:
      if (chart_ != nullptr) VizorClear(chart_, price_, 1);
      config_.class_id = config_.security_id = -1;
      // The client library keeps its lines across a reconnect: a line only
      // forgotten here would go on feeding bars beside the one the next bind
      // registers, one more after every reconnect.
      unregister_line();
      return 0;
    case UM_SETFONT:
      if (chart_ != nullptr) {
        VizorGetChartParams(chart_, &params_);
        params_.font.height = -font_size();
        VizorSetChartParams(chart_, &params_);
      }
      return 0;
    case UM_CHARTPROPS: chart_properties(); return 0;
    case UM_DATALINE: add_bar(wparam, lparam); return 0;
    case UM_ARCHIVE:
      if (chart_ != nullptr) {
        VizorClear(chart_, price_, 0);
        unregister_line();
        register_line();
        VizorRedraw(chart_, price_);
      }
      break;
    default: break;
  }
  return TerminalWindow::window_proc(msg, wparam, lparam);
}

int find_chart_wnd(const MainView& view, const std::string& class_code, const std::string& security_code) {
  for (int i = 0; i < kSlotCount; ++i) {
    const auto* chart = dynamic_cast<const PriceChartWnd*>(view.slot(i));
    if (chart != nullptr && chart->config().class_code == class_code &&
        chart->config().security_code == security_code) {
      return i;
    }
  }
  return -1;
}

namespace {

// What the instrument picker chose for the next new chart window.
ChartConfig& pending_config() {
  static ChartConfig config;
  return config;
}

// Asks for the class and security of a new chart; false cancels the command.
bool choose_instrument(std::string& caption) {
  NewMarketWindowDlg dialog(false);
  if (dialog.do_modal(ui::Hwnd{}) != ui::id::ok || dialog.chosen_class() == nullptr ||
      dialog.chosen_security() == nullptr) {
    return false;
  }
  const KelapiClassRecord& cls = dialog.chosen_class()->record;
  const KelapiSecurityRecord& sec = dialog.chosen_security()->record;
  ChartConfig config;
  config.class_code = std::string(field_text(cls.code)).substr(0, 12);
  config.security_code = std::string(field_text(sec.code)).substr(0, 12);
  // At most one chart per instrument: an open one is shown instead.
  if (MainView* view = manager() != nullptr ? manager()->view() : nullptr) {
    const int open = find_chart_wnd(*view, config.class_code, config.security_code);
    if (open >= 0) {
      view->activate_slot(open);
      return false;
    }
  }
  caption = cp1251("График ") + std::string(field_text(sec.name)) + " [" + std::string(field_text(cls.name)) + "]";
  config.caption = caption.substr(0, 255);
  pending_config() = std::move(config);
  return true;
}

}  // namespace

void register_chart_window() {
  register_chart_properties_dialog();
  register_indicator_dialogs();
  WindowKind kind;
  kind.kind = kChartWindowKind;
  kind.command = cmd::chart;
  kind.single = false;
  kind.caption = cp1251("График");
  kind.prepare = choose_instrument;
  kind.create = [] { return std::make_unique<PriceChartWnd>(std::exchange(pending_config(), ChartConfig{})); };
  register_window_kind(std::move(kind));
}

}  // namespace kelda::terminal
