// The dialog service: message boxes, file open and save dialogs, modal
// dialogs and pop-up menus all pass through one replaceable object, so tests
// answer them from a script and no test ever waits for a person.
//
// The layer's own service shows the layer's message box and file dialogs
// (ordinary dialogs of the emulated screen) and runs modal loops. Tests
// install ScriptedServices (scripted_services.h). The headless session of
// tests starts with an empty script: every question is answered "cancelled".
//
// Threading: the functions below may be called from any thread. Called off the
// user-interface thread they run there while the caller waits; with no
// user-interface thread they answer "cancelled" (id::cancel, nothing, 0) and
// set the last error error::cancelled. The service object itself is only ever
// called on the user-interface thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ui/export.h"
#include "ui/types.h"

namespace kelda::ui {

namespace mb {
inline constexpr UINT ok = 0x00000000;
inline constexpr UINT ok_cancel = 0x00000001;
inline constexpr UINT abort_retry_ignore = 0x00000002;
inline constexpr UINT yes_no_cancel = 0x00000003;
inline constexpr UINT yes_no = 0x00000004;
inline constexpr UINT retry_cancel = 0x00000005;
inline constexpr UINT type_mask = 0x0000000F;
inline constexpr UINT icon_hand = 0x00000010;  // the error icon
inline constexpr UINT icon_error = 0x00000010;
inline constexpr UINT icon_stop = 0x00000010;
inline constexpr UINT icon_question = 0x00000020;
inline constexpr UINT icon_exclamation = 0x00000030;
inline constexpr UINT icon_warning = 0x00000030;
inline constexpr UINT icon_asterisk = 0x00000040;
inline constexpr UINT icon_information = 0x00000040;
inline constexpr UINT icon_mask = 0x000000F0;
inline constexpr UINT def_button2 = 0x00000100;
inline constexpr UINT def_button3 = 0x00000200;
inline constexpr UINT application_modal = 0x00000000;
inline constexpr UINT set_foreground = 0x00010000;
inline constexpr UINT topmost = 0x00040000;
}  // namespace mb

namespace ofn {
inline constexpr DWORD read_only = 0x00000001;
inline constexpr DWORD overwrite_prompt = 0x00000002;
inline constexpr DWORD hide_read_only = 0x00000004;
inline constexpr DWORD no_change_dir = 0x00000008;
inline constexpr DWORD path_must_exist = 0x00000800;
inline constexpr DWORD file_must_exist = 0x00001000;
}  // namespace ofn

struct MessageBoxRequest {
  Hwnd owner;
  std::u16string text;
  std::u16string caption;
  UINT type = mb::ok;
};

struct FileDialogRequest {
  Hwnd owner;
  bool save = false;
  std::u16string title;
  // Pairs of description and pattern ("Text (*.txt)|*.txt|All|*.*"), joined
  // by '|' (a trailing '|' is allowed).
  std::u16string filter;
  int filter_index = 1;  // 1-based
  std::u16string initial_dir;
  std::u16string file_name;  // initial name
  std::u16string default_ext;
  DWORD flags = 0;
  size_t max_length = 260;  // longest path accepted, in UTF-16 units
};

struct FileDialogResult {
  std::u16string path;
  int filter_index = 1;
};

// A modal dialog, created and initialised, that the service runs to its end.
struct ModalSession {
  Hwnd dialog;
  std::string module;
  std::string template_name;  // ResourceName::to_string(), "" for in-memory templates
  std::function<bool()> ended;
  std::function<void(intptr_t)> end;  // ends the dialog with a result
};

struct PopupMenuRequest {
  Hmenu menu;
  UINT flags = 0;
  POINT screen{};
  Hwnd owner;
};

class KELDA_UI_API Services {
 public:
  virtual ~Services();
  virtual int message_box(const MessageBoxRequest& request) = 0;
  virtual std::optional<FileDialogResult> file_dialog(const FileDialogRequest& request) = 0;
  virtual void run_modal(ModalSession& session) = 0;
  // The chosen command, or 0.
  virtual UINT track_popup_menu(const PopupMenuRequest& request) = 0;
};

// The layer's own service (real dialogs and loops).
KELDA_UI_API std::shared_ptr<Services> default_services();
// Installs a service for the running session; answers the previous one.
KELDA_UI_API std::shared_ptr<Services> set_services(std::shared_ptr<Services> services);
KELDA_UI_API std::shared_ptr<Services> current_services();

// Shows a message box; answers id::ok, id::yes, ... (id::cancel when nobody can answer).
KELDA_UI_API int message_box(Hwnd owner, std::u16string_view text, std::u16string_view caption,
                             UINT type);
KELDA_UI_API std::optional<FileDialogResult> get_open_file_name(const FileDialogRequest& request);
KELDA_UI_API std::optional<FileDialogResult> get_save_file_name(const FileDialogRequest& request);

}  // namespace kelda::ui
