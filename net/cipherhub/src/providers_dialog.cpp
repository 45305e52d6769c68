// The providers dialog (CONFIG_CRYPTO_PROVIDERS_DIALOG): the registered
// providers of one usage, with buttons to choose, add, remove and configure.
#include <cstdio>
#include <optional>

#include "binding.h"
#include "dialog_settings.h"
#include "kit/codepage.h"
#include "kit/dialog_box.h"
#include "kit/dialog_helpers.h"
#include "kit/kit_state.h"
#include "provider_dialogs.h"
#include "ui/controls.h"
#include "ui/services.h"
#include "ui/window.h"

namespace kelda::cipherhub {

namespace {

namespace ids = dialog_ids;
using ui::Hwnd;
using Lock = std::lock_guard<std::recursive_mutex>;

std::u16string wide(std::string_view text) { return kelda::kit::decode(kelda::kit::CodePage::cp1251, text); }

bool passes(UsageFilter filter, int32_t usage_mode) {
  switch (filter) {
    case UsageFilter::sign: return usage_mode == CP_USAGE_SIGN || usage_mode == CP_USAGE_CIPHER_AND_SIGN;
    case UsageFilter::cipher:
      return usage_mode == CP_USAGE_CIPHER || usage_mode == CP_USAGE_CIPHER_AND_SIGN;
    case UsageFilter::all: return true;
  }
  return true;
}

std::u16string line_text(const cp_provider_record& r) {
  const bool described = r.description[0] != '\0';
  return wide(std::string(r.section_name) + " [" + r.provider_name + "]" + (described ? " -" : "") +
              r.description);
}

class ProvidersDialog {
 public:
  ProvidersDialog(UsageFilter filter, DialogTexts& texts) : filter_(filter), texts_(texts) {}

  intptr_t procedure(Hwnd dialog, UINT message, WPARAM wparam) {
    if (message == ui::wm::init_dialog) {
      kelda::kit::center_window(dialog);
      fill(dialog, texts_.provider_name, -1);
      update_enabling(dialog);
      return 1;
    }
    if (message != ui::wm::command) return 0;
    const int id = ui::lo_word(wparam);
    const UINT code = ui::hi_word(wparam);
    if (id == ui::id::ok || (id == ids::list && code == ui::lbn::dbl_clk)) {
      choose(dialog);
      return 1;
    }
    switch (id) {
      case ui::id::cancel:
        ui::end_dialog(dialog, 0);
        return 1;
      case ids::add_new:
        if (run_add_provider_dialog(dialog.value(), texts_)) fill(dialog, texts_.provider_name, -1);
        break;
      case ids::remove:
        remove(dialog);
        break;
      case ids::configure:
        configure(dialog);
        break;
      default:
        break;
    }
    update_enabling(dialog);
    return 1;
  }

 private:
  // The provider of the selected line, still registered (lock held), or null.
  static ProviderEntry* selected(Hwnd dialog) {
    const LRESULT at = ui::send_dlg_item_message(dialog, ids::list, ui::lb::get_cur_sel);
    if (at < 0) return nullptr;
    const auto* record = reinterpret_cast<const cp_provider_record*>(
        ui::send_dlg_item_message(dialog, ids::list, ui::lb::get_item_data, static_cast<WPARAM>(at)));
    return dispatcher().table.find_by_record(record);
  }

  // Lists the providers that pass the filter, in table order, and selects the
  // one named `name`, else the line at `position` (or the last line).
  void fill(Hwnd dialog, const std::string& name, LRESULT position) {
    const Hwnd list = ui::get_dlg_item(dialog, ids::list);
    ui::send_message(list, ui::wm::set_redraw, 0);
    ui::send_message(list, ui::lb::reset_content);
    LRESULT chosen = -1;
    {
      Dispatcher& d = dispatcher();
      Lock lock(d.lock);
      for (std::size_t i = 0; i < d.table.size(); ++i) {
        const cp_provider_record& r = d.table.at(i).record;
        if (!passes(filter_, r.usage_mode)) continue;
        const std::u16string text = line_text(r);
        const LRESULT at = ui::send_message(list, ui::lb::add_string, 0, reinterpret_cast<LPARAM>(text.c_str()));
        ui::send_message(list, ui::lb::set_item_data, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&r));
        if (chosen < 0 && !name.empty() && names_equal(r.provider_name, name)) chosen = at;
      }
    }
    const LRESULT count = ui::send_message(list, ui::lb::get_count);
    if (chosen < 0 && position >= 0 && count > 0) chosen = position < count ? position : count - 1;
    if (chosen >= 0) ui::send_message(list, ui::lb::set_cur_sel, static_cast<WPARAM>(chosen));
    ui::send_message(list, ui::wm::set_redraw, 1);
    ui::invalidate_rect(list, nullptr, true);
  }

  static void update_enabling(Hwnd dialog) {
    bool chosen = false;
    bool configurable = false;
    {
      Dispatcher& d = dispatcher();
      Lock lock(d.lock);
      if (const ProviderEntry* entry = selected(dialog)) {
        chosen = true;
        configurable = entry->record.entry.config_crypto_provider != nullptr;
      }
    }
    kelda::kit::enable_dialog_item(dialog, ui::id::ok, chosen);
    kelda::kit::enable_dialog_item(dialog, ids::remove, chosen);
    kelda::kit::enable_dialog_item(dialog, ids::configure, configurable);
  }

  void choose(Hwnd dialog) {
    {
      Dispatcher& d = dispatcher();
      Lock lock(d.lock);
      const ProviderEntry* entry = selected(dialog);
      if (entry == nullptr) {
        ui::end_dialog(dialog, 0);
        return;
      }
      texts_.provider_name = entry->record.provider_name;
      texts_.section = entry->record.section_name;
      texts_.module = entry->record.module_file;
      texts_.ini_file = entry->record.ini_file;
    }
    ui::end_dialog(dialog, 1);
  }

  void remove(Hwnd dialog) {
    std::string name;
    {
      Dispatcher& d = dispatcher();
      Lock lock(d.lock);
      const ProviderEntry* entry = selected(dialog);
      if (entry == nullptr) return;
      name = entry->record.provider_name;
    }
    char question[128];
    std::snprintf(question, sizeof question, "Are you really want to delete crypto provider  \"%s\"?",
                  name.c_str());
    if (ui::message_box(dialog, wide(question), u"Attention", ui::mb::yes_no | ui::mb::icon_question) !=
        ui::id::yes) {
      return;
    }
    const LRESULT position = ui::send_dlg_item_message(dialog, ids::list, ui::lb::get_cur_sel);
    std::string section;
    ProviderTable::RemoveResult result = ProviderTable::RemoveResult::not_found;
    std::string ini_path;
    {
      Dispatcher& d = dispatcher();
      Lock lock(d.lock);
      ProviderEntry* entry = selected(dialog);
      if (entry == nullptr) return;
      section = entry->record.section_name;
      result = d.table.remove(&entry->record);
      ini_path = d.ini_path;
    }
    if (result == ProviderTable::RemoveResult::in_use) {
      char text[128];
      std::snprintf(text, sizeof text, "Crypto provider \"%s\" is in use and can not be removed",
                    name.c_str());
      ui::message_box(dialog, wide(text), u"Attention", ui::mb::ok | ui::mb::icon_warning);
      return;
    }
    // Its settings go too, or the provider would be loaded again at the next start.
    if (!forget_provider_settings(ini_path, section)) {
      const std::string text = "Crypto provider \"" + name +
                               "\" is removed, but its settings can't be removed from the file \"" +
                               ini_path + "\"";
      ui::message_box(dialog, wide(text), u"Attention", ui::mb::ok | ui::mb::icon_warning);
    }
    texts_.provider_name = name;
    fill(dialog, std::string(), position);
  }

  static void configure(Hwnd dialog) {
    ProviderEntry* entry = nullptr;
    CPAPI_ConfigCryptoProvider_fn* config = nullptr;
    std::string ini_file;
    std::optional<CallByHandle> call;
    {
      Dispatcher& d = dispatcher();
      Lock lock(d.lock);
      entry = selected(dialog);
      if (entry == nullptr || entry->record.entry.config_crypto_provider == nullptr) return;
      config = entry->record.entry.config_crypto_provider;
      ini_file = entry->record.ini_file;
      ++entry->active_calls;  // its own dialog runs without the lock; no removal meanwhile
      call.emplace();         // nor uninitialisation
    }
    config(dialog.value(), ini_file.c_str());
    --entry->active_calls;
  }

  UsageFilter filter_;
  DialogTexts& texts_;
};

}  // namespace

std::optional<DialogTexts> run_providers_dialog(uintptr_t owner, const std::string& preselected,
                                                UsageFilter filter) {
  register_dialog_templates();
  DialogTexts texts;
  texts.provider_name = preselected;
  ProvidersDialog dialog(filter, texts);
  const kelda::kit::LocaleTriple locale = kelda::kit::current_locale();
  const intptr_t result = kelda::kit::localized_dialog_box(
      kDialogModule, u"CONFIG_CRYPTO_PROVIDERS_DIALOG",
      [&dialog](Hwnd h, UINT m, WPARAM w, LPARAM) { return dialog.procedure(h, m, w); }, Hwnd(owner),
      locale.language, locale.sub_language);
  if (result != 1) return std::nullopt;
  return texts;
}

}  // namespace kelda::cipherhub
