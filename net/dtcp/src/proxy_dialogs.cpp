// The proxy settings dialog (PROXY_CFG_DIALOG) and the proxy's name and
// password dialog (PROXY_NAME_PASSWORD_DIALOG): their templates in English
// and Russian, their dialog procedures, and zn_tcp_config_proxy_settings.
#include "proxy_dialogs.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <cstring>
#include <mutex>
#include <optional>

#include "kit/codepage.h"
#include "kit/dialog_box.h"
#include "kit/dialog_helpers.h"
#include "kit/messages.h"
#include "kit/resources.h"
#include "proxy.h"
#include "ui/controls.h"
#include "ui/ip_address.h"
#include "ui/services.h"
#include "ui/window.h"

namespace kelda::dtcp {

namespace {

namespace ids = proxy_ids;
using ui::Hwnd;

// The texts of one language's templates.
struct DialogTexts {
  uint16_t language;
  const char16_t* settings_caption;
  const char16_t* use_proxy;
  const char16_t* address;
  const char16_t* port;
  const char16_t* protocol;
  const char16_t* ask;
  const char16_t* stored;
  const char16_t* user_name;
  const char16_t* password;
  const char16_t* enter;
  const char16_t* cancel;
  const char16_t* help;
  const char16_t* login_caption;
  const char16_t* protocols[4];
};

const DialogTexts kEnglish{
    kelda::kit::kLanguageEnglish,
    u"Internet connection",
    u"Access Internet using a proxy server",
    u"Address:",
    u"Port:",
    u"Protocol:",
    u"Ask name and password during connection",
    u"Load name and password from file",
    u"User name:",
    u"Password:",
    u"&Enter",
    u"&Cancel",
    u"&Help",
    u"User Login",
    {u"CONNECT through HTTP port of proxy server", u"SOCKS5 protocol without user identification",
     u"SOCKS5 protocol with identification by name and password",
     u"CONNECT through HTTP port with identification by name and password"},
};

const DialogTexts kRussian{
    kelda::kit::kLanguageRussian,
    u"Подключение к Интернету",
    u"Подключаться к Интернету через прокси-сервер",
    u"Адрес:",
    u"Порт:",
    u"Протокол:",
    u"Запрашивать имя и пароль при подключении",
    u"Загружать имя и пароль из файла",
    u"Имя:",
    u"Пароль:",
    u"&Ввод",
    u"&Отмена",
    u"&Справка",
    u"Вход пользователя",
    {u"CONNECT через HTTP-порт прокси-сервера", u"Протокол SOCKS5 без идентификации пользователя",
     u"Протокол SOCKS5 с идентификацией по имени и паролю",
     u"CONNECT через HTTP-порт с идентификацией по имени и паролю"},
};

const DialogTexts& texts_for(const Locale& locale) {
  return locale.language == kelda::kit::kLanguageRussian ? kRussian : kEnglish;
}

// Messages of the settings dialog (shown in Russian whatever the language).
constexpr const char16_t* kNoAddress = u"Не указан IP-адрес прокси - сервера.";
constexpr const char16_t* kBadAddress = u"Неверно указан IP-адрес прокси - сервера.";
constexpr const char16_t* kNoPort = u"Не указан IP-порт прокси - сервера.";
constexpr const char16_t* kBadPort = u"Неверно указан IP-порт прокси - сервера.";
constexpr const char16_t* kErrorCaption = u"Ошибка";

constexpr DWORD kTab = ui::ws::visible | ui::ws::tab_stop;
constexpr DWORD kEdit = kTab | ui::ws::border | ui::es::auto_hscroll;

ui::DialogItem label(const char16_t* text, int x, int y, int cx) {
  return {ui::class_name::static_, text, ui::id::static_text, ui::ws::visible, x, y, cx, 10};
}

ui::DialogTemplate settings_template(const DialogTexts& t) {
  ui::DialogTemplate d;
  d.style |= ui::ds::center;
  d.cx = 150;
  d.cy = 166;
  d.caption = t.settings_caption;
  d.items = {
      {ui::class_name::button, t.use_proxy, ids::use_proxy, kTab | ui::bs::auto_check_box, 5, 4, 140, 12},
      label(t.address, 5, 21, 42),
      {ui::class_name::ip_address, u"", ids::address, kTab | ui::ws::border, 50, 19, 95, 12},
      label(t.port, 5, 36, 42),
      {ui::class_name::edit, u"", ids::port, kEdit | ui::es::number, 50, 34, 40, 12},
      label(t.protocol, 5, 50, 60),
      {ui::class_name::combo_box, u"", ids::protocol,
       kTab | ui::ws::vscroll | ui::cbs::drop_down_list | ui::cbs::sort | ui::cbs::has_strings, 5,
       61, 140, 60},
      {ui::class_name::button, t.ask, ids::ask, kTab | ui::ws::group | ui::bs::auto_radio_button,
       5, 78, 140, 12},
      {ui::class_name::button, t.stored, ids::stored, kTab | ui::bs::auto_radio_button, 5, 91, 140,
       12},
      label(t.user_name, 5, 108, 42),
      {ui::class_name::edit, u"", ids::user_name, kEdit | ui::ws::group, 50, 106, 95, 12},
      label(t.password, 5, 123, 42),
      {ui::class_name::edit, u"", ids::password, kEdit | ui::es::password, 50, 121, 95, 12},
      {ui::class_name::button, t.enter, ui::id::ok, kTab | ui::ws::group | ui::bs::def_push_button,
       5, 146, 44, 14},
      {ui::class_name::button, t.cancel, ui::id::cancel, kTab | ui::bs::push_button, 53, 146, 44, 14},
      {ui::class_name::button, t.help, ids::help, kTab | ui::bs::push_button, 101, 146, 44, 14},
  };
  return d;
}

ui::DialogTemplate login_template(const DialogTexts& t) {
  ui::DialogTemplate d;
  d.style |= ui::ds::center;
  d.cx = 150;
  d.cy = 62;
  d.caption = t.login_caption;
  d.items = {
      label(t.user_name, 5, 7, 42),
      {ui::class_name::edit, u"", ids::login_name, kEdit, 50, 5, 95, 12},
      label(t.password, 5, 22, 42),
      {ui::class_name::edit, u"", ids::login_password, kEdit | ui::es::password, 50, 20, 95, 12},
      {ui::class_name::button, t.enter, ui::id::ok, kTab | ui::bs::def_push_button, 30, 42, 44, 14},
      {ui::class_name::button, t.cancel, ui::id::cancel, kTab | ui::bs::push_button, 78, 42, 44, 14},
  };
  return d;
}

void register_templates() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (const DialogTexts* t : {&kEnglish, &kRussian}) {
      const auto name = [&](const char16_t* base) {
        return ui::ResourceName(
            kelda::kit::localized_resource_name(base, t->language, kelda::kit::kSubLanguageDefault));
      };
      ui::register_dialog_template(kDialogModule, name(u"PROXY_CFG_DIALOG"), settings_template(*t));
      ui::register_dialog_template(kDialogModule, name(u"PROXY_NAME_PASSWORD_DIALOG"),
                                   login_template(*t));
    }
  });
}

std::u16string wide(std::string_view text) { return kelda::kit::decode(kelda::kit::CodePage::cp1251, text); }
std::string narrow(std::u16string_view text) { return kelda::kit::encode(kelda::kit::CodePage::cp1251, text); }

std::string dotted(uint32_t address) {
  const auto* b = reinterpret_cast<const uint8_t*>(&address);
  return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
         std::to_string(b[3]);
}

// The proxy's host name by a reverse look-up, or "Proxy server".
std::string proxy_host_name(uint32_t address) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = address;
  char host[NI_MAXHOST] = "";
  if (::getnameinfo(reinterpret_cast<sockaddr*>(&sa), sizeof sa, host, sizeof host, nullptr, 0,
                    NI_NAMEREQD) != 0) {
    return "Proxy server";
  }
  return host;
}

// ---- the settings dialog ----

class SettingsDialog {
 public:
  SettingsDialog(zn_proxy_params& proxy, const DialogTexts& texts) : proxy_(proxy), texts_(texts) {}

  intptr_t procedure(Hwnd dialog, UINT message, WPARAM wparam) {
    if (message == ui::wm::init_dialog) {
      open(dialog);
      return 1;
    }
    if (message != ui::wm::command) return 0;
    const int id = ui::lo_word(wparam);
    switch (id) {
      case ui::id::ok:
        enter(dialog);
        return 1;
      case ui::id::cancel:
        ui::end_dialog(dialog, ui::id::cancel);
        return 1;
      case ids::help:
        return 1;
      default:
        update_enabling(dialog);
        return 0;
    }
  }

 private:
  void open(Hwnd dialog) {
    ui::check_dlg_button(dialog, ids::use_proxy, proxy_.use_proxy == 1 ? ui::bst::checked
                                                                        : ui::bst::unchecked);
    const Hwnd list = ui::get_dlg_item(dialog, ids::protocol);
    const uint32_t current = proxy_.protocol >= 1 && proxy_.protocol <= 4 ? proxy_.protocol : kProxySocks5;
    for (uint32_t protocol = 1; protocol <= 4; ++protocol) {
      const LRESULT at = ui::send_message(list, ui::cb::add_string, 0,
                                          reinterpret_cast<LPARAM>(texts_.protocols[protocol - 1]));
      ui::send_message(list, ui::cb::set_item_data, static_cast<WPARAM>(at), protocol);
    }
    for (LRESULT i = 0, n = ui::send_message(list, ui::cb::get_count); i < n; ++i) {
      if (static_cast<uint32_t>(ui::send_message(list, ui::cb::get_item_data, i)) == current) {
        ui::send_message(list, ui::cb::set_cur_sel, static_cast<WPARAM>(i));
      }
    }
    ui::check_radio_button(dialog, ids::ask, ids::stored,
                           proxy_.get_password_mode == 0 ? ids::ask : ids::stored);
    if (proxy_.address != 0) {
      const auto* b = reinterpret_cast<const uint8_t*>(&proxy_.address);  // network order
      ui::send_dlg_item_message(dialog, ids::address, ui::ipm::set_address, 0,
                                static_cast<LPARAM>(ui::make_ip_address(b[0], b[1], b[2], b[3])));
    }
    ui::set_dlg_item_text(dialog, ids::port, wide(std::to_string(proxy_.port)));
    for (int id : {ids::user_name, ids::password}) {
      ui::send_dlg_item_message(dialog, id, ui::em::limit_text, kMaxProxyField);
    }
    ui::set_dlg_item_text(dialog, ids::user_name,
                          wide(std::string_view(proxy_.user_name, strnlen(proxy_.user_name, kMaxProxyField))));
    ui::set_dlg_item_text(dialog, ids::password,
                          wide(std::string_view(proxy_.password, strnlen(proxy_.password, kMaxProxyField))));
    update_enabling(dialog);
  }

  static uint32_t selected_protocol(Hwnd dialog) {
    const LRESULT at = ui::send_dlg_item_message(dialog, ids::protocol, ui::cb::get_cur_sel);
    if (at < 0) return 0;
    return static_cast<uint32_t>(ui::send_dlg_item_message(dialog, ids::protocol, ui::cb::get_item_data,
                                                           static_cast<WPARAM>(at)));
  }

  static void update_enabling(Hwnd dialog) {
    const bool on = ui::is_dlg_button_checked(dialog, ids::use_proxy) == ui::bst::checked;
    const uint32_t protocol = selected_protocol(dialog);
    const bool login = on && (protocol == kProxySocks5Login || protocol == kProxyHttpLogin);
    const bool stored = login && ui::is_dlg_button_checked(dialog, ids::stored) == ui::bst::checked;
    for (int id : {ids::address, ids::port, ids::protocol}) kelda::kit::enable_dialog_item(dialog, id, on);
    for (int id : {ids::ask, ids::stored}) kelda::kit::enable_dialog_item(dialog, id, login);
    for (int id : {ids::user_name, ids::password}) kelda::kit::enable_dialog_item(dialog, id, stored);
    kelda::kit::enable_dialog_item(dialog, ui::id::ok, true);
  }

  void enter(Hwnd dialog) {
    if (ui::is_dlg_button_checked(dialog, ids::use_proxy) != ui::bst::checked) {
      proxy_.use_proxy = 0;  // the other settings stay as they were
      ui::end_dialog(dialog, ui::id::ok);
      return;
    }
    std::u16string errors;
    std::optional<int> focus;
    auto fail = [&](const char16_t* text, int id) {
      errors += text;
      errors += u'\n';
      if (!focus) focus = id;
    };
    DWORD address = 0;
    if (ui::send_dlg_item_message(dialog, ids::address, ui::ipm::is_blank) != 0) {
      fail(kNoAddress, ids::address);
    } else if (ui::send_dlg_item_message(dialog, ids::address, ui::ipm::get_address, 0,
                                         reinterpret_cast<LPARAM>(&address)) != 4) {
      fail(kBadAddress, ids::address);  // a field left blank
    }
    const std::string port = narrow(ui::get_dlg_item_text(dialog, ids::port));
    unsigned long port_value = 0;
    if (port.empty()) {
      fail(kNoPort, ids::port);
    } else if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos ||
               (port_value = std::stoul(port)) == 0 || port_value > 65535) {
      fail(kBadPort, ids::port);
    }
    if (focus) {
      ui::set_focus(ui::get_dlg_item(dialog, *focus));
      ui::message_box(dialog, errors, kErrorCaption, ui::mb::ok | ui::mb::icon_error);
      return;
    }
    proxy_.use_proxy = 1;
    const uint8_t bytes[4] = {ui::ip_address_field(address, 0), ui::ip_address_field(address, 1),
                              ui::ip_address_field(address, 2), ui::ip_address_field(address, 3)};
    std::memcpy(&proxy_.address, bytes, sizeof bytes);  // network order
    proxy_.port = static_cast<uint32_t>(port_value);
    proxy_.protocol = selected_protocol(dialog);
    if (proxy_.protocol == 0) proxy_.protocol = kProxySocks5;
    proxy_.get_password_mode =
        ui::is_dlg_button_checked(dialog, ids::stored) == ui::bst::checked ? 1 : 0;
    set_proxy_field(proxy_.user_name, narrow(ui::get_dlg_item_text(dialog, ids::user_name)));
    set_proxy_field(proxy_.password, narrow(ui::get_dlg_item_text(dialog, ids::password)));
    ui::end_dialog(dialog, ui::id::ok);
  }

  zn_proxy_params& proxy_;
  const DialogTexts& texts_;
};

}  // namespace

bool run_proxy_settings_dialog(zn_proxy_params& proxy, uintptr_t owner, const Locale& locale) {
  register_templates();
  zn_proxy_params edited = proxy;
  SettingsDialog dialog(edited, texts_for(locale));
  const intptr_t result = kelda::kit::localized_dialog_box(
      kDialogModule, u"PROXY_CFG_DIALOG",
      [&dialog](Hwnd h, UINT m, WPARAM w, LPARAM) { return dialog.procedure(h, m, w); },
      Hwnd(owner), locale.language, locale.sub_language);
  if (result != ui::id::ok) return false;
  proxy = edited;
  return true;
}

bool run_proxy_login_dialog(zn_proxy_params& proxy, uintptr_t owner, const Locale& locale) {
  register_templates();
  // Looked up here, on the asking thread, not on the user-interface thread.
  const std::u16string title = wide(proxy_host_name(proxy.address) + " [" + dotted(proxy.address) +
                                    ":" + std::to_string(proxy.port) + "]");
  const std::u16string stored_name =
      wide(std::string_view(proxy.user_name, strnlen(proxy.user_name, kMaxProxyField)));
  std::string name;
  std::string password;
  auto procedure = [&](Hwnd dialog, UINT message, WPARAM wparam, LPARAM) -> intptr_t {
    if (message == ui::wm::init_dialog) {
      ui::set_window_text(dialog, title);
      for (int id : {ids::login_name, ids::login_password}) {
        ui::send_dlg_item_message(dialog, id, ui::em::limit_text, kMaxProxyField);
      }
      ui::set_dlg_item_text(dialog, ids::login_name, stored_name);
      return 1;
    }
    if (message != ui::wm::command) return 0;
    const int id = ui::lo_word(wparam);
    if (id == ui::id::ok) {
      name = narrow(ui::get_dlg_item_text(dialog, ids::login_name));
      password = narrow(ui::get_dlg_item_text(dialog, ids::login_password));
      ui::end_dialog(dialog, ui::id::ok);
      return 1;
    }
    if (id == ui::id::cancel) {
      ui::end_dialog(dialog, ui::id::cancel);
      return 1;
    }
    return 0;
  };
  const intptr_t result =
      kelda::kit::localized_dialog_box(kDialogModule, u"PROXY_NAME_PASSWORD_DIALOG", procedure,
                                Hwnd(owner), locale.language, locale.sub_language);
  if (result != ui::id::ok) return false;
  set_proxy_field(proxy.user_name, name);
  set_proxy_field(proxy.password, password);
  return true;
}

int32_t config_proxy_settings(uintptr_t owner, const std::string& ini_path, zn_proxy_params* proxy,
                              const Locale& locale) {
  zn_proxy_params settings{};
  if (proxy != nullptr) {
    settings = *proxy;
  } else if (ini_path.empty()) {
    return 0;
  } else {
    read_proxy_settings(ini_path, settings);
  }
  if (!run_proxy_settings_dialog(settings, owner, locale)) return 0;
  // Settings that could not be stored are not reported as saved.
  if (!ini_path.empty() && !write_proxy_settings(ini_path, settings)) return 0;
  if (proxy != nullptr) *proxy = settings;
  return 1;
}

}  // namespace kelda::dtcp
