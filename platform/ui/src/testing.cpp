// The headless backend, the headless session of tests and scripted input.
#include "ui/testing.h"

#include <chrono>

#include "core.h"
#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/recording_canvas.h"

namespace kelda::ui {

using namespace detail;

namespace {
class HeadlessBackend final : public Backend {
 public:
  explicit HeadlessBackend(bool manual) : manual_(manual) {}
  void wake() override {}
  void wait(uint64_t deadline_ms) override {
    if (manual_ || deadline_ms == UINT64_MAX) {
      platform::wait_one(g_core->wake_event, platform::kInfinite);
      return;
    }
    uint64_t now = now_ms();
    uint32_t ms = deadline_ms > now ? static_cast<uint32_t>(std::min<uint64_t>(deadline_ms - now, 0x7FFFFFFF)) : 0;
    platform::wait_one(g_core->wake_event, ms);
  }
  void process_events() override {}
  uint64_t now_ms() override {
    if (manual_) return manual_now_;
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  }
  FontEngine& fonts() override { return headless_font_engine(); }
  std::unique_ptr<Canvas> screen_canvas() override {
    auto c = std::make_unique<RecordingCanvas>(log_, width_, height_);
    return c;
  }
  void present(const RECT&) override {}
  void screen_resized(int width, int height) override {
    width_ = width;
    height_ = height;
  }
  std::unique_ptr<Canvas> create_image_canvas(int width, int height) override {
    return std::make_unique<RecordingCanvas>(width, height);
  }
  uint32_t pump_slice_ms() override { return platform::kInfinite; }
  bool manual_clock() const override { return manual_; }

  void advance(uint64_t ms) { manual_now_ += ms; }
  std::shared_ptr<std::vector<CanvasRecord>> log_ = std::make_shared<std::vector<CanvasRecord>>();

 private:
  bool manual_;
  uint64_t manual_now_ = 1000000;
  int width_ = 240;
  int height_ = 320;
};

HeadlessBackend* headless() { return g_core ? dynamic_cast<HeadlessBackend*>(g_core->backend.get()) : nullptr; }

// Each scripted gesture starts well after the one before, so two taps are
// never taken for a double tap unless a test asks for one.
uint64_t gesture_time() {
  static uint64_t last = 0;
  uint64_t t = std::max(now_ms(), last + 1000);
  last = t + 2000;
  return t;
}

POINT center_of(Hwnd h) {
  RECT c = get_client_rect(h);
  return POINT{c.right / 2, c.bottom / 2};
}

void push_mouse(MouseInput::Kind kind, POINT screen, uint64_t time, WPARAM keys = 0) {
  MouseInput m;
  m.kind = kind;
  m.screen = screen;
  m.time_ms = time;
  m.keys = keys;
  queue_mouse_input(m);
}

char16_t key_char(UINT vk) {
  switch (vk) {
    case vk::enter: return u'\r';
    case vk::back: return 0x08;
    case vk::escape: return 0x1B;
    case vk::tab: return u'\t';
    case vk::space: return u' ';
    default: return 0;
  }
}
}  // namespace

HeadlessUi::HeadlessUi(ScreenConfig screen, bool manual_clock)
    : session_(std::make_unique<Session>(std::make_unique<HeadlessBackend>(manual_clock), screen)),
      services_(std::make_shared<ScriptedServices>()) {
  set_services(services_);
  process_pending();
}

HeadlessUi::~HeadlessUi() = default;

void HeadlessUi::advance(uint64_t ms) { scripted::advance_clock(ms); }

const std::vector<CanvasRecord>& HeadlessUi::screen_records() const {
  static const std::vector<CanvasRecord> none;
  HeadlessBackend* b = headless();
  return b ? *b->log_ : none;
}

void HeadlessUi::clear_screen_records() {
  if (HeadlessBackend* b = headless()) b->log_->clear();
}

namespace scripted {

void advance_clock(uint64_t ms) {
  HeadlessBackend* b = headless();
  if (b == nullptr) return;
  // Step by the shortest timer so every timer that falls due fires as often
  // as it would have.
  uint64_t target = b->now_ms() + ms;
  while (true) {
    process_pending();
    uint64_t due = next_timer_due();
    if (due > target || due == UINT64_MAX) break;
    uint64_t now = b->now_ms();
    if (due > now) b->advance(due - now);
  }
  uint64_t now = b->now_ms();
  if (target > now) b->advance(target - now);
  process_pending();
}

void tap_at(Hwnd hwnd, POINT client, WPARAM keys) {
  POINT s = client_to_screen(hwnd, client);
  uint64_t t = gesture_time();
  push_mouse(MouseInput::Kind::down, s, t, keys);
  push_mouse(MouseInput::Kind::up, s, t + 50, keys);
  process_pending();
}

void tap(Hwnd hwnd) { tap_at(hwnd, center_of(hwnd)); }

void double_tap_at(Hwnd hwnd, POINT client) {
  POINT s = client_to_screen(hwnd, client);
  uint64_t t = gesture_time();
  push_mouse(MouseInput::Kind::down, s, t);
  push_mouse(MouseInput::Kind::up, s, t + 40);
  push_mouse(MouseInput::Kind::down, s, t + 120);
  push_mouse(MouseInput::Kind::up, s, t + 160);
  process_pending();
}

void tap_and_hold_at(Hwnd hwnd, POINT client, uint32_t hold_ms) {
  POINT s = client_to_screen(hwnd, client);
  uint64_t t = gesture_time();
  push_mouse(MouseInput::Kind::down, s, t);
  push_mouse(MouseInput::Kind::up, s, t + hold_ms);
  process_pending();
}

void drag(Hwnd hwnd, const std::vector<POINT>& points, WPARAM keys) {
  if (points.empty()) return;
  uint64_t t = gesture_time();
  push_mouse(MouseInput::Kind::down, client_to_screen(hwnd, points.front()), t, keys);
  for (size_t i = 1; i < points.size(); ++i)
    push_mouse(MouseInput::Kind::move, client_to_screen(hwnd, points[i]), t + 20 * i, keys);
  push_mouse(MouseInput::Kind::up, client_to_screen(hwnd, points.back()), t + 20 * points.size(), keys);
  process_pending();
}

void wheel_at(Hwnd hwnd, POINT client, int delta, WPARAM keys) {
  MouseInput m;
  m.kind = MouseInput::Kind::wheel;
  m.screen = client_to_screen(hwnd, client);
  m.time_ms = gesture_time();
  m.keys = keys;
  m.delta = delta;
  queue_mouse_input(m);
  process_pending();
}

void key_down(UINT vk, bool repeat) {
  KeyInput k;
  k.down = true;
  k.vk = vk;
  k.ch = key_char(vk);
  k.repeat = repeat;
  k.time_ms = now_ms();
  queue_key_input(k);
  process_pending();
}

void key_up(UINT vk) {
  KeyInput k;
  k.down = false;
  k.vk = vk;
  k.time_ms = now_ms();
  queue_key_input(k);
  process_pending();
}

void press_key(UINT vk, bool shift, bool control) {
  auto send = [](bool down, UINT v, char16_t ch, bool s, bool c) {
    KeyInput k;
    k.down = down;
    k.vk = v;
    k.ch = ch;
    k.shift = s;
    k.control = c;
    k.time_ms = now_ms();
    queue_key_input(k);
  };
  if (shift) send(true, vk::shift, 0, false, false);
  if (control) send(true, vk::control, 0, shift, false);
  send(true, vk, key_char(vk), shift, control);
  send(false, vk, 0, shift, control);
  if (control) send(false, vk::control, 0, shift, false);
  if (shift) send(false, vk::shift, 0, false, false);
  process_pending();
}

void type_text(std::u16string_view text) {
  for (char16_t ch : text) {
    KeyInput k;
    k.down = true;
    k.ch = ch;
    // Letters, digits and the control characters are their own keys; any
    // other character comes from a key of text input (0xE5), so that "." or
    // "%" is not taken for Delete or Left, whose key codes their codes equal.
    const bool own_key = ch <= u' ' || (ch >= u'0' && ch <= u'9') || (ch >= u'A' && ch <= u'Z');
    k.vk = (ch >= u'a' && ch <= u'z') ? ch - 32 : (own_key ? ch : 0xE5);
    if (ch == u'\r' || ch == u'\n') {
      k.vk = vk::enter;
      k.ch = u'\r';
    }
    k.time_ms = now_ms();
    queue_key_input(k);
    k.down = false;
    k.ch = 0;
    queue_key_input(k);
  }
  process_pending();
}

void set_text_by_typing(Hwnd edit, std::u16string_view text) {
  Hwnd target = edit;
  if (equal_ignore_case(get_class_name(edit), class_name::combo_box)) {
    Hwnd inner = get_window(edit, gw::child);
    if (inner) target = inner;
  }
  set_focus(target);
  process_pending();
  send_message(target, em::set_sel, 0, -1);
  if (text.empty()) {
    press_key(vk::del);
  } else {
    type_text(text);
  }
}

bool choose_index(Hwnd control, int index) {
  std::u16string cls = get_class_name(control);
  if (equal_ignore_case(cls, class_name::combo_box)) {
    if (index < 0 || index >= ComboBoxControl{control}.count()) return false;
    if (!ComboBoxControl{control}.dropped()) {
      RECT c = get_client_rect(control);
      tap_at(control, POINT{c.right - 3, c.bottom / 2});  // the arrow button
    }
    Hwnd list = Hwnd::from(send_message(control, cb::get_combobox_info));
    if (!list) return false;
    send_message(list, lb::set_top_index, static_cast<WPARAM>(index));
    RECT r{};
    send_message(list, lb::get_item_rect, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
    tap_at(list, POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    return ComboBoxControl{control}.cur_sel() == index;
  }
  if (equal_ignore_case(cls, class_name::list_box)) {
    if (index < 0 || index >= ListBoxControl{control}.count()) return false;
    send_message(control, lb::set_top_index, static_cast<WPARAM>(index));
    RECT r{};
    send_message(control, lb::get_item_rect, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
    tap_at(control, POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    return true;
  }
  return false;
}

bool choose_item(Hwnd control, std::u16string_view text) {
  std::u16string cls = get_class_name(control);
  int index = -1;
  if (equal_ignore_case(cls, class_name::combo_box)) index = ComboBoxControl{control}.find_exact(text);
  if (equal_ignore_case(cls, class_name::list_box)) index = ListBoxControl{control}.find_exact(text);
  return index >= 0 && choose_index(control, index);
}

std::vector<CanvasRecord> record_paint(Hwnd hwnd) {
  WindowData* w = lookup(hwnd);
  if (w == nullptr) return {};
  auto log = std::make_shared<std::vector<CanvasRecord>>();
  auto saved = g_core->paint_capture;
  g_core->paint_capture = log;
  bool nc = w->nc_dirty;
  w->nc_dirty = false;
  invalidate(w, nullptr, true);
  paint_window(w);
  if ((w = lookup(hwnd)) != nullptr) w->nc_dirty = nc;
  g_core->paint_capture = saved;
  return *log;
}

}  // namespace scripted

// --- DialogDriver -----------------------------------------------------------------------------------
Hwnd DialogDriver::item(int id) const { return get_dlg_item(dialog_, id); }
std::u16string DialogDriver::text(int id) const { return get_window_text(item(id)); }
void DialogDriver::set_text(int id, std::u16string_view text) const { scripted::set_text_by_typing(item(id), text); }
void DialogDriver::click(int id) const {
  Hwnd h = item(id);
  if (h) scripted::tap(h);
}
bool DialogDriver::choose(int id, std::u16string_view item_text) const {
  return scripted::choose_item(item(id), item_text);
}
bool DialogDriver::choose_index(int id, int index) const { return scripted::choose_index(item(id), index); }
int DialogDriver::checked(int id) const { return static_cast<int>(send_message(item(id), bm::get_check)); }
bool DialogDriver::enabled(int id) const { return is_window_enabled(item(id)); }
bool DialogDriver::open() const {
  WindowData* w = lookup(dialog_);
  return w != nullptr && !w->dialog_ended;
}
void DialogDriver::press_key(UINT vk) const { scripted::press_key(vk); }
void DialogDriver::end(intptr_t result) const { end_dialog(dialog_, result); }

}  // namespace kelda::ui
