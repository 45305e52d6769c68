// The configuration dialogs (CONFIG_SETTINGS_DIALOG and
// CONFIG_ADVANCED_SETTINGS_DIALOG): the key carrier, CA, CRL, certificate
// and key paths, checked on Apply and written to the settings file.
#include <cerrno>
#include <cstring>
#include <map>

#include "dialogs.h"
#include "kit/dialog_box.h"
#include "kit/hooks.h"
#include "kit/kit_state.h"
#include "kit/messages.h"
#include "provider.h"
#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/services.h"
#include "ui/window.h"

namespace kelda::sigprov {

namespace {

using ui::Hwnd;

enum Field : int { kRoot = 1001, kCas = 1003, kCrls = 1005, kCert = 1007, kKey = 1009 };
constexpr int kBrowseRoot = 1002, kBrowseCas = 1004, kBrowseCrls = 1006, kBrowseCert = 1008, kBrowseKey = 1010;
constexpr int kAdvanced = 1017;
constexpr char16_t kError[] = u"Error";

struct Paths {
  std::map<int, std::string> values;  // by field id
};

std::string item(Hwnd dialog, int id) { return narrow(ui::get_dlg_item_text(dialog, id)); }

void show_error(Hwnd dialog, const std::string& text, int focus) {
  ui::message_box(dialog, wide(text), kError, ui::mb::ok | ui::mb::icon_error);
  ui::set_focus(ui::get_dlg_item(dialog, focus));
}

std::string file_name(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void init_fields(Hwnd dialog, const Paths& paths, std::initializer_list<int> ids) {
  uintptr_t font;
  {
    std::lock_guard<std::mutex> lock(provider().lock);
    font = provider().font;
  }
  for (int id : ids) {
    const auto found = paths.values.find(id);
    const std::u16string text = wide(found != paths.values.end() ? found->second : "");
    ui::set_dlg_item_text(dialog, id, text);
    if (font != 0) ui::send_dlg_item_message(dialog, id, ui::wm::set_font, font, 0);
    ui::send_dlg_item_message(dialog, id, ui::em::set_sel, text.size(), static_cast<LPARAM>(text.size()));
  }
}

void browse_directory(Hwnd dialog, int id, const char* title) {
  char value[261] = "";
  const std::string current = item(dialog, id).substr(0, 260);
  std::memcpy(value, current.c_str(), current.size() + 1);
  if (kit::input_text_dialog(dialog.value(), title, value, sizeof value) == 1) {
    ui::set_dlg_item_text(dialog, id, wide(value));
  }
}

void browse_file(Hwnd dialog, int id, const char16_t* title, const char16_t* filter) {
  ui::FileDialogRequest request;
  request.owner = dialog;
  request.title = title;
  request.filter = filter;
  request.flags = ui::ofn::file_must_exist | ui::ofn::path_must_exist | ui::ofn::hide_read_only;
  if (const auto chosen = ui::get_open_file_name(request)) ui::set_dlg_item_text(dialog, id, chosen->path);
}

// Moves every other path under the old root to the new root.
void move_under_root(Paths& paths, Hwnd dialog, const std::string& old_root, const std::string& new_root) {
  std::string base = old_root;
  while (!base.empty() && (base.back() == '/' || base.back() == '\\')) base.pop_back();
  if (base.empty() || old_root == new_root) return;
  for (auto& [id, value] : paths.values) {
    if (id == kRoot) continue;
    if (value.size() > base.size() && value.compare(0, base.size(), base) == 0 &&
        (value[base.size()] == '/' || value[base.size()] == '\\')) {
      std::string root = new_root;
      while (!root.empty() && (root.back() == '/' || root.back() == '\\')) root.pop_back();
      value = root + value.substr(base.size());
      if (dialog && ui::get_dlg_item(dialog, id)) ui::set_dlg_item_text(dialog, id, wide(value));
    }
  }
}

class AdvancedDialog {
 public:
  explicit AdvancedDialog(Paths& paths) : paths_(paths) {}

  intptr_t procedure(Hwnd dialog, UINT message, WPARAM wparam) {
    if (message == ui::wm::init_dialog) {
      init_fields(dialog, paths_, {kCrls, kKey});
      return 1;
    }
    if (message != ui::wm::command) return 0;
    switch (ui::lo_word(wparam)) {
      case kBrowseCrls: browse_directory(dialog, kCrls, "Select directory for CRL files"); return 1;
      case kBrowseKey:
        browse_file(dialog, kKey, u"Select file with secret cipher key", u"*.cer - key files|*.key|*.* - all files|*.*|");
        return 1;
      case ui::id::ok: apply(dialog); return 1;
      case ui::id::cancel: ui::end_dialog(dialog, 0); return 1;
      default: return 0;
    }
  }

 private:
  void apply(Hwnd dialog) {
    const std::string crls = item(dialog, kCrls), key = item(dialog, kKey);
    if (!blank(crls) && !directory_exists(absolute_path(crls))) {
      show_error(dialog, "Not set CRL files directory\nSuch directory \"" + crls + "\" not exist", kCrls);
      return;
    }
    if (!blank(key) && !file_exists(absolute_path(key))) {
      show_error(dialog, "Not set cipher key file\nSuch file \"" + file_name(key) + "\" not exist", kKey);
      return;
    }
    paths_.values[kCrls] = crls;
    paths_.values[kKey] = key;
    ui::end_dialog(dialog, 1);
  }

  Paths& paths_;
};

class SettingsDialog {
 public:
  explicit SettingsDialog(Paths& paths) : paths_(paths) {}

  intptr_t procedure(Hwnd dialog, UINT message, WPARAM wparam) {
    if (message == ui::wm::init_dialog) {
      init_fields(dialog, paths_, {kRoot, kCas, kCert});
      root_ = paths_.values[kRoot];
      return 1;
    }
    if (message != ui::wm::command) return 0;
    const int id = ui::lo_word(wparam);
    if (id == kRoot && ui::hi_word(wparam) == ui::en::kill_focus) {
      commit_root(dialog);
      return 1;
    }
    switch (id) {
      case kBrowseRoot: browse_directory(dialog, kRoot, "Select root directory for key carrier"); return 1;
      case kBrowseCas:
        browse_directory(dialog, kCas, "Select directory for trusted certification authority certificates");
        return 1;
      case kBrowseCert:
        browse_file(dialog, kCert, u"Select file with cipher key certificate",
                    u"*.cer - certificate files|*.cer;*.pem;*.crt|*.* - all files|*.*|");
        return 1;
      case kAdvanced: advanced(dialog); return 1;
      case ui::id::ok: apply(dialog); return 1;
      case ui::id::cancel: ui::end_dialog(dialog, 0); return 1;
      default: return 0;
    }
  }

 private:
  // A root directory typed in is taken when the field is left (not at
  // every keystroke): the other paths under the previous root move with it.
  void commit_root(Hwnd dialog) {
    const std::string root = item(dialog, kRoot);
    paths_.values[kCas] = item(dialog, kCas);
    paths_.values[kCert] = item(dialog, kCert);
    move_under_root(paths_, dialog, root_, root);
    root_ = root;
  }

  void advanced(Hwnd dialog) {
    commit_root(dialog);
    AdvancedDialog advanced(paths_);
    const kit::LocaleTriple locale = kit::current_locale();
    kit::localized_dialog_box(
        kDialogModule, u"CONFIG_ADVANCED_SETTINGS_DIALOG",
        [&advanced](Hwnd h, UINT m, WPARAM w, LPARAM) { return advanced.procedure(h, m, w); }, dialog,
        locale.language, locale.sub_language);
  }

  void apply(Hwnd dialog) {
    commit_root(dialog);
    const std::string root = item(dialog, kRoot), cas = item(dialog, kCas), cert = item(dialog, kCert);
    if (blank(root) || !directory_exists(absolute_path(root))) {
      show_error(dialog, blank(root) ? "Is not set root directory for key carrier"
                                     : "Is not set root directory for key carrier\nSuch directory \"" + root + "\" not exist",
                 kRoot);
      return;
    }
    if (blank(cas) || !directory_exists(absolute_path(cas))) {
      show_error(dialog, blank(cas) ? "Trusted certification authority certificates directory undefined"
                                    : "Trusted certification authority certificates directory undefined\nSuch directory \"" +
                                          cas + "\" not exist",
                 kCas);
      return;
    }
    if (blank(cert) || !file_exists(absolute_path(cert))) {
      show_error(dialog, blank(cert) ? "Not set file with cipher key certificate"
                                     : "Not set file with cipher key certificate\nSuch file \"" + file_name(cert) +
                                           "\" not exist",
                 kCert);
      return;
    }
    paths_.values[kRoot] = root;
    paths_.values[kCas] = cas;
    paths_.values[kCert] = cert;
    ui::end_dialog(dialog, 1);
  }

  Paths& paths_;
  std::string root_;
};

// Writes the keys in order; the first failure is shown and ends the writing.
int32_t write_settings(uintptr_t owner, const std::string& ini, Paths& paths) {
  struct Key {
    const char* section;
    const char* name;
    int field;
  };
  const Key keys[] = {{kSignSection, "pse_path", kRoot},
                      {kCommonSection, "CAs_path", kCas},
                      {kCommonSection, "CRLs_path", kCrls},
                      {kSignSection, "sign_cert_file_name", kCert},
                      {kSignSection, "sign_key_file_name", kKey}};
  for (const Key& k : keys) {
    errno = 0;
    if (ini_write(ini, k.section, k.name, paths.values[k.field])) continue;
    const int code = errno != 0 ? errno : EACCES;
    char16_t system[256];
    kit::system_error_text(static_cast<uint32_t>(code), system, 256);
    std::string text = "Can not write data to \"" + ini + "\":\n'" + narrow(system) + "'";
    if (code == EACCES || code == EPERM || code == EROFS) {
      text += "\nProbably file has attribute 'read only' or is in use by other program";
    }
    ui::message_box(Hwnd(owner), wide(text), kError, ui::mb::ok | ui::mb::icon_error);
    return 0;
  }
  return 1;
}

}  // namespace

int32_t run_config_dialog(uintptr_t owner, const std::string& ini) {
  register_dialog_templates();
  Paths paths;
  paths.values[kRoot] = ini_string(ini, kSignSection, "pse_path", "A:/");
  paths.values[kCert] = ini_string(ini, kSignSection, "sign_cert_file_name");
  paths.values[kKey] = ini_string(ini, kSignSection, "sign_key_file_name");
  paths.values[kCas] = ini_string(ini, kCommonSection, "CAs_path");
  paths.values[kCrls] = ini_string(ini, kCommonSection, "CRLs_path");
  SettingsDialog dialog(paths);
  const kit::LocaleTriple locale = kit::current_locale();
  const intptr_t result = kit::localized_dialog_box(
      kDialogModule, u"CONFIG_SETTINGS_DIALOG",
      [&dialog](Hwnd h, UINT m, WPARAM w, LPARAM) { return dialog.procedure(h, m, w); }, Hwnd(owner),
      locale.language, locale.sub_language);
  if (result != 1) return 0;
  return write_settings(owner, ini, paths);
}

}  // namespace kelda::sigprov
