// Dialogs built from templates registered by resource name.
//
// A template lists the dialog's controls in dialog units (a quarter of the
// dialog font's average character width, an eighth of its height). Templates
// are registered per module ("" for the program, a library's own name for its
// resources) under a number or a text name. A dialog can be given a portrait
// and a landscape template: on every size change its controls move to the
// places of the template that matches the screen's shape.
//
// A dialog runs either as a Dialog object (hooks for init, commands,
// notifications, OK and cancel, data exchange) or from a plain dialog
// procedure that answers TRUE for what it handled. Modal dialogs go through
// the dialog service (services.h): tests script them. A modal dialog asked
// for on a thread other than the user-interface thread runs there while the
// asking thread waits; with no user-interface thread it answers id::cancel
// with the last error error::cancelled. A missing template answers -1.
//
// Threading: user-interface thread, except the modal calls described above.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/export.h"
#include "ui/resources.h"
#include "ui/types.h"
#include "ui/window.h"

namespace kelda::ui {

namespace ds {
inline constexpr DWORD abs_align = 0x01;
inline constexpr DWORD set_font = 0x40;
inline constexpr DWORD modal_frame = 0x80;
inline constexpr DWORD control = 0x400;  // a page inside another dialog
inline constexpr DWORD center = 0x800;
}  // namespace ds

struct DialogItem {
  std::u16string_view class_name;  // a class_name:: value or a registered class
  std::u16string text;
  int id = id::static_text;
  DWORD style = 0;  // ws::child is always added; add ws::visible to show it
  int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  DWORD ex_style = 0;
  // Static pictures, icons and bitmap buttons: the bitmap of the module
  // (0: none).
  ResourceName image = 0;
};

struct DialogTemplate {
  DWORD style = ws::popup | ws::caption | ws::visible | ds::modal_frame;
  DWORD ex_style = 0;
  int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  std::u16string caption;
  std::u16string font_face = u"Tahoma";
  int font_points = 8;
  // Fill the screen's work area (less a menu bar) like the shell's dialogs.
  bool full_screen = false;
  std::vector<DialogItem> items;
};

KELDA_UI_API void register_dialog_template(std::string_view module, const ResourceName& name,
                                           DialogTemplate tpl);
KELDA_UI_API const DialogTemplate* find_dialog_template(std::string_view module,
                                                        const ResourceName& name);

// A dialog procedure: answers non-zero for a message it handled.
using DialogProcedure = std::function<intptr_t(Hwnd, UINT, WPARAM, LPARAM)>;

class DataExchange;

class KELDA_UI_API Dialog : public Window {
 public:
  Dialog(std::string module, ResourceName name);
  ~Dialog() override;

  // Runs modally over `owner` (see the header comment for the answers).
  intptr_t do_modal(Hwnd owner);
  // Creates the dialog modeless: a child of `parent` for a ds::control
  // template, else a popup owned by it.
  bool create_modeless(Hwnd parent);
  void end_dialog(intptr_t result);
  bool ended() const { return ended_; }
  intptr_t result() const { return result_; }

  // Moves data between controls and members through do_data_exchange();
  // false (with a message shown and the control focused) when a field fails.
  bool update_data(bool save);
  void set_orientation_templates(ResourceName portrait, ResourceName landscape);
  const std::string& module() const { return module_; }
  const ResourceName& template_name() const { return name_; }

  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override;

 protected:
  // Answer true to have the focus put on the first control that takes it.
  virtual bool on_init_dialog();
  // wm::command from a control or a menu; true when handled.
  virtual bool on_command(UINT id, UINT code, Hwnd control);
  // wm::notify; true when handled (result is the message's answer).
  virtual bool on_notify(NotifyHeader& header, LRESULT& result);
  virtual void on_ok();      // update_data(true), then end_dialog(id::ok)
  virtual void on_cancel();  // end_dialog(id::cancel)
  virtual void do_data_exchange(DataExchange& dx);

 private:
  friend struct DialogAccess;
  std::string module_;
  ResourceName name_;
  std::optional<ResourceName> portrait_;
  std::optional<ResourceName> landscape_;
  bool ended_ = false;
  intptr_t result_ = 0;
};

KELDA_UI_API intptr_t dialog_box(std::string_view module, const ResourceName& name, Hwnd owner,
                                 DialogProcedure proc, LPARAM init_param = 0);
KELDA_UI_API intptr_t dialog_box_indirect(const DialogTemplate& tpl, Hwnd owner,
                                          DialogProcedure proc, LPARAM init_param = 0);
KELDA_UI_API Hwnd create_dialog(std::string_view module, const ResourceName& name, Hwnd owner,
                                DialogProcedure proc, LPARAM init_param = 0);
KELDA_UI_API Hwnd create_dialog_indirect(const DialogTemplate& tpl, Hwnd owner,
                                         DialogProcedure proc, LPARAM init_param = 0);
KELDA_UI_API bool end_dialog(Hwnd dialog, intptr_t result);
// The template a dialog window was made from (null for other windows).
KELDA_UI_API const DialogTemplate* dialog_template_of(Hwnd dialog);
// Dialog units to pixels for a dialog (by its font).
KELDA_UI_API RECT map_dialog_rect(Hwnd dialog, RECT units);
// Places the dialog's controls as in `tpl` (matched by id; same-id statics in
// order). Used for the portrait and landscape variants.
KELDA_UI_API void apply_template_layout(Hwnd dialog, const DialogTemplate& tpl);
// The result word of a dialog procedure for a notification.
KELDA_UI_API void set_dialog_result(Hwnd dialog, LRESULT result);
// Keyboard navigation of a dialog (tab order, Enter, Escape, radio groups).
KELDA_UI_API bool is_dialog_message(Hwnd dialog, Message& msg);
KELDA_UI_API Hwnd next_dlg_tab_item(Hwnd dialog, Hwnd control, bool previous);
KELDA_UI_API Hwnd next_dlg_group_item(Hwnd dialog, Hwnd control, bool previous);

KELDA_UI_API LRESULT send_dlg_item_message(Hwnd dialog, int id, UINT msg, WPARAM wparam = 0,
                                           LPARAM lparam = 0);
KELDA_UI_API bool set_dlg_item_text(Hwnd dialog, int id, std::u16string_view text);
KELDA_UI_API std::u16string get_dlg_item_text(Hwnd dialog, int id);
KELDA_UI_API bool set_dlg_item_int(Hwnd dialog, int id, int value);
KELDA_UI_API std::optional<int> get_dlg_item_int(Hwnd dialog, int id);
KELDA_UI_API bool check_dlg_button(Hwnd dialog, int id, int state);
KELDA_UI_API int is_dlg_button_checked(Hwnd dialog, int id);
KELDA_UI_API bool check_radio_button(Hwnd dialog, int first_id, int last_id, int check_id);

// --- Data exchange -----------------------------------------------------------------------------
class KELDA_UI_API DataExchange {
 public:
  DataExchange(Hwnd dialog, bool save) : dialog_(dialog), save_(save) {}
  Hwnd dialog() const { return dialog_; }
  bool saving() const { return save_; }
  bool failed() const { return failed_; }
  // Shows the message (error icon), focuses the control and marks the failure.
  void fail(int control_id, std::u16string_view message);

 private:
  Hwnd dialog_;
  bool save_;
  bool failed_ = false;
};
KELDA_UI_API void ddx_text(DataExchange& dx, int id, std::u16string& value);
KELDA_UI_API void ddx_text(DataExchange& dx, int id, int& value);
KELDA_UI_API void ddx_text(DataExchange& dx, int id, double& value);
KELDA_UI_API void ddx_check(DataExchange& dx, int id, int& value);
// A radio group starting at `first_id`: index of the checked button, -1 none.
KELDA_UI_API void ddx_radio(DataExchange& dx, int first_id, int& value);
KELDA_UI_API void ddx_cb_index(DataExchange& dx, int id, int& index);
KELDA_UI_API void ddx_cb_string(DataExchange& dx, int id, std::u16string& value);
KELDA_UI_API void ddx_lb_index(DataExchange& dx, int id, int& index);
KELDA_UI_API void ddx_date(DataExchange& dx, int id, SYSTEMTIME& value);
// Limits the edit on loading; refuses a longer text on saving.
KELDA_UI_API void ddv_max_chars(DataExchange& dx, int id, const std::u16string& value, int max);
KELDA_UI_API void ddv_min_max(DataExchange& dx, int id, int value, int min, int max);

}  // namespace kelda::ui
