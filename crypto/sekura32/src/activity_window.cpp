// The activity window: a modeless "Please, wait" dialog with a line of
// progress marks, made on the user-interface thread (for a worker too), fed
// by the default progress hook, and closed by skStopActivity. Handles are
// kept in a registry: the hook and skStopActivity ignore any other value.
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "frame.h"
#include "kit/codepage.h"
#include "prompt_layout.h"
#include "prompt_templates.h"
#include "ui/dialog.h"
#include "ui/loop.h"
#include "ui/window.h"

namespace kelda::sekura32 {
namespace {

constexpr UINT kAddMark = ui::wm::user + 21;
constexpr std::size_t kLineRoom = 255;

struct Activity {
  std::u16string title, text;
  std::u16string line;  // the newest marks, at most 255 characters
  std::atomic<uint32_t> result{0};
  ui::Hwnd window;
};

std::mutex registry_mutex;
std::map<uintptr_t, std::shared_ptr<Activity>>& registry() {
  static auto* live = new std::map<uintptr_t, std::shared_ptr<Activity>>();
  return *live;
}

std::shared_ptr<Activity> find(void* handle) {
  std::lock_guard lock(registry_mutex);
  auto found = registry().find(reinterpret_cast<uintptr_t>(handle));
  return found != registry().end() ? found->second : nullptr;
}

void add_mark(Activity& a, const char* mark) {
  a.line += kit::decode(kit::CodePage::cp866, mark);
  if (a.line.size() > kLineRoom) a.line.erase(0, a.line.size() - kLineRoom);
  ui::set_dlg_item_text(a.window, kControlAnswer, a.line);
}

void release_mark(WPARAM, LPARAM mark) { delete[] reinterpret_cast<char*>(mark); }

intptr_t activity_procedure(ui::Hwnd dialog, UINT message, WPARAM wparam, LPARAM lparam, Activity& a) {
  switch (message) {
    case ui::wm::init_dialog:
      a.window = dialog;
      if (!a.title.empty()) ui::set_window_text(dialog, a.title);
      if (!a.text.empty()) ui::set_dlg_item_text(dialog, kControlPrompt, a.text);
      grow_for_texts(dialog);
      return 1;
    case kAddMark:  // the payload is ours once delivered
      add_mark(a, reinterpret_cast<const char*>(lparam));
      release_mark(0, lparam);
      return 1;
    case ui::wm::command:
      if (ui::lo_word(wparam) == kControlCancel) a.result = SK_DECLINED;
      if (ui::lo_word(wparam) == kControlAbort) a.result = SK_CANCELLED;
      return 1;
    default:
      return 0;
  }
}

}  // namespace
}  // namespace kelda::sekura32

using namespace kelda::sekura32;
namespace kit = kelda::kit;
namespace ui = kelda::ui;

SK_API void* skStartActivity(void*, const char* title, const char* format, ...) {
  auto activity = std::make_shared<Activity>();
  if (title != nullptr) activity->title = kit::decode(kit::CodePage::cp866, title);
  if (format != nullptr) {
    std::string text(std::max<std::size_t>(1024, std::strlen(format) + 1025), '\0');
    va_list arguments;
    va_start(arguments, format);
    int n = std::vsnprintf(text.data(), text.size(), format, arguments);
    va_end(arguments);
    text.resize(n < 0 ? 0 : std::min(std::size_t(n), text.size() - 1));
    while (!text.empty() && text.back() == '\n') text.pop_back();
    activity->text = kit::decode(kit::CodePage::cp866, text);
  }
  register_prompt_templates();
  ui::Hwnd window;
  bool ran = ui::run_on_ui_thread([&] {
    window = ui::create_dialog(kDialogModule, kTemplateActivity, ui::get_active_window(),
                               [activity](ui::Hwnd h, UINT m, WPARAM w, LPARAM l) {
                                 return activity_procedure(h, m, w, l, *activity);
                               });
  });
  if (!ran || !window) return nullptr;
  activity->window = window;
  std::lock_guard lock(registry_mutex);
  registry()[window.value()] = activity;
  return reinterpret_cast<void*>(window.value());
}

SK_API uint32_t skTickActivityDefault(void* window, const char* mark) {
  std::shared_ptr<Activity> activity = find(window);
  if (activity == nullptr) return 0;
  std::size_t n = mark != nullptr ? std::strlen(mark) : 0;
  char* copy = new (std::nothrow) char[n + 1];
  if (copy == nullptr) return activity->result.load();
  std::memcpy(copy, mark != nullptr ? mark : "", n + 1);
  if (!ui::post_message(activity->window, kAddMark, 0, LPARAM(copy), &release_mark)) delete[] copy;
  if (ui::on_ui_thread()) ui::process_pending();
  return activity->result.load();
}

SK_API SkTickActivityFunction skSetTickActivity(SkTickActivityFunction hook) {
  SkTickActivityFunction previous = skTickActivity;
  skTickActivity = hook;
  return previous;
}

SK_API void skStopActivity(void* window) {
  std::shared_ptr<Activity> activity;
  {
    std::lock_guard lock(registry_mutex);
    auto found = registry().find(reinterpret_cast<uintptr_t>(window));
    if (found == registry().end()) return;
    activity = found->second;
    registry().erase(found);
  }
  ui::run_on_ui_thread([&] { ui::destroy_window(activity->window); });
}
