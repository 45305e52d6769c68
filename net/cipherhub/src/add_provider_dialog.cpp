// The add dialog (ADD_NEW_CRYPTO_PROVIDER_DIALOG): a provider module chosen
// by file, bound at once into a record of its own, and appended to the
// provider table and the settings file under the section name the user gives.
#include <cstdio>

#include "binding.h"
#include "dialog_settings.h"
#include "kit/codepage.h"
#include "kit/dialog_box.h"
#include "kit/dialog_helpers.h"
#include "kit/kit_state.h"
#include "platform/module.h"
#include "provider_dialogs.h"
#include "settings_io.h"
#include "ui/controls.h"
#include "ui/services.h"
#include "ui/window.h"

namespace kelda::cipherhub {

namespace {

namespace ids = dialog_ids;
using ui::Hwnd;
using Lock = std::lock_guard<std::recursive_mutex>;

constexpr std::size_t kSectionLimit = sizeof(cp_provider_record::section_name) - 1;
constexpr std::size_t kDescriptionLimit = sizeof(cp_provider_record::description) - 1;
constexpr const char16_t* kAttention = u"Attention";
constexpr const char16_t* kAddCaption = u"Add new crypto-provider";

std::u16string wide(std::string_view text) { return kelda::kit::decode(kelda::kit::CodePage::cp1251, text); }
std::string narrow(std::u16string_view text) { return kelda::kit::encode(kelda::kit::CodePage::cp1251, text); }

std::string trimmed(std::string text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const std::size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::string item_text(Hwnd dialog, int id) { return narrow(ui::get_dlg_item_text(dialog, id)); }

const char* usage_text(int32_t usage_mode) {
  switch (usage_mode) {
    case CP_USAGE_SIGN: return "sign crypto provider";
    case CP_USAGE_CIPHER: return "cipher crypto provider";
    default: return "cipher and sign crypto provider";
  }
}

void show(Hwnd dialog, const std::string& text, const char16_t* caption, UINT icon) {
  ui::message_box(dialog, wide(text), caption, ui::mb::ok | icon);
}

class AddDialog {
 public:
  explicit AddDialog(DialogTexts& texts) : texts_(texts) {}

  intptr_t procedure(Hwnd dialog, UINT message, WPARAM wparam) {
    if (message == ui::wm::init_dialog) {
      const std::pair<int, std::size_t> limits[] = {{ids::section, kSectionLimit},
                                                    {ids::description, kDescriptionLimit},
                                                    {ids::module, kIniPathChars},
                                                    {ids::ini_file, kIniPathChars}};
      for (auto [id, limit] : limits) {
        ui::send_dlg_item_message(dialog, id, ui::em::limit_text, limit);
      }
      ui::set_dlg_item_text(dialog, ids::section, wide(texts_.section));
      ui::set_dlg_item_text(dialog, ids::description, wide(texts_.provider_name));
      ui::set_dlg_item_text(dialog, ids::module, wide(texts_.module));
      ui::set_dlg_item_text(dialog, ids::ini_file, wide(texts_.ini_file));
      update_enabling(dialog);
      return 1;
    }
    if (message != ui::wm::command) return 0;
    switch (ui::lo_word(wparam)) {
      case ids::browse_module:
        browse_module(dialog);
        break;
      case ids::browse_ini:
        browse_ini(dialog);
        break;
      case ui::id::ok:
        add(dialog);
        return 1;
      case ui::id::cancel:
        ui::end_dialog(dialog, 0);
        return 1;
      default:
        break;
    }
    update_enabling(dialog);
    return 1;
  }

 private:
  static void update_enabling(Hwnd dialog) {
    const bool ready = !trimmed(item_text(dialog, ids::section)).empty() &&
                       !trimmed(item_text(dialog, ids::module)).empty();
    kelda::kit::enable_dialog_item(dialog, ui::id::ok, ready);
  }

  // Binds the module into the dialog's own record (a previous one is let go).
  bool bind(const std::string& module) {
    entry_.reset();
    bound_module_.clear();
    auto entry = std::make_unique<ProviderEntry>();
    std::string ignored;
    if (!bind_provider_module(*entry, {module, "", "", this_module_anchor(), locale_record()},
                              ignored)) {
      return false;
    }
    entry_ = std::move(entry);
    bound_module_ = module;
    return true;
  }

  void refuse_module(Hwnd dialog, const std::string& module) {
    ui::set_dlg_item_text(dialog, ids::module, u"");
    char text[kIniPathChars + 128];
    std::snprintf(text, sizeof text,
                  "Can't load crypto-provider module. Probably file \"%s\" is not crypto-provider module",
                  module.c_str());
    show(dialog, text, kAttention, ui::mb::icon_warning);
  }

  void browse_module(Hwnd dialog) {
    ui::FileDialogRequest request;
    request.owner = dialog;
    request.title = u"Select DLL module for crypto provider ";
    request.filter = u"*.dll - файлы динамически загружаемых библиотек|*.dll;*.so|";
    request.flags = ui::ofn::file_must_exist | ui::ofn::path_must_exist | ui::ofn::hide_read_only;
    request.max_length = kIniPathChars;
    const std::optional<ui::FileDialogResult> chosen = ui::get_open_file_name(request);
    if (!chosen) return;
    const std::string module = narrow(chosen->path);
    ui::set_dlg_item_text(dialog, ids::module, chosen->path);
    if (!bind(module)) {
      refuse_module(dialog, module);
      return;
    }
    const std::u16string name = wide(entry_->record.provider_name);
    ui::set_dlg_item_text(dialog, ids::description, name);
    if (trimmed(item_text(dialog, ids::section)).empty()) {
      ui::set_dlg_item_text(dialog, ids::section, name);
      ui::send_dlg_item_message(dialog, ids::section, ui::em::set_sel, 0, -1);
      ui::set_focus(ui::get_dlg_item(dialog, ids::section));
    }
  }

  static void browse_ini(Hwnd dialog) {
    ui::FileDialogRequest request;
    request.owner = dialog;
    request.title = u"Select settings file name for crypto-provider";
    request.filter = u"*.ini - файлы настроек|*.ini|";
    request.flags = ui::ofn::path_must_exist | ui::ofn::hide_read_only;
    request.max_length = kIniPathChars;
    if (const std::optional<ui::FileDialogResult> chosen = ui::get_open_file_name(request)) {
      ui::set_dlg_item_text(dialog, ids::ini_file, chosen->path);
    }
  }

  void add(Hwnd dialog) {
    const std::string section = trimmed(item_text(dialog, ids::section)).substr(0, kSectionLimit);
    if (section.empty()) {
      show(dialog, "Can't add crypto-provider: not set crypto provider section name", kAddCaption,
           ui::mb::icon_error);
      return;
    }
    // The name becomes a key of "CryptoProviders" and a section header: with
    // an "=" in it, or starting as a comment or a header, it would not be read
    // back, and the provider would silently be gone at the next start.
    if (section.find('=') != std::string::npos || section.front() == ';' || section.front() == '[') {
      show(dialog, "Can't add crypto-provider: section name \"" + section +
                       "\" can not be kept in the settings file",
           kAddCaption, ui::mb::icon_error);
      return;
    }
    // A module typed by hand (or changed since it was chosen) is bound now.
    const std::string module = trimmed(item_text(dialog, ids::module));
    if (!entry_ || bound_module_ != module) {
      if (!bind(module)) {
        refuse_module(dialog, module);
        return;
      }
    }
    const std::string ini_file = item_text(dialog, ids::ini_file);
    cp_provider_record& record = entry_->record;
    Dispatcher& d = dispatcher();
    std::string ini_path;
    {
      Lock lock(d.lock);
      const ProviderEntry* existing = d.table.find(record.provider_name, FindMode::either);
      if (existing == nullptr) existing = d.table.find(section, FindMode::either);
      if (existing != nullptr) {
        char text[512];
        std::snprintf(text, sizeof text,
                      "Can't add crypto-provider, such provider already exist: name \"%s\",\n "
                      "description [%s],\n use as %s",
                      existing->record.provider_name, existing->record.section_name,
                      usage_text(existing->record.usage_mode));
        show(dialog, text, kAddCaption, ui::mb::icon_error);
        return;
      }
      ini_path = d.ini_path;
    }
    // The settings file is shared: a section of another part of the system
    // must not become a provider's, nor be removed with it later.
    if (!ini_path.empty() && !read_ini_section(ini_path, section, 2).empty()) {
      show(dialog, "Can't add crypto-provider: section [" + section + "] already exists in the settings file",
           kAddCaption, ui::mb::icon_error);
      return;
    }
    copy_field(record.section_name, sizeof record.section_name, section);
    copy_field(record.ini_file, sizeof record.ini_file, ini_file);
    copy_field(record.description, sizeof record.description, item_text(dialog, ids::description));
    texts_.provider_name = record.provider_name;
    texts_.section = section;
    texts_.module = module;
    texts_.ini_file = ini_file;
    {
      Lock lock(d.lock);
      d.table.add(std::move(entry_));
    }
    // Added for this session either way; the user learns when it will not
    // be there at the next start.
    if (!store_provider_settings(ini_path, section, module, ini_file)) {
      show(dialog,
           "Crypto provider \"" + texts_.provider_name +
               "\" is added, but can't be saved in the settings file \"" + ini_path + "\"",
           kAddCaption, ui::mb::icon_warning);
    }
    ui::end_dialog(dialog, 1);
  }

  DialogTexts& texts_;
  std::unique_ptr<ProviderEntry> entry_;
  std::string bound_module_;
};

}  // namespace

bool run_add_provider_dialog(uintptr_t owner, DialogTexts& texts) {
  register_dialog_templates();
  AddDialog dialog(texts);
  const kelda::kit::LocaleTriple locale = kelda::kit::current_locale();
  const intptr_t result = kelda::kit::localized_dialog_box(
      kDialogModule, u"ADD_NEW_CRYPTO_PROVIDER_DIALOG",
      [&dialog](Hwnd h, UINT m, WPARAM w, LPARAM) { return dialog.procedure(h, m, w); }, Hwnd(owner),
      locale.language, locale.sub_language);
  return result == 1;
}

}  // namespace kelda::cipherhub
