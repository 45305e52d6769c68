// The two-factor dialogs: templates, procedures and their checks.
#include "two_factor/two_factor_dialogs.h"

#include <cstdio>
#include <functional>
#include <mutex>

#include "kit/codepage.h"
#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/services.h"
#include "ui/window.h"

namespace kelda::kelapi {
namespace {

namespace ids = two_factor_ids;
using ui::Hwnd;

constexpr const char16_t* kCaption = u"RSA SecurID two-factor authentication";
constexpr int kFieldChars = 63;
constexpr DWORD kTab = ui::ws::visible | ui::ws::tab_stop;
constexpr DWORD kEdit = kTab | ui::ws::border | ui::es::auto_hscroll;

ui::DialogItem label(const char16_t* text, int x, int y, int cx, int cy = 10) {
  return {ui::class_name::static_, text, ui::id::static_text, ui::ws::visible, x, y, cx, cy};
}
ui::DialogItem edit(int id, int y, bool secret) {
  return {ui::class_name::edit, u"", id, kEdit | (secret ? ui::es::password : 0u), 80, y, 85, 12};
}
ui::DialogItem button(const char16_t* text, int id, int x, int y, bool default_button = false) {
  return {ui::class_name::button, text, id, kTab | (default_button ? ui::bs::def_push_button : ui::bs::push_button),
          x, y, 50, 14};
}

ui::DialogTemplate base(const char16_t* caption, int cy) {
  ui::DialogTemplate d;
  d.style |= ui::ds::center;
  d.cx = 170;
  d.cy = cy;
  d.caption = caption;
  return d;
}

void register_templates() {
  static std::once_flag once;
  std::call_once(once, [] {
    ui::DialogTemplate token = base(kCaption, 120);
    token.items = {
        label(u"Type your PIN and the number, displayed on your RSA SecurID token. \nIf you not yet choose a PIN or "
              u"use mode when no PIN required, type only the number, displayed on your RSA SecurID token.",
              5, 4, 160, 56),
        label(u" PIN:", 5, 64, 70), edit(ids::pin, 62, true),
        label(u" Number on token:", 5, 80, 70), edit(ids::token, 78, false),
        button(u"Enter", ui::id::ok, 30, 100, true), button(u"Cancel", ui::id::cancel, 90, 100)};
    ui::register_dialog_template(kTwoFactorModule, ids::token_dialog, token);

    ui::DialogTemplate next = base(kCaption, 90);
    next.items = {
        label(u"Wait until the number displayed on your RSA SecurID token changes, and than type new number from "
              u"your RSA SecurID token.",
              5, 4, 160, 40),
        label(u" Number on token:", 5, 50, 70), edit(ids::next_token, 48, false),
        button(u"Enter", ui::id::ok, 30, 70, true), button(u"Cancel", ui::id::cancel, 90, 70)};
    ui::register_dialog_template(kTwoFactorModule, ids::next_token_dialog, next);

    ui::DialogTemplate chosen = base(kCaption, 100);
    chosen.items = {
        label(u"", 5, 4, 160, 30), label(u" Type new PIN:", 5, 40, 70), edit(ids::new_pin, 38, true),
        label(u" Retype PIN once more:", 5, 56, 70), edit(ids::repeat_pin, 54, true),
        button(u"Set", ui::id::ok, 30, 80, true), button(u"Cancel", ui::id::cancel, 90, 80)};
    chosen.items[0].id = ids::rule_text;
    ui::register_dialog_template(kTwoFactorModule, ids::new_pin_dialog, chosen);

    ui::DialogTemplate system = base(kCaption, 70);
    system.items = {
        label(u"You must set system generated PIN", 5, 4, 160), label(u" Your's new PIN:", 5, 22, 70),
        {ui::class_name::edit, u"", ids::system_pin, kEdit | ui::es::read_only, 80, 20, 85, 12},
        button(u"Set", ui::id::ok, 30, 48, true), button(u"Cancel", ui::id::cancel, 90, 48)};
    ui::register_dialog_template(kTwoFactorModule, ids::system_pin_dialog, system);

    ui::DialogTemplate either = base(kCaption, 120);
    either.items = {
        label(u"", 5, 4, 160, 30), label(u" Your's new PIN:", 5, 40, 70), edit(ids::new_pin, 38, true),
        label(u" Retype PIN once more:", 5, 56, 70), edit(ids::repeat_pin, 54, true),
        label(u" System generated PIN:", 5, 72, 70),
        {ui::class_name::edit, u"", ids::system_pin, kEdit | ui::es::read_only, 80, 70, 50, 12},
        button(u"Show", ids::show, 132, 69), button(u"Set", ui::id::ok, 30, 98, true),
        button(u"Cancel", ui::id::cancel, 90, 98)};
    either.items[0].id = ids::rule_text;
    either.items[8].cx = 33;
    ui::register_dialog_template(kTwoFactorModule, ids::either_pin_dialog, either);

    ui::DialogTemplate access = base(u"Two-factor authentification", 110);
    access.items = {
        label(u"To continue you must enter an access password (PIN), that should be obtained from your broker "
              u"through the predefined information channel",
              5, 4, 160, 40),
        label(u" Type PIN:", 5, 50, 70), edit(ids::new_pin, 48, true),
        label(u" Retype PIN once more:", 5, 66, 70), edit(ids::repeat_pin, 64, true),
        button(u"Enter", ui::id::ok, 30, 88, true), button(u"Cancel", ui::id::cancel, 90, 88)};
    ui::register_dialog_template(kTwoFactorModule, ids::access_pin_dialog, access);
  });
}

std::string narrow(const std::u16string& text) { return kit::encode(kit::CodePage::cp1251, text); }
std::u16string wide(std::string_view text) { return kit::decode(kit::CodePage::cp1251, text); }

std::string text_of(Hwnd dialog, int id) {
  std::u16string typed = ui::get_dlg_item_text(dialog, id);
  std::string text = narrow(typed);
  std::fill(typed.begin(), typed.end(), u'\0');
  return text;
}

void limit_fields(Hwnd dialog, std::initializer_list<int> fields) {
  for (int id : fields) ui::send_dlg_item_message(dialog, id, ui::em::limit_text, kFieldChars);
}

// Complains about an entry and puts the focus back on the first one.
void complain(Hwnd dialog, int focus, const char16_t* text, const char16_t* caption) {
  ui::set_focus(ui::get_dlg_item(dialog, focus));
  ui::message_box(dialog, text, caption, ui::mb::ok | ui::mb::icon_error);
}

// The rule text of the PIN dialogs.
std::u16string rule_text(const char* format, const KelapiPinRule& rule) {
  char text[256];
  std::snprintf(text, sizeof text, format, rule.min_length, rule.max_length,
                rule.letters_allowed != 0 ? "digits and letters" : "only digits");
  return wide(text);
}

// The checks of a typed new PIN, in order; the complaint or null.
const char16_t* pin_complaint(const std::string& pin, const std::string& repeat, const KelapiPinRule& rule,
                              const char16_t* empty) {
  if (pin != repeat) return u"The password You typed do not matched.";
  if (pin.empty()) return empty;
  if (pin.size() < rule.min_length) return u"The specified PIN is too short.";
  if (pin.size() > rule.max_length) return u"The specified PIN is too long.";
  if (rule.letters_allowed == 0 && pin.find_first_not_of("0123456789") != std::string::npos) {
    return u"Your PIN can consist only from digits according to system settings.";
  }
  return nullptr;
}

// Runs a dialog whose OK is checked by `accept`, which ends the dialog when
// the entries pass (and keeps the answer) and complains otherwise.
std::optional<std::string> run(int dialog_id, std::function<void(Hwnd)> open,
                               std::function<bool(Hwnd, std::string&)> accept,
                               std::function<void(Hwnd, int)> other = {}) {
  register_templates();
  std::string answer;
  const intptr_t result = ui::dialog_box(
      kTwoFactorModule, dialog_id, Hwnd{},
      [&](Hwnd dialog, UINT message, WPARAM wparam, LPARAM) -> intptr_t {
        if (message == ui::wm::init_dialog) {
          open(dialog);
          return 1;
        }
        if (message != ui::wm::command) return 0;
        const int id = ui::lo_word(wparam);
        if (id == ui::id::ok) {
          if (accept(dialog, answer)) ui::end_dialog(dialog, ui::id::ok);
          return 1;
        }
        if (id == ui::id::cancel) {
          ui::end_dialog(dialog, ui::id::cancel);
          return 1;
        }
        if (other) other(dialog, id);
        return 0;
      });
  if (result != ui::id::ok) {
    std::fill(answer.begin(), answer.end(), '\0');
    return std::nullopt;
  }
  return answer;
}

std::optional<std::string> ask_chosen_pin(const KelapiPinRule& rule, int dialog_id, const char* format,
                                          const char16_t* empty) {
  const bool with_system_pin = dialog_id == ids::either_pin_dialog;
  return run(
      dialog_id,
      [&](Hwnd dialog) {
        limit_fields(dialog, {ids::new_pin, ids::repeat_pin});
        ui::set_dlg_item_text(dialog, ids::rule_text, rule_text(format, rule));
      },
      [&](Hwnd dialog, std::string& answer) {
        std::string pin = text_of(dialog, ids::new_pin);
        std::string repeat = text_of(dialog, ids::repeat_pin);
        const char16_t* complaint = pin_complaint(pin, repeat, rule, empty);
        std::fill(repeat.begin(), repeat.end(), '\0');
        if (complaint != nullptr) {
          std::fill(pin.begin(), pin.end(), '\0');
          complain(dialog, ids::new_pin, u"Error", complaint);
          return false;
        }
        answer = std::move(pin);
        return true;
      },
      [&](Hwnd dialog, int id) {
        if (!with_system_pin || id != ids::show) return;
        ui::set_dlg_item_text(dialog, ids::system_pin, wide(rule.system_pin));
        ui::enable_window(ui::get_dlg_item(dialog, ids::show), false);
      });
}

}  // namespace

std::optional<std::string> ask_token(bool next) {
  const int field = next ? ids::next_token : ids::token;
  return run(
      next ? ids::next_token_dialog : ids::token_dialog,
      [&](Hwnd dialog) {
        if (next) limit_fields(dialog, {ids::next_token});
        else limit_fields(dialog, {ids::pin, ids::token});
      },
      [&](Hwnd dialog, std::string& answer) {
        std::string token = text_of(dialog, field);
        if (token.empty()) {
          complain(dialog, field, u"Not set user token data.", u"Error");
          return false;
        }
        answer = next ? std::move(token) : text_of(dialog, ids::pin) + token;
        std::fill(token.begin(), token.end(), '\0');
        return true;
      });
}

std::optional<std::string> ask_new_pin(const KelapiPinRule& rule) {
  if (rule.mode == 65) {
    return run(
        ids::access_pin_dialog, [&](Hwnd dialog) { limit_fields(dialog, {ids::new_pin, ids::repeat_pin}); },
        [&](Hwnd dialog, std::string& answer) {
          std::string pin = text_of(dialog, ids::new_pin);
          std::string repeat = text_of(dialog, ids::repeat_pin);
          const char16_t* complaint = pin != repeat ? u"The password you typed does not match."
                                      : pin.empty() ? u"User PIN not set."
                                                    : nullptr;
          std::fill(repeat.begin(), repeat.end(), '\0');
          if (complaint != nullptr) {
            std::fill(pin.begin(), pin.end(), '\0');
            complain(dialog, ids::new_pin, u"Error", complaint);
            return false;
          }
          answer = std::move(pin);
          return true;
        });
  }
  if (rule.mode > 65) return std::nullopt;
  if ((rule.mode & 0x1) != 0) {
    return ask_chosen_pin(rule, ids::new_pin_dialog,
                          "You must set new PIN, not shorter than %u and not longer than %u symbols. You can type %s",
                          u"Not set user PIN.");
  }
  if ((rule.mode & 0x2) != 0) {
    return run(
        ids::system_pin_dialog, [&](Hwnd dialog) { ui::set_dlg_item_text(dialog, ids::system_pin, wide(rule.system_pin)); },
        [&](Hwnd dialog, std::string& answer) {
          answer = text_of(dialog, ids::system_pin);
          return true;
        });
  }
  if ((rule.mode & 0x4) != 0) {
    return ask_chosen_pin(rule, ids::either_pin_dialog,
                          "You can set new PIN, not shorter than %u and not longer than %u symbols (can type %s), or "
                          "can set system generated PIN",
                          u"User PIN not set");
  }
  return std::nullopt;
}

}  // namespace kelda::kelapi
