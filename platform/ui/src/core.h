// Internal state of the user-interface layer: the window table, the queue,
// timers, input state and the running session. Everything here is touched on
// the user-interface thread only, except what is marked "any thread" (the
// window table's look-ups under table_mutex and the queue under queue_mutex).
#pragma once

#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/sync.h"
#include "ui/backend.h"
#include "ui/dialog.h"
#include "ui/gdi.h"
#include "ui/loop.h"
#include "ui/menu.h"
#include "ui/screen.h"
#include "ui/services.h"
#include "ui/window.h"

namespace kelda::ui::detail {

struct WindowData;

// What a class does with its windows' messages (the standard controls and the
// layer's own windows). Unhandled messages go to def_proc().
class Behavior {
 public:
  virtual ~Behavior();
  virtual LRESULT handle(WindowData& w, UINT msg, WPARAM wparam, LPARAM lparam);
};

// A scroll bar's state: of a window (its non-client bars) or of a control.
struct ScrollBarState {
  int min = 0;
  int max = 100;
  UINT page = 0;
  int pos = 0;
  int track_pos = 0;
  bool shown = false;   // window bars: shown when the range needs it or forced
  bool tracking = false;
  int pressed_part = 0;  // 0 none, 1 line up, 2 line down, 3 page up, 4 page down, 5 thumb
  int drag_offset = 0;
};

struct WindowData {
  Hwnd handle;
  uint32_t slot = 0;
  Window* object = nullptr;              // program object bound at creation or attached
  std::unique_ptr<Window> owned_object;  // objects of factory classes
  std::unique_ptr<Behavior> behavior;    // class behaviour
  WindowProcedure class_proc;            // procedure classes
  WindowProcedure outer;                 // outermost procedure (subclassing)
  WindowData* parent = nullptr;
  WindowData* owner = nullptr;
  std::vector<WindowData*> children;  // top of the z-order first
  std::u16string class_name;
  UINT class_style = 0;
  const Brush* background = nullptr;
  std::u16string text;
  DWORD style = 0;
  DWORD ex_style = 0;
  UINT id = 0;
  intptr_t user_data = 0;
  intptr_t msg_result = 0;
  RECT rect{};  // window rectangle in the parent's client coordinates (top-level: screen)
  const Font* font = nullptr;
  Hmenu menu;
  Region update;  // client coordinates
  bool erase = false;
  bool nc_dirty = true;
  bool redraw_off = false;  // wm::set_redraw FALSE
  ScrollBarState hbar, vbar;
  bool destroying = false;
  bool gone = false;  // handle released
  int depth = 0;      // messages being handled
  bool full_screen = false;
  Hwnd menu_bar;
  Hwnd last_focus;  // top-levels: focus to give back on activation
  const Bitmap* icons[2] = {nullptr, nullptr};  // wm::set_icon: small, big (not owned)
  const DialogTemplate* dialog_template = nullptr;
  std::shared_ptr<DialogTemplate> owned_template;
  bool is_dialog = false;
  bool dialog_ended = false;
  intptr_t dialog_result = 0;
  DialogProcedure dialog_proc;
};

struct Timer {
  Hwnd hwnd;
  uintptr_t id = 0;
  UINT interval = 0;
  uint64_t due = 0;
  TimerProc proc = nullptr;
};

struct HotKey {
  Hwnd hwnd;
  int id = 0;
  UINT modifiers = 0;
  UINT key = 0;
};

struct WorkItem {
  std::function<void()> fn;
  platform::Event done{platform::Event::Reset::manual};
  std::atomic<bool> ran{false};
};

struct QueueItem {
  enum class Kind : uint8_t { window_message, thread_message, work, quit, deletion };
  Kind kind = Kind::window_message;
  Hwnd hwnd;
  UINT msg = 0;
  WPARAM wparam = 0;
  LPARAM lparam = 0;
  PayloadRelease release = nullptr;
  std::shared_ptr<WorkItem> work;
  int exit_code = 0;
  std::unique_ptr<Window> doomed;  // deletion: a window object handed over by another thread
};

struct InputItem {
  bool is_mouse = true;
  MouseInput mouse;
  KeyInput key;
};

struct Core {
  Core(std::unique_ptr<Backend> b, ScreenConfig screen);
  ~Core();

  std::unique_ptr<Backend> backend;
  platform::ThreadId thread = 0;
  std::thread::id std_thread;

  // --- window table (look-ups from other threads under table_mutex) ---
  mutable std::mutex table_mutex;
  std::vector<std::unique_ptr<WindowData>> slots;
  std::vector<uint32_t> generations;
  std::vector<uint32_t> free_slots;
  std::vector<WindowData*> top_levels;  // top first
  std::vector<std::unique_ptr<WindowData>> graveyard;  // released while busy

  // --- queue (any thread, under queue_mutex) ---
  std::mutex queue_mutex;
  std::deque<QueueItem> queue;
  bool closing = false;
  platform::Event wake_event{platform::Event::Reset::automatic};

  std::deque<InputItem> input;
  std::map<std::pair<uintptr_t, uintptr_t>, Timer> timers;
  uintptr_t next_free_timer_id = 0x7F00;
  std::vector<HotKey> hot_keys;
  std::vector<HotKey> hot_keys_down;  // pressed as hot keys: their release is theirs too
  std::vector<std::pair<uint64_t, MessageFilter>> filters;
  uint64_t next_filter_id = 1;

  // --- loop state ---
  bool quit_pending = false;
  int quit_code = 0;
  int loop_depth = 0;

  // --- input state ---
  Hwnd focus, active, capture;
  bool stylus_down = false;
  Hwnd last_down_hwnd;
  uint64_t last_down_time = 0;
  POINT last_down_pt{};
  bool last_was_dblclk = false;
  POINT cursor{};
  Message current;  // message being handled (for get_message_pos/time)
  std::vector<UINT> keys_down;
  int beeps = 0;
  bool input_panel = false;
  int cursor_shape = 32512;

  // --- screen ---
  ScreenInfo screen;
  Hwnd desktop, task_bar, sip_button;

  std::shared_ptr<Services> services;

  // Set while testing::record_paint() captures a paint (client coordinates).
  std::shared_ptr<std::vector<CanvasRecord>> paint_capture;
  // Screen log of the headless backend (null with other backends).
  std::vector<CanvasRecord>* screen_log = nullptr;

  uint64_t now() { return backend->now_ms(); }
};

extern Core* g_core;

// --- window table ---
WindowData* lookup(Hwnd h);      // user-interface thread
bool valid_any_thread(Hwnd h);   // any thread
WindowData* must(Hwnd h);        // sets the last error when null
WindowData* allocate_window();
// Retires the handle; answers the window's data for the caller to free once
// it is done with it (null while a message to the window is being handled:
// the data waits in the graveyard until that call returns).
std::unique_ptr<WindowData> release_handle(WindowData* w);

// --- dispatch ---
LRESULT call_window(WindowData* w, UINT msg, WPARAM wp, LPARAM lp);
LRESULT call_class(WindowData* w, UINT msg, WPARAM wp, LPARAM lp);
LRESULT def_proc(WindowData& w, UINT msg, WPARAM wp, LPARAM lp);
LRESULT def_dialog_proc(WindowData& w, UINT msg, WPARAM wp, LPARAM lp);
void push_queue(QueueItem&& item);  // any thread
void wake();                         // any thread
bool dispatch_one();
void dispatch_queue_item(QueueItem& item);
// Filters, pre-translation and dialog navigation; true when consumed.
bool pre_dispatch(Message& msg);
// Guards g_core for threads other than the user-interface thread.
extern std::mutex g_session_mutex;
extern std::atomic<std::thread::id> g_ui_thread;
bool is_ui_thread();

// Runs f on the user-interface thread (directly when already there); a
// default value when there is none.
template <typename F>
auto on_ui(F&& f) -> decltype(f()) {
  using R = decltype(f());
  if (is_ui_thread()) return f();
  R result{};
  if (!run_on_ui_thread([&] { result = f(); })) return R{};
  return result;
}

// --- windows ---
WindowData* create_window_data(const CreateParams& p, Window* object,
                               std::unique_ptr<Window> owned, bool& failed);
void destroy(WindowData* w);
// Destroys the window bound to a program object that is going away (from its
// destructor, on any thread: the window must not outlive the object).
void destroy_for_object(const Window* object, Hwnd h);
// Deletes a program object on the user-interface thread (see
// delete_on_ui_thread()); with a call into it under way, its window goes now
// and the object once that call has returned.
void delete_window_object(std::unique_ptr<Window> object);
RECT screen_rect(const WindowData* w);         // window rectangle on the screen
RECT client_screen_rect(const WindowData* w);  // client area on the screen
RECT client_rect_in_window(const WindowData* w);  // client area in window coordinates
RECT client_area(const WindowData* w);  // client area in client coordinates: (0, 0, width, height)
bool visible_chain(const WindowData* w);
bool enabled_chain(const WindowData* w);
WindowData* top_level_of(WindowData* w);
// Window rectangles keep their coordinates within +-kCoordLimit, so that
// sizes and the offsets of nested windows add up without overflowing.
inline constexpr int64_t kCoordLimit = int64_t{1} << 24;
RECT clamp_window_rect(int64_t left, int64_t top, int64_t right, int64_t bottom);
inline RECT clamp_window_rect(const RECT& r) { return clamp_window_rect(r.left, r.top, r.right, r.bottom); }
void move_window_impl(WindowData* w, RECT r, bool repaint);
void show_impl(WindowData* w, int command);
void insert_top_level(WindowData* w);

// --- painting ---
void invalidate(WindowData* w, const RECT* client_rect, bool erase);
void invalidate_all(WindowData* w, bool erase);  // with children
void expose_screen(const RECT& r);  // what lay under `r` must be painted again
Region visible_region(const WindowData* w, bool client);  // screen coordinates
bool paint_pending();
void paint_window(WindowData* w);
void paint_nonclient(WindowData* w);
std::unique_ptr<Canvas> open_screen_canvas(const WindowData* w, bool client, const Region* limit);
void present(const RECT& r);

// --- input ---
void route_mouse(const MouseInput& in);
void route_key(const KeyInput& in);
void set_focus_impl(WindowData* w);
void activate(WindowData* top, bool by_click);
bool nc_mouse(WindowData* w, UINT msg, POINT screen);  // non-client handling

// --- timers ---
uint64_t next_timer_due();
bool fire_due_timer();
void kill_window_timers(Hwnd h);

// --- scroll bars ---
int scroll_bar_width();
void paint_scroll_bar(Canvas& c, const RECT& r, const ScrollBarState& s, bool vertical, bool enabled);
// The filled triangle of an arrow button, centred in `r`, `size` from its
// centre to its corners, pointing up (0), down (1), left (2) or right (3),
// in the button text colour (grey when disabled).
void draw_arrow_glyph(Canvas& c, const RECT& r, int size, int direction, bool enabled);
// Hit part of a scroll bar at a point of its rectangle (1..5, 0 none).
int scroll_bar_hit(const RECT& r, const ScrollBarState& s, bool vertical, POINT p);
int scroll_bar_thumb_pos(const RECT& r, const ScrollBarState& s, bool vertical, int coord);
int clamp_scroll_pos(const ScrollBarState& s, int pos);

// --- text helpers ---
// Joins pieces of text (each appended, which keeps some compilers' overlap
// warnings about `"literal" + string` quiet).
template <typename... Parts>
std::string concat(const Parts&... parts) {
  std::string out;
  (out.append(std::string_view(parts)), ...);
  return out;
}
std::u16string to_lower(std::u16string_view s);
bool equal_ignore_case(std::u16string_view a, std::u16string_view b);
int compare_ignore_case(std::u16string_view a, std::u16string_view b);
std::u16string from_utf8(std::string_view s);
std::string to_utf8(std::u16string_view s);

// --- classes ---
struct ClassEntry {
  WindowClass cls;
  std::function<std::unique_ptr<Behavior>()> behavior;  // the layer's classes
};
const ClassEntry* find_class(std::u16string_view name);
void register_builtin_classes();
void register_builtin_class(std::u16string name, UINT style, const Brush* bg,
                            std::function<std::unique_ptr<Behavior>()> make);
// Registers one of the layer's classes whose windows each get a B.
template <typename B>
void register_behavior_class(std::u16string_view name, UINT style = 0) {
  register_builtin_class(std::u16string(name), style, nullptr, [] { return std::make_unique<B>(); });
}

// --- notifications ---
void notify_parent_command(WindowData& w, UINT code);
LRESULT notify_parent(WindowData& w, NotifyHeader& hdr);
// Asks the parent for colours (wm::ctl_color_*); answers the background brush to use.
const Brush* control_colors(WindowData& w, UINT msg, Canvas& c);

// --- misc ---
const Font& window_font(const WindowData& w);
void set_last_error(uint32_t code);
int scaled(int v);  // v x dpi / 96

}  // namespace kelda::ui::detail
