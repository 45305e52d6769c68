// The main settings dialog and the settings command.
#include "terminal_dialogs/main_settings_dialog.h"

#include <mutex>

#include "kit/codepage.h"
#include "platform/module.h"
#include "terminal/data_feed_manager.h"
#include "terminal/main_frame.h"
#include "terminal/main_view.h"
#include "terminal/profile.h"
#include "terminal/text_log.h"
#include "terminal/window_kinds.h"
#include "ui/controls.h"
#include "ui/services.h"

namespace kelda::terminal {
namespace {

namespace cls = ui::class_name;
constexpr DWORD visible = ui::ws::visible;
constexpr DWORD tab = ui::ws::visible | ui::ws::tab_stop;
constexpr DWORD check = tab | ui::bs::auto_check_box;
constexpr DWORD drop_list = tab | ui::ws::vscroll | ui::cbs::drop_down_list;

struct ListEntry {
  const char16_t* text;
  int data;
};
constexpr ListEntry kFontSizes[] = {{u"8", 8},   {u"9", 9},   {u"10", 10}, {u"11", 11}, {u"12", 12}, {u"14", 14},
                                    {u"16", 16}, {u"18", 18}, {u"20", 20}, {u"22", 22}, {u"24", 24}};
constexpr ListEntry kAlignments[] = {{u"слева", 1}, {u"справа", 2}};
constexpr ListEntry kDepths[] = {{u"1", 1}, {u"2", 2}, {u"3", 3}, {u"4", 4},   {u"5", 5},   {u"6", 6},  {u"7", 7},
                                 {u"8", 8}, {u"9", 9}, {u"10", 10}, {u"25", 25}, {u"50", 50}, {u"100", 100}};

// The controls of both layouts over the screen's work area; `landscape` puts
// the quotes group beside the general one. The signing choice, longer than
// the portrait screen is wide, wraps onto a second line.
ui::DialogTemplate settings_template(bool landscape) {
  ui::DialogTemplate tpl;
  tpl.caption = u"Основные настройки";
  tpl.full_screen = true;
  const int qx = landscape ? 140 : 2;  // quotes group origin
  const int qy = landscape ? 2 : 101;
  const int gw = landscape ? 132 : 156;  // group width
  const int cw = gw - 8;                 // check box width
  tpl.cx = landscape ? 274 : 160;
  tpl.cy = landscape ? 120 : 168;
  const int by = landscape ? 104 : 150;
  const int step = landscape ? 12 : 11;  // between the general group's rows
  const int sign_h = landscape ? 11 : 18;
  tpl.items = {
      {cls::button, u"Общие", ui::id::static_text, visible | ui::bs::group_box, 2, 2, gw, 14 + 6 * step + sign_h},
      {cls::static_, u"Размер шрифта:", ui::id::static_text, visible, 6, 14, 64, 10},
      {cls::combo_box, u"", settings_id::font_size, drop_list, 72, 12, 58, 80},
      {cls::button, u"Имя класса в таблице параметров", settings_id::class_names, check, 6, 26, cw, 11},
      {cls::button, u"Группировка разрядов", settings_id::grouping, check, 6, 26 + step, cw, 11},
      {cls::button, u"Лимиты вертикально", settings_id::vertical_limits, check, 6, 26 + 2 * step, cw, 11},
      {cls::button, u"Переподключаться автоматически", settings_id::autoreconnect, check, 6, 26 + 3 * step, cw, 11},
      {cls::button, u"Заказывать архив графиков", settings_id::request_archive, check, 6, 26 + 4 * step, cw, 11},
      {cls::button, u"Использовать ЭЦП на СКЗИ SignalCom MessagePro", settings_id::signing,
       check | ui::bs::multiline, 6, 26 + 5 * step, cw, sign_h},
      {cls::button, u"Окно котировок", ui::id::static_text, visible | ui::bs::group_box, qx, qy, gw, 47},
      {cls::static_, u"Выравнивание:", ui::id::static_text, visible, qx + 4, qy + 12, 64, 10},
      {cls::combo_box, u"", settings_id::alignment, drop_list, qx + 70, qy + 10, 58, 60},
      {cls::static_, u"Глубина стакана:", ui::id::static_text, visible, qx + 4, qy + 25, 64, 10},
      {cls::combo_box, u"", settings_id::depth, drop_list, qx + 70, qy + 23, 58, 80},
      {cls::button, u"Показывать покупку сверху", settings_id::buy_on_top, check, qx + 4, qy + 35, cw, 11},
      {cls::button, u"Да", ui::id::ok, tab | ui::bs::def_push_button, landscape ? 84 : 22, by, 50, 13},
      {cls::button, u"Отмена", ui::id::cancel, tab, landscape ? 140 : 88, by, 50, 13},
  };
  return tpl;
}

void fill_list(ui::Hwnd combo_hwnd, std::span<const ListEntry> entries, int current) {
  const ui::ComboBoxControl combo{combo_hwnd};
  combo.reset();
  for (const ListEntry& e : entries) {
    const int at = combo.add(e.text);
    combo.set_item_data(at, e.data);
    if (e.data == current) combo.set_cur_sel(at);
  }
}

int selected_data(ui::Hwnd combo_hwnd, int fallback) {
  const ui::ComboBoxControl combo{combo_hwnd};
  const int at = combo.cur_sel();
  return at < 0 ? fallback : static_cast<int>(combo.item_data(at));
}

// Stores a changed setting, tells the windows and writes its key.
class SettingsWriter {
 public:
  explicit SettingsWriter(DataFeedManager& m) : m_(m) {}
  template <typename T>
  void apply(T& field, int value, const char* key, UINT message, bool with_value) {
    const int normalised = std::is_same_v<T, bool> ? (value != 0 ? 1 : 0) : value;
    if (static_cast<int>(field) == normalised) return;
    field = static_cast<T>(normalised);
    if (message != 0) broadcast(message, with_value ? static_cast<WPARAM>(normalised) : 0, 0);
    write(key, normalised);
  }
  void broadcast(UINT message, WPARAM wparam, LPARAM lparam) {
    if (MainView* view = m_.view()) view->send_to_all_windows(message, wparam, lparam);
  }
  void write(const char* key, int value) { profile_set_int("settings", key, value, m_.settings_path()); }

 private:
  DataFeedManager& m_;
};

void write_provider_keys(DataFeedManager& m, bool enabled) {
  const std::string& ini = m.settings_path();
  profile_set_string("CryptoProviders", "SignalComMessagePro", enabled ? "1" : "0", ini);
  profile_set_string("SignalComMessagePro", "IniFile", m.provider_ini_path(), ini);
  profile_set_string("SignalComMessagePro", "Module", signing_provider_module_path(), ini);
  profile_set_string("CryptoProvidersSettings", "SignCryptoProvider", "SignalComMessagePro", ini);
}

}  // namespace

std::string signing_provider_module_path() {
  constexpr std::size_t kMaxModulePath = 259;
  std::string path = kit::cp1251_from_utf8(platform::program_folder().string());
  path += '/';
  path += kSigningProviderModule;
  return path.size() <= kMaxModulePath ? path : std::string(kSigningProviderModule);
}

MainSettingsDlg::MainSettingsDlg() : ui::Dialog("", kMainSettingsDialogId) {
  set_orientation_templates(kMainSettingsDialogId, kMainSettingsLandscapeId);
  provider_ini_path = program_file("signalcom.ini");
}

bool MainSettingsDlg::on_init_dialog() {
  if (DataFeedManager* m = manager()) {
    const Settings& s = m->settings();
    font_size = s.font_size;
    alignment = s.alignment;
    depth = s.quotes_depth;
    class_names = s.class_names;
    grouping = s.digit_grouping;
    vertical_limits = s.vertical_limits;
    autoreconnect = s.autoreconnect;
    request_archive = s.request_archive;
    buy_on_top = s.buy_on_top;
    signing = s.signing;
    provider_ini_path = m->provider_ini_path();
    ui::enable_window(item(settings_id::signing), !m->connected());
  }
  fill_list(item(settings_id::font_size), kFontSizes, font_size);
  fill_list(item(settings_id::alignment), kAlignments, alignment);
  fill_list(item(settings_id::depth), kDepths, depth);
  update_data(false);
  return true;
}

void MainSettingsDlg::do_data_exchange(ui::DataExchange& dx) {
  ui::ddx_check(dx, settings_id::class_names, class_names);
  ui::ddx_check(dx, settings_id::grouping, grouping);
  ui::ddx_check(dx, settings_id::vertical_limits, vertical_limits);
  ui::ddx_check(dx, settings_id::autoreconnect, autoreconnect);
  ui::ddx_check(dx, settings_id::request_archive, request_archive);
  ui::ddx_check(dx, settings_id::buy_on_top, buy_on_top);
  ui::ddx_check(dx, settings_id::signing, signing);
}

void MainSettingsDlg::on_ok() {
  font_size = selected_data(item(settings_id::font_size), 12);
  alignment = selected_data(item(settings_id::alignment), 1);
  depth = selected_data(item(settings_id::depth), 1);
  if (depth < 1 || depth > 101) depth = 5;
  ui::Dialog::on_ok();
}

bool run_main_settings(ui::Hwnd owner) {
  DataFeedManager* m = manager();
  if (m == nullptr) return false;
  MainSettingsDlg dlg;
  if (dlg.do_modal(owner) != ui::id::ok) return false;
  Settings& s = m->settings();
  SettingsWriter w(*m);

  s.font_size = dlg.font_size;
  m->create_table_font();
  w.broadcast(UM_SETFONT, reinterpret_cast<WPARAM>(m->table_font()), 0);
  w.write("fontsize", s.font_size);

  w.apply(s.alignment, dlg.alignment, "alignment", UM_ALIGNMENT, true);
  w.apply(s.quotes_depth, dlg.depth, "quotes_depth", UM_DEPTH, true);
  w.apply(s.buy_on_top, dlg.buy_on_top, "buy_on_top", UM_BUYONTOP, false);
  w.apply(s.class_names, dlg.class_names, "classname", UM_CLASSNAME, true);
  w.apply(s.digit_grouping, dlg.grouping, "digit_grouping", UM_GROUPING, false);
  w.apply(s.vertical_limits, dlg.vertical_limits, "vert_display_limits", UM_VERTLIMITS, true);
  w.apply(s.autoreconnect, dlg.autoreconnect, "autoreconnect", 0, false);
  w.apply(s.request_archive, dlg.request_archive, "reqarchive", UM_ARCHIVE, false);

  const bool enable = dlg.signing != 0;
  if (enable != s.signing || dlg.provider_ini_path != m->provider_ini_path()) {
    if (enable) {
      // Signing starts with the next start of the program.
      ui::message_box(owner, u"Изменения вступят в силу после перезапуска приложения.", u"KeldaMobile",
                      ui::mb::ok | ui::mb::icon_information);
    } else {
      s.signing = false;
    }
    m->set_provider_ini_path(dlg.provider_ini_path);
    write_provider_keys(*m, enable);
  }
  if (MainView* view = m->view()) {
    ui::invalidate_rect(view->hwnd(), nullptr, true);
    ui::update_window(view->hwnd());
  }
  return true;
}

void register_main_settings() {
  static std::once_flag once;
  std::call_once(once, [] {
    ui::register_dialog_template("", kMainSettingsDialogId, settings_template(false));
    ui::register_dialog_template("", kMainSettingsLandscapeId, settings_template(true));
  });
  register_command_handler(cmd::settings_main, [](ui::Hwnd owner) { run_main_settings(owner); });
}

}  // namespace kelda::terminal
