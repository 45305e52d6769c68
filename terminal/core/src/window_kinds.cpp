// The registry of window kinds and the base of the data windows.
#include "terminal/window_kinds.h"

#include <algorithm>

#include "terminal/layout_files.h"

namespace kelda::terminal {
namespace {

std::vector<WindowKind>& registry() {
  static std::vector<WindowKind> kinds;
  return kinds;
}

}  // namespace

void register_window_kind(WindowKind kind) {
  unregister_window_kind(kind.kind);
  registry().push_back(std::move(kind));
}

void unregister_window_kind(int kind) {
  std::erase_if(registry(), [kind](const WindowKind& k) { return k.kind == kind; });
}

const WindowKind* find_window_kind_by_command(UINT command) {
  for (const WindowKind& k : registry()) {
    if (k.command == command) return &k;
  }
  return nullptr;
}

const WindowKind* find_window_kind(int kind) {
  for (const WindowKind& k : registry()) {
    if (k.kind == kind) return &k;
  }
  return nullptr;
}

namespace {
std::vector<std::pair<UINT, CommandHandler>>& handlers() {
  static std::vector<std::pair<UINT, CommandHandler>> list;
  return list;
}
}  // namespace

void register_command_handler(UINT command, CommandHandler handler) {
  std::erase_if(handlers(), [command](const auto& h) { return h.first == command; });
  handlers().emplace_back(command, std::move(handler));
}

const CommandHandler* find_command_handler(UINT command) {
  for (const auto& h : handlers()) {
    if (h.first == command) return &h.second;
  }
  return nullptr;
}

LRESULT TerminalWindow::window_proc(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case UM_IDENTITY:
      return static_cast<LRESULT>(reinterpret_cast<intptr_t>(caption_.c_str()));
    case UM_ISKIND:
      return static_cast<int>(wparam) == kind_ ? 1 : 0;
    case UM_GETKIND:
      return kind_;
    case UM_SAVESTATE: {
      auto* out = reinterpret_cast<std::string*>(lparam);
      if (out == nullptr) return 0;
      *out += "[ActiveWnd" + std::to_string(static_cast<int>(wparam)) + "]\n";
      SectionText keys;
      keys.put_int("type", kind_);
      keys.put("caption", caption_);
      write_state(keys);
      *out += keys.text();
      *out += "\n";
      return 1;
    }
    default:
      return default_proc(msg, wparam, lparam);
  }
}

}  // namespace kelda::terminal
