// The session, the user-interface thread's queue and its loops.
#include <algorithm>
#include <optional>
#include <stdexcept>

#include "core.h"
#include "platform/last_error.h"
#include "platform/time.h"

namespace kelda::ui::detail {

void create_shell_windows();  // shell.cpp

Core::Core(std::unique_ptr<Backend> b, ScreenConfig cfg) : backend(std::move(b)) {
  thread = platform::current_thread_id();
  std_thread = std::this_thread::get_id();
  screen.width = cfg.width;
  screen.height = cfg.height;
  int dpi = cfg.dpi > 0 ? cfg.dpi : (std::max(cfg.width, cfg.height) >= 640 ? 192 : 96);
  screen.dpi_x = screen.dpi_y = dpi;
}

Core::~Core() = default;

void wake() {
  Core* c = g_core;
  c->wake_event.set();
  c->backend->wake();
}

void push_queue(QueueItem&& item) {
  Core& c = *g_core;
  {
    std::lock_guard lock(c.queue_mutex);
    c.queue.push_back(std::move(item));
  }
  wake();
}

namespace {
constexpr size_t kQueueLimit = 100000;

// Runs a queued work item; its asker is waiting for `done` in any case.
void run_work(WorkItem& work) {
  try {
    work.fn();
    work.ran = true;
  } catch (...) {
    work.ran = false;  // the asker sees "cancelled"
  }
  work.done.set();
}

void release_item(QueueItem& item) {
  if ((item.kind == QueueItem::Kind::window_message || item.kind == QueueItem::Kind::thread_message) &&
      item.release != nullptr) {
    item.release(item.wparam, item.lparam);
  }
  if (item.kind == QueueItem::Kind::work && item.work) item.work->done.set();  // not ran: cancelled
  item.doomed.reset();  // a handed-over object: its window went with the session's
}

// Offers a message to the pre-translation hooks of the target and its ancestors.
bool pre_translate_chain(Message& m) {
  WindowData* w = lookup(m.hwnd);
  if (w == nullptr) {
    // Thread messages: the active top-level window.
    w = lookup(g_core->active);
  }
  while (w != nullptr) {
    Hwnd h = w->handle;
    if (w->object != nullptr && w->object->pre_translate_message(m)) return true;
    w = lookup(h);  // the hook may have destroyed it
    if (w == nullptr) break;
    w = w->parent;
  }
  return false;
}

// The dialog that keyboard navigation applies to: the nearest ancestor dialog
// that is not a page inside another dialog, or the innermost page.
WindowData* navigation_dialog(WindowData* w) {
  WindowData* found = nullptr;
  for (; w != nullptr; w = w->parent) {
    if (w->is_dialog) {
      found = w;
      if (!(w->style & ws::child)) break;
    }
  }
  return found;
}
}  // namespace

bool pre_dispatch(Message& m) {
  Core& c = *g_core;
  // Newest filter first; a filter may remove itself while running.
  for (size_t i = c.filters.size(); i-- > 0;) {
    if (i >= c.filters.size()) continue;
    auto filter = c.filters[i].second;
    if (filter(m)) return true;
  }
  if (pre_translate_chain(m)) return true;
  if (m.message >= wm::key_down && m.message <= wm::sys_key_up) {
    WindowData* d = navigation_dialog(lookup(m.hwnd));
    if (d != nullptr && is_dialog_message(d->handle, m)) return true;
  }
  return false;
}

void dispatch_queue_item(QueueItem& item) {
  Core& c = *g_core;
  switch (item.kind) {
    case QueueItem::Kind::window_message: {
      WindowData* w = lookup(item.hwnd);
      if (w == nullptr) {
        release_item(item);
        return;
      }
      Message m{item.hwnd, item.msg, item.wparam, item.lparam,
                static_cast<DWORD>(c.now()), c.cursor};
      Message saved = c.current;
      c.current = m;
      if (!pre_dispatch(m)) {
        w = lookup(m.hwnd);
        if (w != nullptr) {
          call_window(w, m.message, m.wparam, m.lparam);
        } else {
          release_item(item);  // the window went while the message was being taken
        }
      }
      c.current = saved;
      return;
    }
    case QueueItem::Kind::thread_message: {
      Message m{Hwnd{}, item.msg, item.wparam, item.lparam, static_cast<DWORD>(c.now()), c.cursor};
      Message saved = c.current;
      c.current = m;
      bool taken = pre_dispatch(m);
      c.current = saved;
      if (!taken) release_item(item);
      return;
    }
    case QueueItem::Kind::work:
      if (item.work) run_work(*item.work);
      return;
    case QueueItem::Kind::deletion:
      if (item.doomed) delete_window_object(std::move(item.doomed));
      return;
    case QueueItem::Kind::quit:
      c.quit_pending = true;
      c.quit_code = item.exit_code;
      return;
  }
}

bool dispatch_one() {
  Core& c = *g_core;
  QueueItem item;
  bool have = false;
  {
    std::lock_guard lock(c.queue_mutex);
    if (!c.queue.empty()) {
      item = std::move(c.queue.front());
      c.queue.pop_front();
      have = true;
    }
  }
  if (have) {
    dispatch_queue_item(item);
    return true;
  }
  if (!c.input.empty()) {
    InputItem in = c.input.front();
    c.input.pop_front();
    if (in.is_mouse) {
      route_mouse(in.mouse);
    } else {
      route_key(in.key);
    }
    return true;
  }
  if (paint_pending()) return true;
  if (fire_due_timer()) return true;
  return false;
}

}  // namespace kelda::ui::detail

namespace kelda::ui {

using namespace detail;

namespace {
bool forward_platform_post(platform::ThreadId thread, uint32_t msg, WPARAM wparam, LPARAM lparam);
}  // namespace

Backend::~Backend() = default;

Session::Session(std::unique_ptr<Backend> backend, ScreenConfig screen) {
  std::lock_guard lock(g_session_mutex);
  if (g_core != nullptr) throw std::logic_error("a user-interface session is already running");
  register_builtin_classes();
  g_core = new Core(std::move(backend), screen);
  g_core->screen.work_area = RECT{0, scaled(26), g_core->screen.width, g_core->screen.height};
  g_core->services = default_services();
  g_ui_thread.store(std::this_thread::get_id(), std::memory_order_release);
  g_core->backend->screen_resized(screen.width, screen.height);
  create_shell_windows();
  invalidate_all(lookup(g_core->desktop), true);
  platform::set_thread_message_forwarder(g_core->thread, &forward_platform_post);
}

Session::~Session() {
  platform::set_thread_message_forwarder(0, nullptr);
  Core& c = *g_core;
  // Windows first (their destruction may still post and send).
  for (int guard = 0; guard < 1000 && !c.top_levels.empty(); ++guard) {
    destroy(c.top_levels.front());
  }
  std::deque<QueueItem> left;
  {
    std::lock_guard lock(c.queue_mutex);
    c.closing = true;
    left.swap(c.queue);
  }
  for (auto& item : left) release_item(item);
  c.timers.clear();
  {
    std::lock_guard lock(g_session_mutex);
    g_ui_thread.store(std::thread::id{}, std::memory_order_release);
    g_core = nullptr;
  }
  delete &c;
}

Backend& Session::backend() { return *g_core->backend; }

bool post_message(Hwnd hwnd, UINT msg, WPARAM wparam, LPARAM lparam, PayloadRelease release) {
  std::lock_guard session(g_session_mutex);
  Core* c = g_core;
  if (c == nullptr) {
    set_last_error(platform::error::invalid_thread_id);
    return false;
  }
  {
    std::lock_guard table(c->table_mutex);
    if (lookup(hwnd) == nullptr) {
      set_last_error(platform::error::invalid_handle);
      return false;
    }
  }
  {
    std::lock_guard lock(c->queue_mutex);
    if (c->closing) {
      set_last_error(platform::error::invalid_thread_id);
      return false;
    }
    if (c->queue.size() >= kQueueLimit) {
      set_last_error(platform::error::not_enough_quota);
      return false;
    }
    QueueItem item;
    item.kind = QueueItem::Kind::window_message;
    item.hwnd = hwnd;
    item.msg = msg;
    item.wparam = wparam;
    item.lparam = lparam;
    item.release = release;
    c->queue.push_back(std::move(item));
  }
  wake();
  return true;
}

namespace {

// Queues a thread message for the user-interface thread. Nothing when
// `thread` is not the user-interface thread of a running session.
std::optional<bool> post_to_ui_thread(platform::ThreadId thread, UINT msg, WPARAM wparam,
                                      LPARAM lparam, void (*release)(WPARAM, LPARAM)) {
  {
    std::lock_guard session(g_session_mutex);
    Core* c = g_core;
    if (c != nullptr && c->thread == thread) {
      std::lock_guard lock(c->queue_mutex);
      if (c->closing || c->queue.size() >= kQueueLimit) {
        set_last_error(c->closing ? platform::error::invalid_thread_id
                                  : platform::error::not_enough_quota);
        return false;
      }
      QueueItem item;
      item.kind = msg == wm::quit ? QueueItem::Kind::quit : QueueItem::Kind::thread_message;
      item.msg = msg;
      item.wparam = wparam;
      item.lparam = lparam;
      item.release = release;
      item.exit_code = static_cast<int>(wparam);
      c->queue.push_back(std::move(item));
      c->wake_event.set();
      c->backend->wake();
      return true;
    }
  }
  return std::nullopt;
}

// The platform's thread-message posts to the user-interface thread land here.
bool forward_platform_post(platform::ThreadId thread, uint32_t msg, WPARAM wparam, LPARAM lparam) {
  if (std::optional<bool> posted = post_to_ui_thread(thread, msg, wparam, lparam, nullptr)) return *posted;
  set_last_error(platform::error::invalid_thread_id);  // the session has ended
  return false;
}

}  // namespace

bool post_thread_message(platform::ThreadId thread, UINT msg, WPARAM wparam, LPARAM lparam,
                         void (*release)(WPARAM, LPARAM)) {
  if (std::optional<bool> posted = post_to_ui_thread(thread, msg, wparam, lparam, release)) return *posted;
  return platform::post_thread_message(thread, msg, wparam, lparam);
}

void post_quit_message(int exit_code) {
  std::lock_guard session(g_session_mutex);
  Core* c = g_core;
  if (c == nullptr) return;
  {
    std::lock_guard lock(c->queue_mutex);
    QueueItem item;
    item.kind = QueueItem::Kind::quit;
    item.exit_code = exit_code;
    c->queue.push_back(std::move(item));
  }
  c->wake_event.set();
  c->backend->wake();
}

bool run_on_ui_thread(const std::function<void()>& work) {
  if (is_ui_thread()) {
    work();
    return true;
  }
  auto item = std::make_shared<WorkItem>();
  item->fn = work;
  {
    std::lock_guard session(g_session_mutex);
    Core* c = g_core;
    if (c == nullptr) {
      set_last_error(platform::error::invalid_thread_id);
      return false;
    }
    {
      std::lock_guard lock(c->queue_mutex);
      if (c->closing) {
        set_last_error(platform::error::cancelled);
        return false;
      }
      QueueItem q;
      q.kind = QueueItem::Kind::work;
      q.work = item;
      c->queue.push_back(std::move(q));
    }
    c->wake_event.set();
    c->backend->wake();
  }
  // The work refers to the caller's stack, so the caller waits for it to run
  // or to be dropped by the end of the session, whatever else happens.
  platform::wait_one(item->done, platform::kInfinite);
  if (!item->ran) {
    set_last_error(platform::error::cancelled);
    return false;
  }
  return true;
}

int run_message_loop() {
  if (!is_ui_thread()) {
    set_last_error(platform::error::invalid_thread_id);
    return -1;
  }
  run_loop_until(nullptr);
  Core& c = *g_core;
  c.quit_pending = false;
  return c.quit_code;
}

bool run_loop_until(const std::function<bool()>& done) {
  if (!is_ui_thread()) {
    set_last_error(platform::error::invalid_thread_id);
    return false;
  }
  Core& c = *g_core;
  ++c.loop_depth;
  bool result = false;
  int since_events = 0;
  while (true) {
    if (done && done()) {
      result = true;
      break;
    }
    if (c.quit_pending) break;
    if (++since_events < 64 && dispatch_one()) continue;
    since_events = 0;
    c.backend->process_events();
    if (dispatch_one()) continue;
    if (done && done()) {
      result = true;
      break;
    }
    if (c.quit_pending) break;
    c.backend->wait(next_timer_due());
  }
  --c.loop_depth;
  return result;
}

void process_pending() {
  if (!is_ui_thread()) return;
  Core& c = *g_core;
  c.backend->process_events();
  for (int i = 0; i < 1000000 && dispatch_one(); ++i) {
    if (c.quit_pending) break;
  }
}

platform::WaitResult wait_pumping(std::span<platform::Waitable* const> objects, uint32_t timeout_ms) {
  if (!is_ui_thread()) return platform::wait_any(objects, timeout_ms);
  Core& c = *g_core;
  if (objects.empty() || objects.size() >= platform::kMaxWaitObjects) {
    return platform::WaitResult{platform::WaitStatus::failed, 0};
  }
  std::vector<platform::Waitable*> list(objects.begin(), objects.end());
  list.push_back(&c.wake_event);
  const size_t n = objects.size();
  const uint32_t start = platform::tick_count();
  while (true) {
    platform::WaitResult r = platform::wait_any(objects, 0);
    if (r.status != platform::WaitStatus::timeout) return r;
    while (dispatch_one()) {
      r = platform::wait_any(objects, 0);
      if (r.status != platform::WaitStatus::timeout) return r;
    }
    uint32_t elapsed = platform::tick_count() - start;
    if (timeout_ms != platform::kInfinite && elapsed >= timeout_ms) {
      return platform::WaitResult{platform::WaitStatus::timeout, 0};
    }
    uint32_t slice = timeout_ms == platform::kInfinite ? platform::kInfinite : timeout_ms - elapsed;
    slice = std::min<uint32_t>(slice, c.backend->pump_slice_ms());
    uint64_t due = next_timer_due();
    if (due != UINT64_MAX) {
      uint64_t now = c.now();
      slice = std::min<uint64_t>(slice, due > now ? due - now : 0);
    }
    r = platform::wait_any(list, slice);
    if (r.status == platform::WaitStatus::signaled && r.index < n) return r;
    if (r.status == platform::WaitStatus::failed) return r;
    c.backend->process_events();
  }
}

MessageFilterToken& MessageFilterToken::operator=(MessageFilterToken&& o) noexcept {
  if (this != &o) {
    MessageFilterToken dead(std::move(*this));
    id_ = o.id_;
    o.id_ = 0;
  }
  return *this;
}

MessageFilterToken::~MessageFilterToken() {
  if (id_ == 0 || !is_ui_thread()) return;
  auto& f = g_core->filters;
  f.erase(std::remove_if(f.begin(), f.end(), [&](auto& e) { return e.first == id_; }), f.end());
}

MessageFilterToken add_message_filter(MessageFilter filter) {
  if (!is_ui_thread()) {
    set_last_error(platform::error::invalid_thread_id);
    return MessageFilterToken{};
  }
  uint64_t id = g_core->next_filter_id++;
  g_core->filters.emplace_back(id, std::move(filter));
  return MessageFilterToken{id};
}

void queue_mouse_input(const MouseInput& input) {
  if (!is_ui_thread()) return;
  InputItem item;
  item.is_mouse = true;
  item.mouse = input;
  g_core->input.push_back(item);
  g_core->wake_event.set();
}

void queue_key_input(const KeyInput& input) {
  if (!is_ui_thread()) return;
  InputItem item;
  item.is_mouse = false;
  item.key = input;
  g_core->input.push_back(item);
  g_core->wake_event.set();
}

}  // namespace kelda::ui
