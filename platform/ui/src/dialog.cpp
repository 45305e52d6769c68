// Dialog templates, dialog windows (modal and modeless), and the Dialog class.
#include <algorithm>
#include <map>
#include <mutex>

#include "core.h"
#include "dialog_internal.h"
#include "platform/last_error.h"
#include "ui/controls.h"

namespace kelda::ui {

struct DialogAccess {
  static void set_end(Dialog& d, intptr_t r) {
    d.ended_ = true;
    d.result_ = r;
  }
  static void reset(Dialog& d) {
    d.ended_ = false;
    d.result_ = 0;
  }
  static bool init(Dialog& d) { return d.on_init_dialog(); }
  static const std::optional<ResourceName>& portrait(const Dialog& d) { return d.portrait_; }
  static const std::optional<ResourceName>& landscape(const Dialog& d) { return d.landscape_; }
};

}  // namespace kelda::ui

namespace kelda::ui::detail {

namespace {
std::mutex& template_mutex() {
  static std::mutex m;
  return m;
}
std::map<std::pair<std::string, std::string>, std::shared_ptr<DialogTemplate>>& templates() {
  static std::map<std::pair<std::string, std::string>, std::shared_ptr<DialogTemplate>> m;
  return m;
}
std::string key_of(const ResourceName& name) {
  if (!name.is_number()) return to_utf8(to_lower(name.text()));
  std::string key(1, '#');
  key.append(std::to_string(name.number()));
  return key;
}

int mul_div(int a, int b, int c) { return static_cast<int>((static_cast<int64_t>(a) * b) / c); }

bool answers_directly(UINT msg) {
  return msg == wm::init_dialog || (msg >= wm::ctl_color_msgbox && msg <= wm::ctl_color_static);
}
}  // namespace

DialogBehavior* dialog_behavior(WindowData* w) {
  if (w == nullptr || !w->is_dialog) return nullptr;
  return static_cast<DialogBehavior*>(w->behavior.get());
}

POINT DialogBehavior::to_pixels(int x, int y) const {
  return POINT{mul_div(x, base_x, 4), mul_div(y, base_y, 8)};
}

RECT DialogBehavior::to_pixels(const RECT& du) const {
  POINT a = to_pixels(du.left, du.top);
  POINT b = to_pixels(du.right, du.bottom);
  return RECT{a.x, a.y, b.x, b.y};
}

void DialogBehavior::relayout(WindowData& w) {
  if (portrait == nullptr || landscape == nullptr) return;
  ScreenInfo s = screen_info();
  apply_template_layout(w.handle, s.width < s.height ? *portrait : *landscape);
}

LRESULT DialogBehavior::handle(WindowData& w, UINT msg, WPARAM wp, LPARAM lp) {
  if (w.dialog_proc) {
    Hwnd h = w.handle;
    auto proc = w.dialog_proc;
    w.msg_result = 0;
    intptr_t r = proc(h, msg, wp, lp);
    WindowData* d = lookup(h);
    if (d == nullptr) return r;
    if (r != 0) return answers_directly(msg) ? r : d->msg_result;
    if (msg == wm::init_dialog) return 0;
    return def_dialog_proc(*d, msg, wp, lp);
  }
  return def_dialog_proc(w, msg, wp, lp);
}

LRESULT def_dialog_proc(WindowData& w, UINT msg, WPARAM wp, LPARAM lp) {
  Hwnd h = w.handle;
  switch (msg) {
    case wm::init_dialog:
      return 1;
    case wm::close: {
      Hwnd cancel = get_dlg_item(h, id::cancel);
      if (cancel && !is_window_enabled(cancel)) return 0;
      call_window(&w, wm::command, make_wparam(id::cancel, bn::clicked), cancel.to_lparam());
      return 0;
    }
    case wm::erase_background: {
      auto* c = reinterpret_cast<Canvas*>(wp);
      if (c == nullptr) return 0;
      LRESULT b = call_window(&w, wm::ctl_color_dialog, wp, h.to_lparam());
      WindowData* d = lookup(h);
      if (d == nullptr) return 1;
      const Brush* brush = b ? reinterpret_cast<const Brush*>(b) : &get_sys_color_brush(color::btn_face);
      c->fill_rect(client_area(d), *brush);
      return 1;
    }
    case wm::activate:
      if (lo_word(wp) != wa::inactive) {
        WindowData* last = lookup(w.last_focus);
        bool inside = false;
        for (WindowData* d = last; d != nullptr; d = d->parent)
          if (d == &w) inside = true;
        if (inside && last != &w) {
          set_focus_impl(last);
        } else {
          Hwnd first = next_dlg_tab_item(h, Hwnd{}, false);
          set_focus_impl(first ? lookup(first) : &w);
        }
      }
      return 0;
    case wm::set_focus: {
      Hwnd first = next_dlg_tab_item(h, Hwnd{}, false);
      if (first && first != h) set_focus_impl(lookup(first));
      return 0;
    }
    case wm::size:
      if (auto* b = dialog_behavior(&w)) b->relayout(w);
      return 0;
    default:
      return def_proc(w, msg, wp, lp);
  }
}

namespace {
void fit_to_screen(RECT& r) {
  ScreenInfo s = screen_info();
  int w = width_of(r), hgt = height_of(r);
  if (r.right > s.width) r = offset_rect(r, s.width - r.right, 0);
  if (r.bottom > s.height) r = offset_rect(r, 0, s.height - r.bottom);
  if (r.left < 0) r = offset_rect(r, -r.left, 0);
  if (r.top < s.work_area.top) r = offset_rect(r, 0, s.work_area.top - r.top);
  r.right = r.left + w;
  r.bottom = r.top + hgt;
}
}  // namespace

WindowData* make_dialog(const DialogTemplate& tpl, std::shared_ptr<DialogTemplate> owned,
                        const std::string& module, Hwnd owner, Window* object, DialogProcedure proc,
                        LPARAM param) {
  Core& c = *g_core;
  const bool child = (tpl.style & ws::child) != 0;
  WindowData* owner_w = lookup(owner);
  if (child && owner_w == nullptr) {
    set_last_error(platform::error::invalid_handle);
    return nullptr;
  }
  auto behavior = std::make_unique<DialogBehavior>();
  behavior->font = point_font(tpl.font_face, tpl.font_points > 0 ? tpl.font_points : 8);
  {
    FontEngine& e = font_engine();
    TextMetrics tm = e.metrics(behavior->font);
    int alpha = e.text_width(behavior->font, u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    behavior->base_x = std::max(1, (alpha / 26 + 1) / 2);
    behavior->base_y = std::max(1, tm.height);
  }
  behavior->module = module;
  DialogBehavior* b = behavior.get();
  RECT client = b->to_pixels(RECT{0, 0, tpl.cx, tpl.cy});
  DWORD style = tpl.style & ~ws::visible;
  RECT r = adjust_window_rect(client, style, tpl.ex_style);
  POINT at = b->to_pixels(tpl.x, tpl.y);
  if (child) {
    r = offset_rect(r, at.x - r.left, at.y - r.top);
  } else if (tpl.full_screen) {
    r = c.screen.work_area;
    if (owner_w != nullptr) {
      if (WindowData* bar = lookup(top_level_of(owner_w)->menu_bar)) r.bottom = std::min(r.bottom, bar->rect.top);
    }
  } else if (tpl.style & ds::center || owner_w == nullptr) {
    RECT around = owner_w ? screen_rect(top_level_of(owner_w)) : c.screen.work_area;
    int x = around.left + (width_of(around) - width_of(r)) / 2;
    int y = around.top + (height_of(around) - height_of(r)) / 2;
    r = offset_rect(r, x - r.left, y - r.top);
    fit_to_screen(r);
  } else {
    RECT oc = client_screen_rect(top_level_of(owner_w));
    r = offset_rect(r, oc.left + at.x - r.left, oc.top + at.y - r.top);
    fit_to_screen(r);
  }

  CreateParams p;
  p.class_name = u"Dialog";
  p.text = tpl.caption;
  p.style = style;
  p.ex_style = tpl.ex_style;
  p.rect = r;
  p.parent = owner;
  p.create_param = reinterpret_cast<void*>(param);
  // The window is made by hand so its behaviour and procedure are in place
  // before its first message.
  WindowData* w = allocate_window();
  w->parent = child ? owner_w : nullptr;
  w->owner = child ? nullptr : (owner_w ? top_level_of(owner_w) : nullptr);
  w->class_name = u"Dialog";
  w->is_dialog = true;
  w->behavior = std::move(behavior);
  w->dialog_proc = std::move(proc);
  w->text = tpl.caption;
  w->style = style;
  w->ex_style = tpl.ex_style;
  w->rect = r;
  w->dialog_template = owned ? owned.get() : &tpl;
  w->owned_template = std::move(owned);
  w->full_screen = tpl.full_screen && !child;
  w->object = object;
  w->font = &b->font;
  if (child) {
    owner_w->children.push_back(w);
  } else {
    insert_top_level(w);
  }
  Hwnd h = w->handle;
  if (object != nullptr) WindowAccess::bind(object, h);

  // Controls, in template order (which is the tab order).
  for (const DialogItem& item : tpl.items) {
    CreateParams cp;
    cp.class_name = item.class_name;
    cp.text = item.text;
    cp.style = item.style | ws::child;
    cp.ex_style = item.ex_style;
    cp.rect = b->to_pixels(RECT{item.x, item.y, item.x + item.cx, item.y + item.cy});
    cp.parent = h;
    cp.id = static_cast<UINT>(item.id == id::static_text ? 0xFFFF : item.id);
    Hwnd ctl = create_window(cp);
    if (!ctl) continue;
    send_message(ctl, wm::set_font, b->font.handle(), 0);
    if (!item.image.is_number() || item.image.number() != 0) {
      if (const Bitmap* bmp = find_bitmap(module, item.image)) {
        UINT m = equal_ignore_case(item.class_name, class_name::button) ? bm::set_image : stm::set_image;
        send_message(ctl, m, image_type::bitmap, reinterpret_cast<LPARAM>(bmp));
      }
    }
    if (lookup(h) == nullptr) return nullptr;
  }
  w = lookup(h);
  if (w == nullptr) return nullptr;
  Hwnd first = next_dlg_tab_item(h, Hwnd{}, false);
  LRESULT focus = call_window(w, wm::init_dialog, first.to_wparam(), param);
  w = lookup(h);
  if (w == nullptr) return nullptr;
  if (tpl.style & ws::visible) {
    show_impl(w, sw::show);
    w = lookup(h);
    if (w == nullptr) return nullptr;
  }
  if (focus != 0 && (w->style & ws::visible)) {
    Hwnd f = next_dlg_tab_item(h, Hwnd{}, false);
    if (WindowData* fw = lookup(f)) {
      set_focus_impl(fw);
      if (equal_ignore_case(fw->class_name, class_name::edit)) send_message(f, em::set_sel, 0, -1);
    }
  }
  RECT cl = client_rect_in_window(w);
  call_window(w, wm::size, 0, make_lparam(width_of(cl), height_of(cl)));
  return lookup(h);
}

intptr_t run_modal_dialog(WindowData* w, Hwnd owner, const std::string& module, const std::string& name) {
  Core& c = *g_core;
  Hwnd h = w->handle;
  WindowData* owner_top = top_level_of(lookup(owner));
  bool disabled_owner = false;
  if (owner_top != nullptr && !(owner_top->style & ws::disabled)) {
    enable_window(owner_top->handle, false);
    disabled_owner = true;
  }
  if ((w = lookup(h)) != nullptr && !(w->style & ws::visible)) show_impl(w, sw::show);
  if ((w = lookup(h)) != nullptr) activate(w, false);
  ModalSession session;
  session.dialog = h;
  session.module = module;
  session.template_name = name;
  session.ended = [h] {
    WindowData* d = lookup(h);
    return d == nullptr || d->dialog_ended;
  };
  session.end = [h](intptr_t r) { end_dialog(h, r); };
  auto services = c.services;
  if (!session.ended()) services->run_modal(session);
  intptr_t result = id::cancel;
  if ((w = lookup(h)) != nullptr) {
    result = w->dialog_ended ? w->dialog_result : id::cancel;
  }
  if (disabled_owner && owner_top != nullptr && lookup(owner) != nullptr)
    enable_window(owner_top->handle, true);
  if ((w = lookup(h)) != nullptr) destroy(w);
  if (disabled_owner && lookup(owner) != nullptr) {
    if (WindowData* o = top_level_of(lookup(owner))) activate(o, false);
  }
  return result;
}

std::shared_ptr<DialogTemplate> find_template(std::string_view module, const ResourceName& name) {
  std::lock_guard lock(template_mutex());
  auto it = templates().find({std::string(module), key_of(name)});
  return it == templates().end() ? nullptr : it->second;
}

}  // namespace kelda::ui::detail

namespace kelda::ui {

using namespace detail;

void register_dialog_template(std::string_view module, const ResourceName& name, DialogTemplate tpl) {
  std::lock_guard lock(template_mutex());
  templates()[{std::string(module), key_of(name)}] = std::make_shared<DialogTemplate>(std::move(tpl));
}

const DialogTemplate* find_dialog_template(std::string_view module, const ResourceName& name) {
  return find_template(module, name).get();
}

namespace {
WindowData* create_from(std::string_view module, const ResourceName* name, const DialogTemplate* tpl,
                        Hwnd owner, Window* object, DialogProcedure proc, LPARAM param) {
  std::shared_ptr<DialogTemplate> holder;
  if (name != nullptr) {
    holder = find_template(module, *name);
    if (!holder) {
      set_last_error(1812);  // the resource was not found
      return nullptr;
    }
  } else {
    holder = std::make_shared<DialogTemplate>(*tpl);
  }
  return make_dialog(*holder, holder, std::string(module), owner, object, std::move(proc), param);
}

intptr_t modal(std::string_view module, const ResourceName* name, const DialogTemplate* tpl, Hwnd owner,
               DialogProcedure proc, LPARAM param) {
  intptr_t result = id::cancel;
  bool ran = run_on_ui_thread([&] {
    DialogTemplate copy;
    const DialogTemplate* use = tpl;
    if (tpl != nullptr) {
      copy = *tpl;
      copy.style &= ~ws::child;
      use = &copy;
    }
    WindowData* w = create_from(module, name, use, owner, nullptr, proc, param);
    if (w == nullptr) {
      result = name != nullptr && !find_template(module, *name) ? -1 : id::cancel;
      return;
    }
    result = run_modal_dialog(w, owner, std::string(module), name ? name->to_string() : std::string());
  });
  if (!ran) {
    set_last_error(platform::error::cancelled);
    return id::cancel;
  }
  return result;
}
}  // namespace

intptr_t dialog_box(std::string_view module, const ResourceName& name, Hwnd owner, DialogProcedure proc,
                    LPARAM init_param) {
  return modal(module, &name, nullptr, owner, std::move(proc), init_param);
}

intptr_t dialog_box_indirect(const DialogTemplate& tpl, Hwnd owner, DialogProcedure proc, LPARAM init_param) {
  return modal({}, nullptr, &tpl, owner, std::move(proc), init_param);
}

Hwnd create_dialog(std::string_view module, const ResourceName& name, Hwnd owner, DialogProcedure proc,
                   LPARAM init_param) {
  return on_ui([&] {
    WindowData* w = create_from(module, &name, nullptr, owner, nullptr, proc, init_param);
    return w ? w->handle : Hwnd{};
  });
}

Hwnd create_dialog_indirect(const DialogTemplate& tpl, Hwnd owner, DialogProcedure proc, LPARAM init_param) {
  return on_ui([&] {
    WindowData* w = create_from({}, nullptr, &tpl, owner, nullptr, proc, init_param);
    return w ? w->handle : Hwnd{};
  });
}

bool end_dialog(Hwnd dialog, intptr_t result) {
  return on_ui([&] {
    WindowData* w = must(dialog);
    if (w == nullptr || !w->is_dialog) return false;
    w->dialog_ended = true;
    w->dialog_result = result;
    if (auto* d = dynamic_cast<Dialog*>(w->object)) DialogAccess::set_end(*d, result);
    // A modeless dialog just disappears; a modal loop notices the flag.
    if (w->owner == nullptr && w->parent == nullptr) show_impl(w, sw::hide);
    wake();
    return true;
  });
}

const DialogTemplate* dialog_template_of(Hwnd dialog) {
  WindowData* w = lookup(dialog);
  return w ? w->dialog_template : nullptr;
}

RECT map_dialog_rect(Hwnd dialog, RECT units) {
  DialogBehavior* b = dialog_behavior(lookup(dialog));
  if (b == nullptr) return units;
  return b->to_pixels(units);
}

void apply_template_layout(Hwnd dialog, const DialogTemplate& tpl) {
  WindowData* w = lookup(dialog);
  DialogBehavior* b = dialog_behavior(w);
  if (b == nullptr) return;
  std::map<int, int> seen;
  for (const DialogItem& item : tpl.items) {
    int want = item.id == id::static_text ? 0xFFFF : item.id;
    int skip = seen[want]++;
    WindowData* found = nullptr;
    for (WindowData* c : w->children) {
      if (static_cast<int>(c->id) == want && skip-- == 0) {
        found = c;
        break;
      }
    }
    if (found == nullptr) continue;
    // Arrows buddied to a field follow the field, not the template; arrows
    // without a buddy take their place in the template like any control.
    if (equal_ignore_case(found->class_name, class_name::up_down) &&
        (found->style & (uds::align_left | uds::align_right)) && send_message(found->handle, udm::get_buddy) != 0) {
      if ((w = lookup(dialog)) == nullptr) return;
      continue;
    }
    move_window_impl(found, b->to_pixels(RECT{item.x, item.y, item.x + item.cx, item.y + item.cy}), true);
    if ((w = lookup(dialog)) == nullptr) return;
  }
  std::vector<Hwnd> arrows;
  for (WindowData* c : w->children)
    if (equal_ignore_case(c->class_name, class_name::up_down) && (c->style & (uds::align_left | uds::align_right)))
      arrows.push_back(c->handle);
  for (Hwnd a : arrows) send_message(a, udm::set_buddy, send_message(a, udm::get_buddy));
}

void set_dialog_result(Hwnd dialog, LRESULT result) {
  if (WindowData* w = lookup(dialog)) w->msg_result = result;
}

// --- Dialog ----------------------------------------------------------------------------------------
Dialog::Dialog(std::string module, ResourceName name) : module_(std::move(module)), name_(std::move(name)) {}

Dialog::~Dialog() { destroy_for_object(this, hwnd()); }

void Dialog::set_orientation_templates(ResourceName portrait, ResourceName landscape) {
  portrait_ = std::move(portrait);
  landscape_ = std::move(landscape);
  if (WindowData* w = lookup(hwnd())) {
    if (auto* b = dialog_behavior(w)) {
      auto p = find_template(module_, *portrait_);
      auto l = find_template(module_, *landscape_);
      b->portrait_holder = p;
      b->landscape_holder = l;
      b->portrait = p.get();
      b->landscape = l.get();
      b->relayout(*w);
    }
  }
}

namespace {
void install_orientation(WindowData* w, const Dialog& d) {
  auto* b = dialog_behavior(w);
  const auto& p = DialogAccess::portrait(d);
  const auto& l = DialogAccess::landscape(d);
  if (b == nullptr || !p || !l) return;
  b->portrait_holder = find_template(d.module(), *p);
  b->landscape_holder = find_template(d.module(), *l);
  b->portrait = b->portrait_holder.get();
  b->landscape = b->landscape_holder.get();
}
}  // namespace

intptr_t Dialog::do_modal(Hwnd owner) {
  intptr_t result = id::cancel;
  bool ran = run_on_ui_thread([&] {
    DialogAccess::reset(*this);
    auto holder = find_template(module_, name_);
    if (!holder) {
      set_last_error(1812);
      result = -1;
      return;
    }
    DialogTemplate copy = *holder;
    copy.style &= ~ws::child;
    auto owned = std::make_shared<DialogTemplate>(std::move(copy));
    WindowData* w = make_dialog(*owned, owned, module_, owner, this, nullptr, 0);
    if (w == nullptr) {
      result = id::cancel;
      return;
    }
    result = run_modal_dialog(w, owner, module_, name_.to_string());
  });
  if (!ran) {
    set_last_error(platform::error::cancelled);
    return id::cancel;
  }
  return result;
}

bool Dialog::create_modeless(Hwnd parent) {
  return on_ui([&] {
    DialogAccess::reset(*this);
    auto holder = find_template(module_, name_);
    if (!holder) {
      set_last_error(1812);
      return false;
    }
    return make_dialog(*holder, holder, module_, parent, this, nullptr, 0) != nullptr;
  });
}

void Dialog::end_dialog(intptr_t result) {
  DialogAccess::set_end(*this, result);
  if (hwnd()) ::kelda::ui::end_dialog(hwnd(), result);
}

bool Dialog::update_data(bool save) {
  DataExchange dx(hwnd(), save);
  do_data_exchange(dx);
  return !dx.failed();
}

bool Dialog::on_init_dialog() {
  update_data(false);
  return true;
}
bool Dialog::on_command(UINT, UINT, Hwnd) { return false; }
bool Dialog::on_notify(NotifyHeader&, LRESULT&) { return false; }
void Dialog::on_ok() {
  if (update_data(true)) end_dialog(id::ok);
}
void Dialog::on_cancel() { end_dialog(id::cancel); }
void Dialog::do_data_exchange(DataExchange&) {}

LRESULT Dialog::window_proc(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case wm::init_dialog: {
      if (WindowData* w = lookup(hwnd())) install_orientation(w, *this);
      if (WindowData* w = lookup(hwnd())) {
        if (auto* b = dialog_behavior(w)) b->relayout(*w);
      }
      return on_init_dialog() ? 1 : 0;
    }
    case wm::command: {
      UINT id = lo_word(wparam), code = hi_word(wparam);
      if (on_command(id, code, Hwnd::from(lparam))) return 0;
      if (code == bn::clicked) {
        if (id == static_cast<UINT>(id::ok)) {
          on_ok();
          return 0;
        }
        if (id == static_cast<UINT>(id::cancel)) {
          on_cancel();
          return 0;
        }
      }
      return default_proc(msg, wparam, lparam);
    }
    case wm::notify: {
      auto* hdr = reinterpret_cast<NotifyHeader*>(lparam);
      LRESULT result = 0;
      if (hdr != nullptr && on_notify(*hdr, result)) return result;
      return default_proc(msg, wparam, lparam);
    }
    default:
      return default_proc(msg, wparam, lparam);
  }
}

}  // namespace kelda::ui
