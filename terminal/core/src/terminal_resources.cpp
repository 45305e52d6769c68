// The terminal core's menu, tool bars, dialogs and pictures.
#include <mutex>

#include "register_terminal_images.h"
#include "terminal/login_dialog.h"
#include "terminal/main_frame.h"
#include "terminal/terminal_app.h"
#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/menu.h"

namespace kelda::terminal {
namespace {

using ui::MenuTemplateItem;
namespace cls = ui::class_name;
constexpr DWORD visible = ui::ws::visible;

MenuTemplateItem item(std::u16string text, UINT id, UINT flags = 0) { return {std::move(text), id, flags, {}}; }
MenuTemplateItem separator() { return {}; }
MenuTemplateItem popup(std::u16string text, std::vector<MenuTemplateItem> children) {
  return {std::move(text), 0, 0, std::move(children)};
}

ui::MenuTemplate main_menu() {
  ui::MenuTemplate tpl;
  tpl.items = {
      popup(u"Главное",
            {item(u"Чистое подключение", cmd::clean_connect), item(u"Установить соединение", cmd::connect),
             item(u"Разорвать соединение", cmd::disconnect), separator(), item(u"Новая заявка", cmd::new_order),
             popup(u"Настройки", {item(u"Основные", cmd::settings_main),
                                  item(u"Доступные соединения", cmd::connections),
                                  item(u"Списки", cmd::lists, ui::mf::grayed), separator(),
                                  item(u"Сохранить настройки в файл", cmd::save_config),
                                  item(u"Загрузить настройки из файла", cmd::load_config)}),
             separator(), item(u"Выход", cmd::exit)}),
      popup(u"Окно", {popup(u"Новое", {item(u"Текущие параметры", cmd::current_params),
                                        item(u"Котировки", cmd::quotes), item(u"Сделки", cmd::trades),
                                        item(u"Заявки", cmd::orders), item(u"Стоп-заявки", cmd::stop_orders),
                                        item(u"Лимиты по денеж. сред.", cmd::money_limits),
                                        item(u"Лимиты по бумагам", cmd::depo_limits),
                                        popup(u"Фьючерсы", {item(u"Ограничения по кл. счетам", cmd::futures_limits),
                                                            item(u"Позиции по кл. счетам", cmd::futures_holdings)}),
                                        item(u"График", cmd::chart), item(u"Клиентский портфель", cmd::portfolio),
                                        item(u"Новости", cmd::news)}),
                      separator()}),
      popup(u"?", {item(u"О программе...", cmd::about)}),
  };
  return tpl;
}

ui::DialogTemplate about_dialog() {
  ui::DialogTemplate tpl;
  tpl.cx = 138;
  tpl.cy = 120;
  tpl.caption = u"О программе KeldaMobile";
  tpl.items = {
      {cls::static_, u"", kAboutPictureId, visible | ui::ss::bitmap | ui::ss::center_image, 4, 4, 130, 70, 0, 231},
      {cls::static_, u"KeldaMobile", ui::id::static_text, visible | ui::ss::center, 4, 78, 130, 10},
      {cls::button, u"OK", ui::id::ok, visible | ui::ws::tab_stop | ui::bs::def_push_button, 44, 96, 50, 14},
  };
  return tpl;
}

ui::DialogTemplate login_dialog() {
  ui::DialogTemplate tpl;
  tpl.cx = 138;
  tpl.cy = 110;
  tpl.caption = u"Идентификация";
  tpl.items = {
      {cls::combo_box, u"", login_id::server,
       visible | ui::ws::tab_stop | ui::ws::vscroll | ui::cbs::drop_down_list, 4, 6, 130, 80},
      {cls::static_, u"Имя:", ui::id::static_text, visible, 4, 26, 40, 10},
      {cls::edit, u"", login_id::name, visible | ui::ws::tab_stop | ui::ws::border | ui::es::auto_hscroll, 46, 24,
       88, 13},
      {cls::static_, u"Пароль:", ui::id::static_text, visible, 4, 44, 40, 10},
      {cls::edit, u"", login_id::password,
       visible | ui::ws::tab_stop | ui::ws::border | ui::es::password | ui::es::auto_hscroll, 46, 42, 88, 13},
      {cls::button, u"Сохранить пароль", login_id::save, visible | ui::ws::tab_stop | ui::bs::auto_check_box, 4,
       60, 130, 12},
      {cls::button, u"Да", ui::id::ok, visible | ui::ws::tab_stop | ui::bs::def_push_button, 14, 84, 50, 14},
      {cls::button, u"Отмена", ui::id::cancel, visible | ui::ws::tab_stop, 74, 84, 50, 14},
  };
  return tpl;
}

ui::ToolbarTemplate toolbar(int size) {
  ui::ToolbarTemplate tpl;
  tpl.image_width = size;
  tpl.image_height = size;
  tpl.buttons = {cmd::prev_window, cmd::next_window, cmd::close_window, 0, cmd::exit};
  tpl.tips = {u"Предыдущее окно", u"Следующее окно", u"Закрыть окно", u"", u"Выход"};
  return tpl;
}

}  // namespace

void register_terminal_resources() {
  static std::once_flag once;
  std::call_once(once, [] {
    register_terminal_images();
    ui::register_menu_template("", kMainMenuId, main_menu());
    ui::register_toolbar_template("", 128, toolbar(16));
    ui::register_toolbar_template("", 208, toolbar(32));
    ui::register_dialog_template("", kAboutDialogId, about_dialog());
    ui::register_dialog_template("", kLoginDialogId, login_dialog());
  });
}

}  // namespace kelda::terminal
