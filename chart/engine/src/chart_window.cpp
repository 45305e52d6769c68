// The chart window: the off-screen picture, paint, size and stylus routing.
#include <algorithm>

#include "chart/chart.h"
#include "chart/chart_window.h"
#include "ui/controls.h"
#include "chart/controller.h"
#include "chart/data.h"
#include "chart/graph.h"
#include "chart/pane.h"
#include "ui/screen.h"

namespace kelda::chart {

namespace {

constexpr std::u16string_view kClassName = u"KeldaChartWindow";

int32_t lowSigned(LPARAM l) { return static_cast<int16_t>(static_cast<uint16_t>(l & 0xFFFF)); }
int32_t highSigned(LPARAM l) { return static_cast<int16_t>(static_cast<uint16_t>((l >> 16) & 0xFFFF)); }

bool isMouseMessage(UINT msg) { return msg >= ui::wm::mouse_move && msg <= ui::wm::lbutton_dblclk; }

}  // namespace

CChartWnd::CChartWnd(CChart& chart, CChartController& controller) : chart_(&chart), controller_(&controller) {
  chart.view().scrollBarThickness = scrollBarThickness();
}

CChartWnd::~CChartWnd() {
  toolTip_.reset();
  scrollBar_.reset();
  backBuffer_.reset();
  destroy();
}

bool CChartWnd::create(ui::Hwnd parent, const RECT& rect) {
  if (!ui::is_class_registered(kClassName)) {
    ui::WindowClass cls;
    cls.name = std::u16string(kClassName);
    cls.style = ui::cs::dblclks;
    ui::register_class(std::move(cls));
  }
  ui::CreateParams p;
  p.class_name = kClassName;
  p.text = u"Chart Window";
  p.style = ui::ws::child | ui::ws::visible;
  p.rect = rect;
  p.parent = parent;
  p.id = kControlId;
  if (!Window::create(p)) return false;
  invalidateChart(true);
  return true;
}

void CChartWnd::invalidateChart(bool relayout) {
  stale_ = true;
  relayout_ = relayout;
  if (hwnd()) ui::invalidate_rect(hwnd(), nullptr, true);
}

void CChartWnd::invalidateBackBuffer() {
  relayout_ = false;
  stale_ = true;
  if (hwnd()) ui::invalidate_rect(hwnd(), nullptr, false);
}

void CChartWnd::invalidateOverlay() {
  if (hwnd()) ui::invalidate_rect(hwnd(), nullptr, false);
}

void CChartWnd::paintTo(ui::Canvas& canvas) {
  const RECT client = client_rect();
  if (relayout_) chart_->layoutChart(&canvas, &client);
  relayout_ = false;
  const int w = ui::width_of(client);
  const int h = ui::height_of(client);
  if (w <= 0 || h <= 0) return;
  if (stale_ || backBuffer_ == nullptr) {
    const bool fits = backBuffer_ != nullptr && backBuffer_->image() != nullptr &&
                      backBuffer_->image()->width() == w && backBuffer_->image()->height() == h;
    if (!fits) backBuffer_ = canvas.create_compatible(w, h);
    chart_->renderChart(*backBuffer_, client);
    ++renders_;
    stale_ = false;
  }
  RECT target = client;
  if (chart_->scroll().shown) target.bottom -= chart_->view().scrollBarThickness;
  ui::Region clip(target);
  for (const auto& pane : chart_->panes()) {
    if (pane->isPriceZoomed()) clip.subtract(pane->scrollBarRect());
  }
  canvas.select_clip_region(&clip);
  canvas.bit_blt(target.left, target.top, ui::width_of(target), ui::height_of(target), *backBuffer_, 0, 0,
                 ui::rop::src_copy);
  controller_->drawTrendOverlay(canvas);
  controller_->drawCrosshair(canvas);
  canvas.select_clip_region(nullptr);
  controller_->reportPendingCursor();
}

void CChartWnd::syncTimeScrollBar() {
  if (scrollBar_ == nullptr) return;
  const ScrollState& s = chart_->scroll();
  if (s.shown) {
    ui::ScrollInfo info;
    info.min = s.minimum;
    info.max = s.maximum;
    info.page = static_cast<UINT>(std::max(s.page, 0));
    info.pos = s.position;
    ui::set_scroll_info(scrollBar_->hwnd(), ui::sb::ctl, info, true);
  }
  ui::show_window(scrollBar_->hwnd(), s.shown ? ui::sw::show : ui::sw::hide);
}

void CChartWnd::readTimeScrollBar() {
  if (scrollBar_ == nullptr || !chart_->scroll().shown) return;
  ui::ScrollInfo info;
  if (ui::get_scroll_info(scrollBar_->hwnd(), ui::sb::ctl, info)) chart_->setScrollFromBar(info.pos);
}

LRESULT CChartWnd::onCreate() {
  const RECT client = client_rect();
  const int thickness = chart_->view().scrollBarThickness;
  auto bar = std::make_unique<CMyScrollBar>(*chart_);
  if (bar->create(hwnd(), ui::sbs::horz | ui::sbs::bottom_align,
                  RECT{client.left, client.bottom - thickness, client.right, client.bottom}, kScrollBarId)) {
    scrollBar_ = std::move(bar);
  }
  auto tip = std::make_unique<CToolTipWnd>(*chart_);
  if (tip->create(hwnd())) toolTip_ = std::move(tip);
  return 0;
}

void CChartWnd::onSize() {
  const RECT client = client_rect();
  const int thickness = chart_->view().scrollBarThickness;
  if (scrollBar_ != nullptr) {
    ui::move_window(scrollBar_->hwnd(), client.left, client.bottom - thickness, ui::width_of(client), thickness, true);
  }
  std::unique_ptr<ui::Canvas> canvas = ui::get_dc(hwnd());
  chart_->layoutChart(canvas.get(), &client);
  invalidateBackBuffer();
}

void CChartWnd::onDoubleTap(WPARAM wparam, LPARAM lparam) {
  VizorHitInfo hit{};
  chart_->hitTest(POINT{lowSigned(lparam), highSigned(lparam)}, &hit);
  if (hit.seriesId > 0) hit.seriesId = chart_->outermostOwner(hit.seriesId);
  chart_->notify(hit.inChartOnly != 0 ? 2 : 0, ui::wm::lbutton_dblclk, wparam, lparam, &hit, sizeof(hit));
}

void CChartWnd::onTap(LPARAM lparam) {
  if (toolTipShown_) {
    // The capture change that follows hides the tip.
    ui::release_capture();
    return;
  }
  if (!controller_->idle() || toolTip_ == nullptr) return;
  const POINT point{lowSigned(lparam), highSigned(lparam)};
  for (const CData* series : chart_->seriesList()) {
    const CGraph* graph = series->getGraph();
    if (graph == nullptr) continue;
    std::u16string text;
    RECT item{};
    if (!graph->formatCandleTip(point, nullptr, &text, &item, 1, 2)) continue;
    toolTipItem_ = item;
    toolTip_->show(text.c_str(), point, true);
    ui::set_capture(hwnd());
    toolTipShown_ = true;
    return;
  }
}

void CChartWnd::hideToolTip() {
  if (!toolTipShown_) return;
  if (toolTip_ != nullptr) toolTip_->show(nullptr, POINT{}, false);
  toolTipShown_ = false;
}

LRESULT CChartWnd::window_proc(UINT msg, WPARAM wparam, LPARAM lparam) {
  // A hold comes back as wm::context_menu: the trend tools may take it.
  if (isMouseMessage(msg) || msg == ui::wm::context_menu) {
    for (const auto& pane : chart_->panes()) {
      if (pane->onAxisMouse(msg, wparam, lparam)) return 1;
    }
    if (controller_->onMouse(msg, wparam, lparam) != 0) return 1;
  }
  switch (msg) {
    case ui::wm::create: {
      const LRESULT r = default_proc(msg, wparam, lparam);
      return r == -1 ? -1 : onCreate();
    }
    case ui::wm::paint: {
      ui::PaintSession paint(hwnd());
      paintTo(paint.canvas());
      return 0;
    }
    case ui::wm::size:
      default_proc(msg, wparam, lparam);
      onSize();
      return 0;
    case ui::wm::lbutton_dblclk:
      onDoubleTap(wparam, lparam);
      break;
    case ui::wm::lbutton_up:
      onTap(lparam);
      break;
    case ui::wm::lbutton_down:
      if (ui::recognize_gesture(hwnd(), POINT{lowSigned(lparam), highSigned(lparam)}, 0) == ui::gn::context_menu) {
        return 0;
      }
      break;
    case ui::wm::capture_changed:
      hideToolTip();
      break;
    default:
      break;
  }
  return default_proc(msg, wparam, lparam);
}

}  // namespace kelda::chart
