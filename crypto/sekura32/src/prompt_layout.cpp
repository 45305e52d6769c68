// Growth of the prompt dialogs for their texts, the button row, and the
// keystroke filter of answer fields.
#include "prompt_layout.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <vector>

#include "kit/codepage.h"
#include "prompt_templates.h"
#include "ui/canvas.h"
#include "ui/dialog.h"
#include "ui/gdi.h"
#include "ui/window.h"

namespace kelda::sekura32 {
namespace {

constexpr int kButtonGapUnits = 16;

// A control's rectangle in its dialog's client coordinates.
RECT place(ui::Hwnd dialog, ui::Hwnd control) { return ui::map_rect(ui::Hwnd(), dialog, ui::get_window_rect(control)); }

void shift(ui::Hwnd dialog, ui::Hwnd control, int dx, int dy, int grow_x = 0, int grow_y = 0) {
  if (!control) return;
  RECT r = place(dialog, control);
  ui::move_window(control, r.left + dx, r.top + dy, r.right - r.left + grow_x, r.bottom - r.top + grow_y);
}

// The room a control's text needs beyond its client area (never negative).
SIZE room_needed(ui::Hwnd control) {
  SIZE room{0, 0};
  if (!control || (ui::get_style(control) & ui::ws::visible) == 0) return room;
  std::u16string text = ui::get_window_text(control);
  if (text.empty()) return room;
  std::unique_ptr<ui::Canvas> canvas = ui::get_dc(control);
  if (!canvas) return room;
  if (const ui::Font* font = ui::get_font(control)) canvas->select_font(font);
  RECT r{0, 0, 0, 0};
  canvas->draw_text(text, r, ui::dt::calc_rect | ui::dt::no_prefix | ui::dt::expand_tabs);
  RECT client = ui::get_client_rect(control);
  room.cx = std::max<LONG>(0, (r.right - r.left) + 4 - client.right);
  room.cy = std::max<LONG>(0, (r.bottom - r.top) + 6 - client.bottom);
  return room;
}

std::mutex filters_mutex;
std::map<uintptr_t, ui::WindowProcedure>& filtered_fields() {
  static auto* fields = new std::map<uintptr_t, ui::WindowProcedure>();  // lives to the end of the process
  return *fields;
}

LRESULT call_previous(ui::Hwnd field, UINT message, WPARAM wparam, LPARAM lparam) {
  ui::WindowProcedure previous;
  {
    std::lock_guard lock(filters_mutex);
    auto found = filtered_fields().find(field.value());
    if (found != filtered_fields().end()) previous = found->second;
  }
  return previous ? previous(field, message, wparam, lparam) : ui::def_window_proc(field, message, wparam, lparam);
}

LRESULT filter_procedure(ui::Hwnd field, UINT message, WPARAM wparam, LPARAM lparam) {
  SkWindowProcedure hook = skEditorFilter;
  LRESULT result = hook != nullptr ? hook(reinterpret_cast<void*>(field.value()), message, wparam, lparam)
                                   : call_previous(field, message, wparam, lparam);
  if (message == ui::wm::nc_destroy) {
    std::lock_guard lock(filters_mutex);
    filtered_fields().erase(field.value());
  }
  return result;
}

}  // namespace

void grow_for_texts(ui::Hwnd dialog) noexcept {
  ui::Hwnd prompt = ui::get_dlg_item(dialog, kControlPrompt);
  ui::Hwnd answer = ui::get_dlg_item(dialog, kControlAnswer);
  SIZE prompt_room = room_needed(prompt), answer_room = room_needed(answer);
  int dx = std::max(prompt_room.cx, answer_room.cx);
  int dy = prompt_room.cy + answer_room.cy;
  if (dx == 0 && dy == 0) return;
  shift(dialog, prompt, 0, 0, dx, prompt_room.cy);
  shift(dialog, ui::get_dlg_item(dialog, kControlIcon), 0, dy / 2);
  if (answer && answer != prompt) {
    RECT prompt_place = place(dialog, prompt), answer_place = place(dialog, answer);
    // A field beside the text (the activity line) keeps its place.
    int down = answer_place.top >= prompt_place.top ? prompt_room.cy : 0;
    shift(dialog, answer, 0, down, dx, answer_room.cy);
  }
  shift(dialog, ui::get_dlg_item(dialog, kControlChoice), dx, prompt_room.cy);
  for (int id : {kControlOk, kControlYes, kControlNo, kControlCancel, kControlAbort})
    shift(dialog, ui::get_dlg_item(dialog, id), 0, dy);
  RECT outer = ui::get_window_rect(dialog);
  bool child = (ui::get_style(dialog) & ui::ws::child) != 0;
  RECT at = child ? ui::map_rect(ui::Hwnd(), ui::get_parent(dialog), outer) : outer;
  ui::move_window(dialog, at.left, at.top, outer.right - outer.left + dx, outer.bottom - outer.top + dy);
}

uint32_t arrange_buttons(ui::Hwnd dialog, uint32_t flags, const std::u16string& cancel_caption,
                         const std::u16string& abort_caption) noexcept {
  std::vector<ui::Hwnd> row;
  for (int id : {kControlOk, kControlYes, kControlNo})
    if (ui::Hwnd b = ui::get_dlg_item(dialog, id)) row.push_back(b);
  auto take = [&](int id, bool hidden, const std::u16string& caption) {
    ui::Hwnd b = ui::get_dlg_item(dialog, id);
    if (!b) return;
    if (hidden) {
      ui::show_window(b, ui::sw::hide);
      return;
    }
    if (!caption.empty()) ui::set_window_text(b, caption);
    row.push_back(b);
  };
  take(kControlCancel, (flags & SK_PROMPT_NO_CANCEL) != 0, cancel_caption);
  take(kControlAbort, (flags & SK_PROMPT_NO_ABORT) != 0, abort_caption);
  if (row.empty()) return SK_OK;
  ui::Hwnd parent = ui::get_parent(row.front());
  for (ui::Hwnd b : row)
    if (ui::get_parent(b) != parent) return SK_BAD_ARGUMENT;
  int total = 0, span_left = INT32_MAX, span_right = INT32_MIN;
  for (ui::Hwnd b : row) {
    RECT r = place(parent, b);
    total += r.right - r.left;
    span_left = std::min<int>(span_left, r.left);
    span_right = std::max<int>(span_right, r.right);
  }
  int count = int(row.size());
  int gap = ui::map_dialog_rect(dialog, RECT{0, 0, kButtonGapUnits, 0}).right;
  int span = span_right - span_left;
  if (count > 1 && total + gap * (count - 1) > span) gap = (span - total) / (count - 1);
  int width = total + gap * (count - 1);
  int x = (ui::get_client_rect(parent).right - width) / 2;
  int top = place(parent, row.front()).top;
  for (ui::Hwnd b : row) {
    RECT r = place(parent, b);
    ui::move_window(b, x, top, r.right - r.left, r.bottom - r.top);
    x += r.right - r.left + gap;
  }
  return SK_OK;
}

void install_editor_filter(ui::Hwnd edit) noexcept {
  if (!edit) return;
  try {
    ui::WindowProcedure previous = ui::set_window_procedure(edit, &filter_procedure);
    std::lock_guard lock(filters_mutex);
    filtered_fields()[edit.value()] = std::move(previous);
  } catch (...) {
    // Without memory the field simply goes unfiltered.
  }
}

intptr_t default_editor_filter(void* window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  ui::Hwnd field(reinterpret_cast<uintptr_t>(window));
  if (message == ui::wm::key_down)
    ui::send_message(ui::get_parent(field), kKeyNoise, WPARAM(skAsynchEvent(uint32_t(wparam))), 0);
  return call_previous(field, message, wparam, lparam);
}

}  // namespace kelda::sekura32

using namespace kelda::sekura32;

SK_API uint32_t skArrangeBtns(uint32_t flags, const char* cancel_caption, const char* abort_caption, void* dialog) {
  kelda::ui::Hwnd window(reinterpret_cast<uintptr_t>(dialog));
  if (!window) return SK_BAD_ARGUMENT;
  auto shown = [](const char* text) {
    return text != nullptr ? kelda::kit::decode(kelda::kit::CodePage::cp866, text) : std::u16string();
  };
  return arrange_buttons(window, flags, shown(cancel_caption), shown(abort_caption));
}
