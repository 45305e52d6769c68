// Prompts and messages: the exported calls go to their hooks, whose defaults
// show the library's dialogs through the ui layer (on the user-interface
// thread, for a worker too, while it waits). Without a user-interface thread
// the dialog service answers "cancelled": prompts then answer 275.
//
// Texts of the library are code page 866; they are shown as such and an
// answer typed by the user is stored back in code page 866.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "frame.h"
#include "kit/codepage.h"
#include "prompt_layout.h"
#include "prompt_templates.h"
#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/loop.h"
#include "ui/services.h"
#include "ui/window.h"

namespace kelda::sekura32 {
namespace {

constexpr UINT kShowMessage = ui::wm::user + 22;
constexpr LRESULT kMessageShown = LRESULT(0x8E948D88);
constexpr uint32_t kChoiceFlag = 128, kSaveFlag = 256;

std::u16string shown(const char* text) {
  return text != nullptr ? kit::decode(kit::CodePage::cp866, text) : std::u16string();
}

// A caller's buffer is read within its size, never as NUL-ended beyond it.
std::u16string shown(const char* buffer, uint32_t size) {
  return kit::decode(kit::CodePage::cp866, std::string_view(buffer, strnlen(buffer, size)));
}

// Formats into a text of at least `minimum` bytes; trailing line feeds go.
std::string format_text(std::size_t minimum, const char* format, va_list arguments) {
  if (format == nullptr) return {};
  std::size_t size = std::max(minimum, std::strlen(format) + 1025);
  std::string text(size, '\0');
  int n = std::vsnprintf(text.data(), size, format, arguments);
  text.resize(n < 0 ? 0 : std::min(std::size_t(n), size - 1));
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

// One modal prompt: its template, texts, answer buffer and flags.
struct Prompt {
  int template_id = kTemplateQuestion;
  std::u16string title, text, detail, cancel_caption, abort_caption;
  char* answer = nullptr;
  uint32_t size = 0;
  uint32_t flags = 0;
  int32_t value = 0;  // yes/no
};

void store_answer(Prompt& p, const std::u16string& typed) {
  if (p.answer == nullptr || p.size == 0) return;
  std::string bytes = kit::encode(kit::CodePage::cp866, typed);
  std::size_t n = std::min<std::size_t>(bytes.size(), p.size - 1);
  std::memcpy(p.answer, bytes.data(), n);
  p.answer[n] = '\0';
  wipe(bytes.data(), bytes.size());
}

void init_prompt(ui::Hwnd dialog, Prompt& p) {
  if (!p.title.empty()) ui::set_window_text(dialog, p.title);
  if (p.template_id == kTemplateYesNo) {
    ui::set_dlg_item_text(dialog, kControlAnswer, p.detail);
  } else if (p.answer == nullptr) {
    ui::show_window(ui::get_dlg_item(dialog, kControlAnswer), ui::sw::hide);
  } else {
    ui::set_dlg_item_text(dialog, kControlAnswer, shown(p.answer, p.size));
    if ((p.flags & SK_PROMPT_PASSWORD) != 0)
      ui::send_dlg_item_message(dialog, kControlAnswer, ui::em::set_password_char, '$');
    install_editor_filter(ui::get_dlg_item(dialog, kControlAnswer));
  }
  if (p.text.empty())
    ui::show_window(ui::get_dlg_item(dialog, kControlPrompt), ui::sw::hide);
  else
    ui::set_dlg_item_text(dialog, kControlPrompt, p.text);
  grow_for_texts(dialog);
  if ((p.flags & kChoiceFlag) == 0) ui::show_window(ui::get_dlg_item(dialog, kControlChoice), ui::sw::hide);
  p.flags &= ~SK_PROMPT_CHANGED;
  arrange_buttons(dialog, p.flags, p.cancel_caption, p.abort_caption);
}

// The file choice: the answer becomes the initial name and the chosen file
// the answer. True when a file was chosen.
bool choose_file(ui::Hwnd dialog, Prompt& p) {
  std::u16string name = ui::get_dlg_item_text(dialog, kControlAnswer);
  store_answer(p, name);
  ui::FileDialogRequest request;
  request.owner = dialog;
  request.save = (p.flags & kSaveFlag) != 0;
  request.title = p.title;
  request.file_name = name;
  request.max_length = p.size;
  request.flags = ui::ofn::hide_read_only;
  std::size_t dot = name.rfind(u'.');
  if (dot != std::u16string::npos && name.find(u'/', dot) == std::u16string::npos) {
    std::u16string extension = name.substr(dot + 1);
    request.filter = u"Same files (*." + extension + u")|*." + extension + u"|";
  }
  request.filter += u"All files (*.*)|*.*|";
  auto chosen = request.save ? ui::get_save_file_name(request) : ui::get_open_file_name(request);
  if (!chosen) return false;
  store_answer(p, chosen->path);
  return true;
}

intptr_t prompt_procedure(ui::Hwnd dialog, UINT message, WPARAM wparam, Prompt& p) {
  if (message == ui::wm::init_dialog) {
    init_prompt(dialog, p);
    return 1;
  }
  if (message != ui::wm::command) return 0;
  int id = ui::lo_word(wparam);
  switch (id) {
    case kControlOk:
      if (p.template_id != kTemplateMessage && p.answer != nullptr)
        store_answer(p, ui::get_dlg_item_text(dialog, kControlAnswer));
      ui::end_dialog(dialog, ui::id::ok);
      return 1;
    case kControlYes:
    case kControlNo:
      p.value = id == kControlYes ? 1 : 0;
      ui::end_dialog(dialog, ui::id::ok);
      return 1;
    case kControlCancel:
      if ((p.flags & SK_PROMPT_NO_CANCEL) == 0) {
        ui::end_dialog(dialog, ui::id::cancel);
        return 1;
      }
      [[fallthrough]];
    case kControlAbort:
      if ((p.flags & SK_PROMPT_NO_ABORT) == 0) ui::end_dialog(dialog, ui::id::abort);
      return 1;
    case kControlChoice:
      if (choose_file(dialog, p)) ui::end_dialog(dialog, ui::id::ok);
      return 1;
    case kControlAnswer:
      if (ui::hi_word(wparam) == ui::en::change) p.flags |= SK_PROMPT_CHANGED;
      return 1;
    default:
      return 0;
  }
}

uint32_t run_prompt(Prompt& p) {
  register_prompt_templates();
  ui::Hwnd owner = ui::on_ui_thread() ? ui::get_active_window() : ui::Hwnd();
  intptr_t result = ui::dialog_box(kDialogModule, p.template_id, owner,
                                   [&p](ui::Hwnd h, UINT m, WPARAM w, LPARAM) { return prompt_procedure(h, m, w, p); });
  switch (result) {
    case ui::id::ok:
      return SK_OK;
    case ui::id::abort:
      return SK_CANCELLED;
    case ui::id::cancel:
      return SK_DECLINED;
    default:
      return SK_BAD_ARGUMENT;
  }
}

Prompt prompt_from(void* options, int template_id, uint32_t extra_flags) {
  Prompt p;
  p.template_id = template_id;
  if (auto* o = static_cast<SkPromptOptions*>(options)) {
    p.detail = shown(o->detail);
    p.cancel_caption = shown(o->cancelCaption);
    p.abort_caption = shown(o->abortCaption);
    p.flags = o->flags;
  }
  p.flags |= extra_flags;
  return p;
}

uint32_t ask_with_template(int template_id, uint32_t extra_flags, void* options, char* answer, uint32_t size,
                           const char* title, const std::string& text) {
  Prompt p = prompt_from(options, template_id, extra_flags);
  p.title = shown(title);
  p.text = shown(text.c_str());
  p.answer = answer;
  p.size = size;
  uint32_t result = run_prompt(p);
  if (result < 16 && options != nullptr) static_cast<SkPromptOptions*>(options)->flags = p.flags;
  return result;
}

uint32_t default_ask_string(void* options, char* answer, uint32_t size, const char* title, const char* format,
                            va_list arguments) {
  return ask_with_template(kTemplateQuestion, 0, options, answer, size, title, format_text(2048, format, arguments));
}

// Offers the text to the active window and its parents; true when one of
// them showed it.
bool offered_to_windows(const std::string& text) {
  if (!ui::on_ui_thread()) return false;
  for (ui::Hwnd w = ui::get_active_window(); w; w = ui::get_parent(w))
    if (ui::send_message(w, kShowMessage, 0, LPARAM(text.c_str())) == kMessageShown) return true;
  return false;
}

uint32_t default_message(uint32_t flags, const char* title, const char* format, va_list arguments) {
  std::string text = format_text(2048, format, arguments);
  if ((flags & 1) == 0 && offered_to_windows(text.empty() && format != nullptr ? "Not enough memory" : text))
    return SK_OK;
  Prompt p;
  p.template_id = kTemplateMessage;
  p.title = shown(title);
  p.text = shown(text.c_str());
  return run_prompt(p);
}

}  // namespace
}  // namespace kelda::sekura32

using namespace kelda::sekura32;
namespace kit = kelda::kit;
namespace ui = kelda::ui;

extern "C" {
SkAskStringFunction skvAskString = &default_ask_string;
SkMessageFunction skvMessage = &default_message;
SkKeyReadRetryFunction skKeyReadRetry = &skKeyReadRetryAsk;
}

SK_API uint32_t skAskString(void* options, char* answer, uint32_t size, const char* title, const char* format, ...) {
  SkAskStringFunction hook = skvAskString;
  if (hook == nullptr) return SK_DECLINED;
  va_list arguments;
  va_start(arguments, format);
  uint32_t result = hook(options, answer, size, title, format, arguments);
  va_end(arguments);
  return result;
}

SK_API uint32_t skAskPwd(void* options, char* answer, uint32_t size, const char* title, const char* prompt) {
  return ask_with_template(kTemplatePassword, SK_PROMPT_PASSWORD, options, answer, size, title,
                           prompt != nullptr ? prompt : "");
}

SK_API uint32_t skvAskBool(void* options, int32_t* value, const char* title, const char* format, va_list arguments) {
  Prompt p = prompt_from(options, kTemplateYesNo, 0);
  p.title = shown(title);
  p.text = shown(format_text(2048, format, arguments).c_str());
  uint32_t result = run_prompt(p);
  if (result < 16) {
    if (value != nullptr) *value = p.value;
    if (options != nullptr) static_cast<SkPromptOptions*>(options)->flags = p.flags;
  }
  return result;
}

SK_API uint32_t skAskBool(void* options, int32_t* value, const char* title, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  uint32_t result = skvAskBool(options, value, title, format, arguments);
  va_end(arguments);
  return result;
}

SK_API uint32_t skMessage(uint32_t flags, const char* title, const char* format, ...) {
  SkMessageFunction hook = skvMessage;
  if (hook == nullptr) return SK_OK;
  va_list arguments;
  va_start(arguments, format);
  uint32_t result = hook(flags, title, format, arguments);
  va_end(arguments);
  return result;
}

SK_API int32_t skvHelp(uint32_t, const char* format, va_list arguments) {
  if (format == nullptr) return -1;
  std::string text = format_text(16384, format, arguments);
  std::vector<std::string> lines;
  for (std::size_t at = 0;;) {
    std::size_t cr = text.find('\r', at);
    lines.push_back(text.substr(at, cr == std::string::npos ? std::string::npos : cr - at));
    if (cr == std::string::npos) break;
    at = cr + 1;
  }
  uint32_t result = SK_OK;
  for (std::size_t k = 0; k < lines.size() && result < 16; ++k)
    result = skMessage(k + 1 < lines.size() ? 65 : 64, nullptr, "%s", lines[k].c_str());
  return int32_t(result);
}

SK_API int32_t skHelp(uint32_t flags, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  int32_t result = skvHelp(flags, format, arguments);
  va_end(arguments);
  return result;
}

SK_API uint32_t skKeyReadRetryAsk(uint32_t flags, uint32_t error, const char* file, uint32_t attempt) {
  SkPromptOptions options{};
  options.flags = flags;
  int32_t again = 0;
  uint32_t result = skAskBool(&options, &again, "Not available key base", "Error %x reading file %s.\n%sTry again?",
                              error, file != nullptr ? file : "",
                              attempt < 2 ? "Sure, that key floppy disk is inserted into floppy disk drive.\n" : "");
  if (result >= 16) return result;
  return again != 0 ? result : skIORet(error);
}

SK_API uint32_t skKeyReadRetryFail(uint32_t, uint32_t error, const char*, uint32_t) { return skIORet(error); }

SK_API uint32_t skAskRandom(void*, uint32_t) { return 0; }
