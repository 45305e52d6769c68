// Menus: the handle table, items, templates, and pop-up tracking.
#include <map>
#include <mutex>

#include "core.h"
#include "menu_internal.h"
#include "platform/last_error.h"

namespace kelda::ui::detail {

namespace {
struct MenuTable {
  std::mutex mutex;
  std::map<uintptr_t, std::unique_ptr<MenuData>> menus;
  uintptr_t next = 0x100;
};
MenuTable& table() {
  static MenuTable t;
  return t;
}
std::mutex& template_mutex() {
  static std::mutex m;
  return m;
}
std::map<std::pair<std::string, int>, MenuTemplate>& menu_templates() {
  static std::map<std::pair<std::string, int>, MenuTemplate> m;
  return m;
}

Hmenu new_menu(bool popup) {
  auto& t = table();
  std::lock_guard lock(t.mutex);
  uintptr_t id = (t.next += 0x10);
  auto d = std::make_unique<MenuData>();
  d->popup = popup;
  t.menus[id] = std::move(d);
  return Hmenu(id);
}

struct Found {
  MenuData* menu = nullptr;
  size_t index = 0;
};

Found find_item(Hmenu menu, UINT item, UINT flags) {
  MenuData* m = menu_data(menu);
  if (m == nullptr) return {};
  if (flags & mf::by_position) {
    if (item < m->items.size()) return {m, item};
    return {};
  }
  for (size_t i = 0; i < m->items.size(); ++i) {
    const MenuItem& it = m->items[i];
    if (!(it.flags & mf::popup) && !(it.flags & mf::separator) && it.id == item) return {m, i};
  }
  for (const MenuItem& it : m->items) {
    if (it.flags & mf::popup) {
      Found f = find_item(it.sub, item, flags);
      if (f.menu != nullptr) return f;
    }
  }
  return {};
}

void build(Hmenu menu, const std::vector<MenuTemplateItem>& items) {
  for (const MenuTemplateItem& it : items) {
    if (!it.children.empty()) {
      Hmenu sub = create_popup_menu();
      build(sub, it.children);
      append_menu(menu, mf::popup | it.flags, sub.value(), it.text);
    } else if (it.text.empty() && it.id == 0) {
      append_menu(menu, mf::separator, 0);
    } else {
      append_menu(menu, mf::string | it.flags, it.id, it.text);
    }
  }
}
}  // namespace

MenuData* menu_data(Hmenu menu) {
  auto& t = table();
  std::lock_guard lock(t.mutex);
  auto it = t.menus.find(menu.value());
  return it == t.menus.end() ? nullptr : it->second.get();
}

}  // namespace kelda::ui::detail

namespace kelda::ui {

using namespace detail;

Hmenu create_menu() { return new_menu(false); }
Hmenu create_popup_menu() { return new_menu(true); }

bool destroy_menu(Hmenu menu) {
  std::unique_ptr<MenuData> gone;
  {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.menus.find(menu.value());
    if (it == t.menus.end()) return false;
    gone = std::move(it->second);
    t.menus.erase(it);
  }
  for (const MenuItem& it : gone->items)
    if (it.flags & mf::popup) destroy_menu(it.sub);
  return true;
}

bool is_menu(Hmenu menu) { return menu_data(menu) != nullptr; }

bool insert_menu(Hmenu menu, UINT position, UINT flags, uintptr_t id, std::u16string_view text) {
  MenuData* m = menu_data(menu);
  if (m == nullptr) {
    set_last_error(platform::error::invalid_handle);
    return false;
  }
  MenuItem item;
  item.flags = flags & ~mf::by_position;
  item.text = std::u16string(text);
  if (flags & mf::popup) {
    item.sub = Hmenu(id);
  } else {
    item.id = static_cast<UINT>(id);
  }
  size_t at = m->items.size();
  if (flags & mf::by_position) {
    at = std::min<size_t>(position, m->items.size());
  } else {
    for (size_t i = 0; i < m->items.size(); ++i)
      if (m->items[i].id == position && !(m->items[i].flags & mf::popup)) at = i;
  }
  m->items.insert(m->items.begin() + static_cast<std::ptrdiff_t>(at), std::move(item));
  if (m->on_change) m->on_change();
  return true;
}

bool append_menu(Hmenu menu, UINT flags, uintptr_t id, std::u16string_view text) {
  return insert_menu(menu, static_cast<UINT>(-1), flags | mf::by_position, id, text);
}

namespace {
bool remove_item(Hmenu menu, UINT item, UINT flags, bool destroy_sub) {
  Found f = find_item(menu, item, flags);
  if (f.menu == nullptr) return false;
  MenuItem it = f.menu->items[f.index];
  f.menu->items.erase(f.menu->items.begin() + static_cast<std::ptrdiff_t>(f.index));
  if (destroy_sub && (it.flags & mf::popup)) destroy_menu(it.sub);
  if (f.menu->on_change) f.menu->on_change();
  return true;
}
}  // namespace

bool delete_menu(Hmenu menu, UINT item, UINT flags) { return remove_item(menu, item, flags, true); }
bool remove_menu(Hmenu menu, UINT item, UINT flags) { return remove_item(menu, item, flags, false); }

int enable_menu_item(Hmenu menu, UINT item, UINT flags) {
  Found f = find_item(menu, item, flags);
  if (f.menu == nullptr) return -1;
  MenuItem& it = f.menu->items[f.index];
  int old = static_cast<int>(it.flags & (mf::grayed | mf::disabled));
  it.flags = (it.flags & ~(mf::grayed | mf::disabled)) | (flags & (mf::grayed | mf::disabled));
  if (f.menu->on_change) f.menu->on_change();
  return old;
}

int check_menu_item(Hmenu menu, UINT item, UINT flags) {
  Found f = find_item(menu, item, flags);
  if (f.menu == nullptr) return -1;
  MenuItem& it = f.menu->items[f.index];
  int old = static_cast<int>(it.flags & mf::checked);
  it.flags = (it.flags & ~mf::checked) | (flags & mf::checked);
  return old;
}

int get_menu_state(Hmenu menu, UINT item, UINT flags) {
  Found f = find_item(menu, item, flags);
  if (f.menu == nullptr) return -1;
  return static_cast<int>(f.menu->items[f.index].flags & (mf::grayed | mf::disabled | mf::checked |
                                                        mf::popup | mf::separator));
}

int get_menu_item_count(Hmenu menu) {
  MenuData* m = menu_data(menu);
  return m ? static_cast<int>(m->items.size()) : -1;
}

int get_menu_item_id(Hmenu menu, int position) {
  MenuData* m = menu_data(menu);
  if (m == nullptr || position < 0 || position >= static_cast<int>(m->items.size())) return -1;
  const MenuItem& it = m->items[static_cast<size_t>(position)];
  return (it.flags & mf::popup) ? -1 : static_cast<int>(it.id);
}

Hmenu get_sub_menu(Hmenu menu, int position) {
  MenuData* m = menu_data(menu);
  if (m == nullptr || position < 0 || position >= static_cast<int>(m->items.size())) return Hmenu{};
  const MenuItem& it = m->items[static_cast<size_t>(position)];
  return (it.flags & mf::popup) ? it.sub : Hmenu{};
}

std::u16string get_menu_string(Hmenu menu, UINT item, UINT flags) {
  Found f = find_item(menu, item, flags);
  return f.menu ? f.menu->items[f.index].text : std::u16string{};
}

bool menu_has_command(Hmenu menu, UINT id) { return find_item(menu, id, mf::by_command).menu != nullptr; }

void register_menu_template(std::string_view module, int id, MenuTemplate tpl) {
  std::lock_guard lock(template_mutex());
  menu_templates()[{std::string(module), id}] = std::move(tpl);
}

Hmenu load_menu(std::string_view module, int id) {
  MenuTemplate tpl;
  {
    std::lock_guard lock(template_mutex());
    auto it = menu_templates().find({std::string(module), id});
    if (it == menu_templates().end()) {
      set_last_error(1812);
      return Hmenu{};
    }
    tpl = it->second;
  }
  Hmenu menu = create_menu();
  build(menu, tpl.items);
  return menu;
}

UINT track_popup_menu(Hmenu menu, UINT flags, int x, int y, Hwnd owner) {
  UINT chosen = 0;
  bool ran = run_on_ui_thread([&] {
    if (!is_menu(menu)) {
      set_last_error(platform::error::invalid_handle);
      return;
    }
    if (WindowData* o = lookup(owner)) call_window(o, wm::init_menu_popup, menu.value(), 0);
    PopupMenuRequest req;
    req.menu = menu;
    req.flags = flags;
    req.screen = POINT{x, y};
    req.owner = owner;
    auto services = g_core->services;
    chosen = services->track_popup_menu(req);
    // Only commands the menu really offers, enabled, count.
    if (chosen != 0) {
      int state = get_menu_state(menu, chosen, mf::by_command);
      if (state < 0 || (state & (mf::grayed | mf::disabled))) chosen = 0;
    }
  });
  if (!ran) return 0;
  if (chosen != 0 && !(flags & tpm::return_cmd)) {
    post_message(owner, wm::command, make_wparam(static_cast<int>(chosen), 0), 0);
    return 1;
  }
  return chosen;
}

Hmenu get_menu(Hwnd hwnd) {
  WindowData* w = lookup(hwnd);
  return w ? w->menu : Hmenu{};
}

}  // namespace kelda::ui
