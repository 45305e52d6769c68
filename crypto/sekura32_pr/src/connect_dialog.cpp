// CONNECT_DIALOG: the user's name, password and target server, the target
// chosen from the user names of the key base.
#include <atomic>
#include <cstring>
#include <string>

#include "dialogs.h"
#include "kit/codepage.h"
#include "kit/dialog_box.h"
#include "kit/dialog_helpers.h"
#include "kit/kit_state.h"
#include "sekura32/sekura32.h"
#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/services.h"
#include "ui/window.h"

namespace kelda::sekura32_pr {

namespace {

using ui::Hwnd;

constexpr int kUser = 10101, kPassword = 10102, kTarget = 10104;

// The list being filled while the library offers the key base's users (the
// key-lookup callback is process-wide, the dialog runs on one thread).
std::atomic<uintptr_t> g_filling{0};

uint32_t add_offered_name(void*, const char* name, const uint8_t*, int32_t, uint32_t, int32_t, uint32_t, SkStream*,
                          uint32_t) {
  const Hwnd list(g_filling.load());
  if (!list || name == nullptr) return SK_OK;
  std::string text(std::strlen(name) + 1, '\0');
  kit::mbs_cp866_to_cp1251(name, text.data());
  text.resize(std::strlen(name));
  const std::u16string wide = kit::decode(kit::CodePage::cp1251, text);
  ui::send_message(list, ui::cb::add_string, 0, reinterpret_cast<LPARAM>(wide.c_str()));
  if (ui::send_message(list, ui::cb::get_cur_sel, 0, 0) == ui::cb::err) ui::send_message(list, ui::cb::set_cur_sel, 0, 0);
  return SK_OK;
}

void fill_user_list(Hwnd dialog, const std::u16string& target) {
  const Hwnd list = ui::get_dlg_item(dialog, kTarget);
  g_filling.store(list.value());
  const SkKeyIsFunction previous = StoreKeyIsCallback(&add_offered_name);
  UserRecord user;
  skIniUser(&user);
  skGetUser(nullptr, nullptr, 0, nullptr, &user, 0, nullptr, 0);
  skBurnUser(&user);
  StoreKeyIsCallback(previous);
  g_filling.store(0);
  if (target.empty()) return;
  const auto count = ui::send_message(list, ui::cb::get_count, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const auto length = ui::send_message(list, ui::cb::get_lb_text_len, static_cast<WPARAM>(i), 0);
    if (length < 0) continue;
    std::u16string item(static_cast<std::size_t>(length) + 1, u'\0');
    ui::send_message(list, ui::cb::get_lb_text, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data()));
    item.resize(static_cast<std::size_t>(length));
    if (item.find(target) != std::u16string::npos) {
      ui::send_message(list, ui::cb::set_cur_sel, static_cast<WPARAM>(i), 0);
      return;
    }
  }
}

class ConnectDialog {
 public:
  ConnectDialog(std::u16string& user, std::u16string& password, std::u16string& target, std::size_t limit)
      : user_(user), password_(password), target_(target), limit_(limit) {}

  intptr_t procedure(Hwnd dialog, UINT message, WPARAM wparam) {
    if (message == ui::wm::init_dialog) {
      kit::center_window(dialog);
      ui::set_dlg_item_text(dialog, kUser, user_);
      ui::set_dlg_item_text(dialog, kPassword, password_);
      fill_user_list(dialog, target_);
      return 1;
    }
    if (message != ui::wm::command) return 0;
    switch (ui::lo_word(wparam)) {
      case ui::id::ok: accept(dialog); return 1;
      case ui::id::cancel: ui::end_dialog(dialog, 0); return 1;
      default: return 0;
    }
  }

 private:
  std::u16string field(Hwnd dialog, int id) const { return ui::get_dlg_item_text(dialog, id).substr(0, limit_); }

  bool refuse_empty(Hwnd dialog, const std::u16string& text, int id, const char16_t* message) {
    if (!text.empty()) return false;
    ui::message_box(dialog, message, u"Error", ui::mb::ok | ui::mb::icon_stop);
    ui::set_focus(ui::get_dlg_item(dialog, id));
    return true;
  }

  void accept(Hwnd dialog) {
    const std::u16string user = field(dialog, kUser), password = field(dialog, kPassword),
                         target = field(dialog, kTarget);
    if (refuse_empty(dialog, user, kUser, u"Not defined user name") ||
        refuse_empty(dialog, password, kPassword, u"Not defined user password") ||
        refuse_empty(dialog, target, kTarget, u"Not defined target server")) {
      return;
    }
    user_ = user;
    password_ = password;
    target_ = target;
    ui::end_dialog(dialog, 1);
  }

  std::u16string& user_;
  std::u16string& password_;
  std::u16string& target_;
  std::size_t limit_;
};

}  // namespace

int32_t choose_user_dialog(uintptr_t owner, std::u16string& user, std::u16string& password, std::u16string& target,
                           std::size_t limit) {
  register_dialog_templates();
  ConnectDialog dialog(user, password, target, limit);
  const kit::LocaleTriple locale = kit::current_locale();
  const intptr_t result = kit::localized_dialog_box(
      kDialogModule, u"CONNECT_DIALOG",
      [&dialog](Hwnd h, UINT m, WPARAM w, LPARAM) { return dialog.procedure(h, m, w); }, Hwnd(owner),
      locale.language, locale.sub_language);
  return result == 1 ? 1 : 0;
}

}  // namespace kelda::sekura32_pr
