// The session, the window table, the class registry and small helpers.
#include "core.h"

#include <algorithm>
#include <cmath>

#include "platform/last_error.h"

namespace kelda::ui::detail {

Core* g_core = nullptr;
std::mutex g_session_mutex;
std::atomic<std::thread::id> g_ui_thread{};

Behavior::~Behavior() = default;
LRESULT Behavior::handle(WindowData& w, UINT msg, WPARAM wparam, LPARAM lparam) {
  return def_proc(w, msg, wparam, lparam);
}

void set_last_error(uint32_t code) { platform::set_last_error(code); }

bool is_ui_thread() {
  std::thread::id ui = g_ui_thread.load(std::memory_order_acquire);
  return ui != std::thread::id{} && ui == std::this_thread::get_id();
}

int scaled(int v) {
  int dpi = g_core ? g_core->screen.dpi_x : 96;
  return v * dpi / 96;
}

// --- Window table ---------------------------------------------------------------------------
namespace {
constexpr uintptr_t kSlotBias = 16;
constexpr uintptr_t kSlotBits = 24;

uintptr_t encode(uint32_t slot, uint32_t generation) {
  return (static_cast<uintptr_t>(generation) << kSlotBits) | (slot + kSlotBias);
}
bool decode(uintptr_t v, uint32_t& slot, uint32_t& generation) {
  uintptr_t s = v & ((uintptr_t{1} << kSlotBits) - 1);
  if (s < kSlotBias) return false;
  slot = static_cast<uint32_t>(s - kSlotBias);
  generation = static_cast<uint32_t>(v >> kSlotBits);
  return true;
}
}  // namespace

WindowData* lookup(Hwnd h) {
  Core* c = g_core;
  if (c == nullptr || !h) return nullptr;
  uint32_t slot = 0, gen = 0;
  if (!decode(h.value(), slot, gen) || slot >= c->slots.size()) return nullptr;
  if (c->generations[slot] != gen) return nullptr;
  WindowData* w = c->slots[slot].get();
  if (w == nullptr || w->gone) return nullptr;
  return w;
}

bool valid_any_thread(Hwnd h) {
  Core* c = g_core;
  if (c == nullptr) return false;
  std::lock_guard lock(c->table_mutex);
  return lookup(h) != nullptr;
}

WindowData* must(Hwnd h) {
  WindowData* w = lookup(h);
  if (w == nullptr) set_last_error(g_core ? platform::error::invalid_handle : platform::error::invalid_thread_id);
  return w;
}

WindowData* allocate_window() {
  Core& c = *g_core;
  std::lock_guard lock(c.table_mutex);
  uint32_t slot;
  if (!c.free_slots.empty()) {
    slot = c.free_slots.back();
    c.free_slots.pop_back();
  } else {
    slot = static_cast<uint32_t>(c.slots.size());
    c.slots.emplace_back();
    c.generations.push_back(0);
  }
  // Generations are unique in the process (not per slot or session), so a
  // handle from an earlier window or session never matches a new window.
  static std::atomic<uint32_t> next_generation{1};
  uint32_t gen = next_generation.fetch_add(1) & ((1u << 30) - 1);
  if (gen == 0) gen = next_generation.fetch_add(1) & ((1u << 30) - 1);
  c.generations[slot] = gen;
  c.slots[slot] = std::make_unique<WindowData>();
  WindowData* w = c.slots[slot].get();
  w->slot = slot;
  w->handle = Hwnd(encode(slot, gen));
  return w;
}

std::unique_ptr<WindowData> release_handle(WindowData* w) {
  Core& c = *g_core;
  std::lock_guard lock(c.table_mutex);
  w->gone = true;
  const uint32_t slot = w->slot;
  std::unique_ptr<WindowData> holder = std::move(c.slots[slot]);
  c.generations[slot] = 0;  // stale handles stop matching at once
  c.free_slots.push_back(slot);
  if (w->depth > 0) {
    c.graveyard.push_back(std::move(holder));
    return nullptr;
  }
  return holder;
}

// --- Classes --------------------------------------------------------------------------------
namespace {
std::mutex& class_mutex() {
  static std::mutex m;
  return m;
}
std::map<std::u16string, ClassEntry>& classes() {
  static std::map<std::u16string, ClassEntry> m;
  return m;
}
}  // namespace

const ClassEntry* find_class(std::u16string_view name) {
  std::lock_guard lock(class_mutex());
  auto it = classes().find(to_lower(name));
  return it == classes().end() ? nullptr : &it->second;
}

void register_builtin_class(std::u16string name, UINT style, const Brush* bg,
                            std::function<std::unique_ptr<Behavior>()> make) {
  std::lock_guard lock(class_mutex());
  ClassEntry e;
  e.cls.name = name;
  e.cls.style = style;
  e.cls.background = bg;
  e.behavior = std::move(make);
  classes()[to_lower(name)] = std::move(e);
}

// --- Text helpers ---------------------------------------------------------------------------
namespace {
char16_t lower_char(char16_t ch) {
  if (ch >= u'A' && ch <= u'Z') return static_cast<char16_t>(ch + 32);
  if (ch >= 0x0410 && ch <= 0x042F) return static_cast<char16_t>(ch + 32);  // А..Я
  if (ch >= 0x0400 && ch <= 0x040F) return static_cast<char16_t>(ch + 80);  // Ѐ..Џ (Ё)
  return ch;
}
}  // namespace

std::u16string to_lower(std::u16string_view s) {
  std::u16string out(s);
  for (auto& ch : out) ch = lower_char(ch);
  return out;
}

int compare_ignore_case(std::u16string_view a, std::u16string_view b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    char16_t x = lower_char(a[i]), y = lower_char(b[i]);
    // Ё sorts with Е as people expect.
    if (x == 0x0451) x = 0x0435;
    if (y == 0x0451) y = 0x0435;
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool equal_ignore_case(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lower_char(a[i]) != lower_char(b[i])) return false;
  return true;
}

std::u16string from_utf8(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    uint32_t cp = 0xFFFD;
    size_t len = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c >> 5) == 6 && i + 1 < s.size()) {
      cp = ((c & 0x1F) << 6) | (s[i + 1] & 0x3F);
      len = 2;
    } else if ((c >> 4) == 14 && i + 2 < s.size()) {
      cp = ((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F);
      len = 3;
    } else if ((c >> 3) == 30 && i + 3 < s.size()) {
      cp = ((c & 0x07) << 18) | ((s[i + 1] & 0x3F) << 12) | ((s[i + 2] & 0x3F) << 6) |
           (s[i + 3] & 0x3F);
      len = 4;
    }
    i += len;
    if (cp >= 0x10000 && cp <= 0x10FFFF) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string to_utf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t cp = s[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

const Font& window_font(const WindowData& w) { return w.font ? *w.font : system_font(); }

}  // namespace kelda::ui::detail

namespace kelda::ui {

using namespace detail;

bool register_class(WindowClass cls) {
  if (cls.name.empty()) {
    set_last_error(platform::error::invalid_parameter);
    return false;
  }
  std::lock_guard lock(class_mutex());
  auto key = to_lower(cls.name);
  if (classes().count(key) != 0) {
    set_last_error(platform::error::already_exists);
    return false;
  }
  ClassEntry e;
  e.cls = std::move(cls);
  classes()[key] = std::move(e);
  return true;
}

bool unregister_class(std::u16string_view name) {
  std::lock_guard lock(class_mutex());
  return classes().erase(to_lower(name)) > 0;
}

bool is_class_registered(std::u16string_view name) { return find_class(name) != nullptr; }

bool has_ui_thread() {
  std::lock_guard lock(g_session_mutex);
  return g_core != nullptr;
}

bool on_ui_thread() { return is_ui_thread(); }

platform::ThreadId ui_thread_id() {
  std::lock_guard lock(g_session_mutex);
  return g_core ? g_core->thread : 0;
}

uint64_t now_ms() { return g_core ? g_core->now() : 0; }

}  // namespace kelda::ui
