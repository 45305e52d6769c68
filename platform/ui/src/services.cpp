// The dialog service: the layer's own implementation and the entry points
// that route every question through the service of the running session.
#include "ui/services.h"

#include "core.h"
#include "menu_internal.h"
#include "platform/last_error.h"
#include "std_dialogs.h"

namespace kelda::ui {

using namespace detail;

Services::~Services() = default;

namespace {
class DefaultServices final : public Services {
 public:
  int message_box(const MessageBoxRequest& request) override { return show_message_box(request); }
  std::optional<FileDialogResult> file_dialog(const FileDialogRequest& request) override {
    return show_file_dialog(request);
  }
  void run_modal(ModalSession& session) override { run_loop_until(session.ended); }
  UINT track_popup_menu(const PopupMenuRequest& request) override {
    return run_popup_menu(request.menu, request.screen, request.flags, request.owner);
  }
};
}  // namespace

std::shared_ptr<Services> default_services() {
  static std::shared_ptr<Services> s = std::make_shared<DefaultServices>();
  return s;
}

std::shared_ptr<Services> set_services(std::shared_ptr<Services> services) {
  std::shared_ptr<Services> old;
  run_on_ui_thread([&] {
    old = g_core->services;
    g_core->services = services ? std::move(services) : default_services();
  });
  return old;
}

std::shared_ptr<Services> current_services() {
  std::shared_ptr<Services> s;
  run_on_ui_thread([&] { s = g_core->services; });
  return s;
}

int message_box(Hwnd owner, std::u16string_view text, std::u16string_view caption, UINT type) {
  int answer = id::cancel;
  MessageBoxRequest req{owner, std::u16string(text), std::u16string(caption), type};
  bool ran = run_on_ui_thread([&] {
    auto s = g_core->services;
    answer = s->message_box(req);
  });
  if (!ran) {
    platform::set_last_error(platform::error::cancelled);
    return id::cancel;
  }
  return answer;
}

namespace {
std::optional<FileDialogResult> file_dialog(FileDialogRequest req, bool save) {
  req.save = save;
  std::optional<FileDialogResult> out;
  bool ran = run_on_ui_thread([&] {
    auto s = g_core->services;
    out = s->file_dialog(req);
  });
  if (!ran) {
    platform::set_last_error(platform::error::cancelled);
    return std::nullopt;
  }
  if (out && out->path.size() > req.max_length) {
    platform::set_last_error(platform::error::insufficient_buffer);
    return std::nullopt;
  }
  return out;
}
}  // namespace

std::optional<FileDialogResult> get_open_file_name(const FileDialogRequest& request) {
  return file_dialog(request, false);
}
std::optional<FileDialogResult> get_save_file_name(const FileDialogRequest& request) {
  return file_dialog(request, true);
}

}  // namespace kelda::ui
