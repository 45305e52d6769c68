// CONFIG_DIALOG: the secret and public key rings of the cryptographic
// library, checked on Save and written to its configuration file.
#include <cstring>
#include <filesystem>
#include <string>

#include "dialogs.h"
#include "kit/codepage.h"
#include "kit/dialog_box.h"
#include "kit/dialog_helpers.h"
#include "kit/kit_state.h"
#include "kit/paths.h"
#include "library_config.h"
#include "sekura32/sekura32.h"
#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/services.h"
#include "ui/window.h"

namespace kelda::sekura32_pr {

namespace {

using ui::Hwnd;

constexpr int kSecret = 1001, kBrowseSecret = 1002, kPublic = 1003, kBrowsePublic = 1004, kConfigFile = 1005;
constexpr int kFallbackSlot = 2, kConfigSlot = 4;
constexpr char16_t kError[] = u"Error";

std::u16string wide(const std::string& text) { return kit::decode(kit::CodePage::cp1251, text); }
std::string narrow(const std::u16string& text) { return kit::encode(kit::CodePage::cp1251, text); }

std::string setting(int slot) {
  if (skSettings == nullptr || skSettings[slot] == nullptr) return {};
  return std::string(skSettings[slot], strnlen(skSettings[slot], SK_MAX_PATH));
}

std::string directory_of(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool is_directory(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_directory(kit::path_from_ansi(path.c_str()), ec);
}

bool is_file(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(kit::path_from_ansi(path.c_str()), ec);
}

void show_error(Hwnd dialog, const std::u16string& text, int focus) {
  ui::message_box(dialog, text, kError, ui::mb::ok | ui::mb::icon_error);
  if (focus != 0) ui::set_focus(ui::get_dlg_item(dialog, focus));
}

struct Ring {
  int field;
  int slot;
  const char16_t* title;
  const char16_t* missing;      // the file named does not exist
  const char16_t* not_chosen;   // the field is empty
  const char* key;
};
const Ring kSecretRing{kSecret, SK_SETTING_SECRET_RING, u"Select file with secret keys",
                       u"Selected file with secret keys not exist", u"File with secret keys not selected", "SECRING"};
const Ring kPublicRing{kPublic, SK_SETTING_PUBLIC_RING, u"Select file with public keys",
                       u"Selected file with public keys not exist", u"File with public keys not selected", "PUBRING"};

void browse(Hwnd dialog, const Ring& ring) {
  std::string start = directory_of(setting(ring.slot));
  if (!is_directory(start)) {
    show_error(dialog, ring.missing, 0);
    start = setting(kFallbackSlot);
  }
  if (!start.empty() && start.back() != '/' && start.back() != '\\') start += '/';
  ui::FileDialogRequest request;
  request.owner = dialog;
  request.title = ring.title;
  request.filter = u"*.txk - files with keys|*.txk|*.* - all files|*.*|";
  request.initial_dir = wide(start);
  if (const auto chosen = ui::get_open_file_name(request)) ui::set_dlg_item_text(dialog, ring.field, chosen->path);
}

// The ring field checked: empty or missing files are refused with a box.
bool check_ring(Hwnd dialog, const Ring& ring, std::string& path) {
  path = narrow(ui::get_dlg_item_text(dialog, ring.field));
  if (path.empty()) {
    show_error(dialog, ring.not_chosen, ring.field);
    return false;
  }
  if (!is_file(path)) {
    show_error(dialog, ring.missing, ring.field);
    return false;
  }
  return true;
}

void save(Hwnd dialog) {
  std::string pub, secret;
  if (!check_ring(dialog, kPublicRing, pub) || !check_ring(dialog, kSecretRing, secret)) return;
  const std::string file = setting(kConfigSlot);
  for (const auto& [ring, path] : {std::pair{&kSecretRing, &secret}, std::pair{&kPublicRing, &pub}}) {
    char error[600] = "";
    if (write_library_config(file, ring->key, *path, error, sizeof error) != 1) {
      show_error(dialog, wide(error), 0);
      return;
    }
  }
  skInit(nullptr);
  ui::end_dialog(dialog, 1);
}

intptr_t procedure(Hwnd dialog, UINT message, WPARAM wparam) {
  if (message == ui::wm::init_dialog) {
    kit::center_window(dialog);
    const auto show = [&](int id, int slot, const char* fallback) {
      const std::string value = setting(slot);
      ui::set_dlg_item_text(dialog, id, wide(value.empty() ? fallback : value));
    };
    show(kConfigFile, kConfigSlot, kDefaultConfigName);
    show(kSecret, SK_SETTING_SECRET_RING, "SECRING.TXK");
    show(kPublic, SK_SETTING_PUBLIC_RING, "PUBRING.TXK");
    return 1;
  }
  if (message != ui::wm::command) return 0;
  switch (ui::lo_word(wparam)) {
    case kBrowseSecret: browse(dialog, kSecretRing); return 1;
    case kBrowsePublic: browse(dialog, kPublicRing); return 1;
    case ui::id::ok: save(dialog); return 1;
    case ui::id::cancel: ui::end_dialog(dialog, 0); return 1;
    default: return 0;
  }
}

}  // namespace

int32_t run_config_dialog(uintptr_t owner) {
  register_dialog_templates();
  const kit::LocaleTriple locale = kit::current_locale();
  const intptr_t result = kit::localized_dialog_box(
      kDialogModule, u"CONFIG_DIALOG", [](Hwnd h, UINT m, WPARAM w, LPARAM) { return procedure(h, m, w); },
      Hwnd(owner), locale.language, locale.sub_language);
  return result == 1 ? 1 : 0;
}

}  // namespace kelda::sekura32_pr
