// The password cache, the toolkit's password callbacks and the password
// dialog (PASSWORD_DIALOG, English and Russian).
#include "passwords.h"

#include <strings.h>

#include <cstring>
#include <mutex>
#include <vector>

#include "dialogs.h"
#include "kit/dialog_box.h"
#include "kit/kit_state.h"
#include "pkcs7tk/pkcs7tk.h"
#include "provider.h"
#include "ui/controls.h"
#include "ui/dialog.h"

namespace kelda::sigprov {

namespace {

struct CacheEntry {
  std::string name;      // at most 259 bytes
  std::string password;  // at most 1023 bytes
};

struct Cache {
  std::mutex lock;
  std::vector<CacheEntry> entries;
};

Cache& cache() {
  static auto* c = new Cache;
  return *c;
}

void wipe(std::string& text) {
  volatile char* p = text.data();
  for (std::size_t i = 0; i < text.size(); ++i) p[i] = 0;
  text.clear();
}

// Answers the callback from the cache or the dialog.
int answer(const std::string& name, const std::string& prompt, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return -1;
  buffer[0] = '\0';
  std::optional<std::string> password = cached_password(name);
  if (!password) password = ask_password(prompt);
  if (!password || static_cast<int>(password->size()) >= size) {
    if (password) wipe(*password);
    std::memset(buffer, 0, static_cast<std::size_t>(size));
    return -1;
  }
  cache_password(name, *password);
  std::memcpy(buffer, password->c_str(), password->size() + 1);
  const int length = static_cast<int>(password->size());
  wipe(*password);
  return length;
}

constexpr int kPromptId = 1001;
constexpr int kPasswordId = 1002;

class PasswordDialog {
 public:
  explicit PasswordDialog(const std::string& prompt) : prompt_(wide(prompt)) {}

  intptr_t procedure(ui::Hwnd dialog, UINT message, WPARAM wparam) {
    if (message == ui::wm::init_dialog) {
      ui::set_dlg_item_text(dialog, kPromptId, prompt_);
      ui::send_dlg_item_message(dialog, kPasswordId, ui::em::limit_text, 1023);
      return 1;
    }
    if (message != ui::wm::command) return 0;
    switch (ui::lo_word(wparam)) {
      case ui::id::ok: {
        std::u16string text = ui::get_dlg_item_text(dialog, kPasswordId);
        password_ = narrow(text);
        std::fill(text.begin(), text.end(), u'\0');
        ui::set_dlg_item_text(dialog, kPasswordId, u"");
        ui::end_dialog(dialog, 1);
        return 1;
      }
      case ui::id::cancel:
        ui::end_dialog(dialog, 0);
        return 1;
      default:
        return 0;
    }
  }

  std::string& password() { return password_; }

 private:
  std::u16string prompt_;
  std::string password_;
};

}  // namespace

void clear_password_cache() {
  Cache& c = cache();
  std::lock_guard<std::mutex> lock(c.lock);
  for (CacheEntry& e : c.entries) {
    wipe(e.name);
    wipe(e.password);
  }
  c.entries.clear();
}

std::optional<std::string> cached_password(const std::string& name) {
  Cache& c = cache();
  std::lock_guard<std::mutex> lock(c.lock);
  for (const CacheEntry& e : c.entries) {
    if (strcasecmp(e.name.c_str(), name.c_str()) == 0) return e.password;
  }
  return std::nullopt;
}

void cache_password(const std::string& name, const std::string& password) {
  Cache& c = cache();
  std::lock_guard<std::mutex> lock(c.lock);
  const std::string key = name.substr(0, 259);
  for (CacheEntry& e : c.entries) {
    if (strcasecmp(e.name.c_str(), key.c_str()) == 0) {
      wipe(e.password);
      e.password = password.substr(0, 1023);
      return;
    }
  }
  c.entries.push_back({key, password.substr(0, 1023)});
}

int pse_password_callback(char* buffer, int size) {
  return answer(kCarrierPasswordName, "Enter password for key container", buffer, size);
}

int etoken_password_callback(char* buffer, int size) {
  return answer("eToken", "Enter password for eToken key", buffer, size);
}

int rutoken_password_callback(char* buffer, int size) {
  return answer("ruToken", "Enter password for ruToken key", buffer, size);
}

int key_password_callback(char* buffer, int size) {
  const std::string file = from_utf8(pkcs7tk::GetKeyFileNameForPassword());
  if (file.empty()) return -1;
  return answer(file, "Enter password for key from \"" + file + "\"", buffer, size);
}

std::optional<std::string> ask_password(const std::string& prompt) {
  register_dialog_templates();
  PasswordDialog dialog(prompt);
  uintptr_t owner;
  {
    std::lock_guard<std::mutex> lock(provider().lock);
    owner = provider().owner;
  }
  const kit::LocaleTriple locale = kit::current_locale();
  const intptr_t result = kit::localized_dialog_box(
      kDialogModule, u"PASSWORD_DIALOG",
      [&dialog](ui::Hwnd h, UINT m, WPARAM w, LPARAM) { return dialog.procedure(h, m, w); }, ui::Hwnd(owner),
      locale.language, locale.sub_language);
  if (result != 1) {
    wipe(dialog.password());
    return std::nullopt;
  }
  std::string password = dialog.password();
  wipe(dialog.password());
  return password;
}

}  // namespace kelda::sigprov
