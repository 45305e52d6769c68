// The ping utility's dialogs, menu, tool bar and pictures.
#include <mutex>

#include "ping/ping_dialog.h"
#include "register_images.h"
#include "ui/controls.h"
#include "ui/menu.h"

namespace kelda::ping {
namespace {

using ui::DialogItem;
namespace cls = ui::class_name;

constexpr DWORD visible = ui::ws::visible;

ui::DialogTemplate main_dialog() {
  ui::DialogTemplate tpl;
  tpl.cx = 138;
  tpl.cy = 154;
  tpl.caption = u"Pulsor";
  tpl.items = {
      {cls::static_, u"Host:", ui::id::static_text, visible, 4, 22, 22, 10},
      {cls::combo_box, u"", ping_id::host,
       visible | ui::ws::tab_stop | ui::cbs::drop_down | ui::cbs::auto_hscroll, 26, 20, 86, 70},
      {cls::static_, u"", ping_id::picture, visible | ui::ss::bitmap | ui::ws::border, 116, 21, 16, 14,
       0, ping_id::idle_picture},
      {cls::edit, u"", ping_id::output,
       visible | ui::ws::vscroll | ui::ws::border | ui::es::multiline | ui::es::read_only |
           ui::es::auto_vscroll,
       4, 40, 130, 92},
      {cls::static_, u"", ping_id::own_address, visible | ui::ss::center, 4, 136, 130, 12},
  };
  return tpl;
}

ui::DialogTemplate about_dialog() {
  ui::DialogTemplate tpl;
  tpl.cx = 138;
  tpl.cy = 154;
  tpl.caption = u"About Pulsor";
  const DWORD label = visible;
  tpl.items = {
      {cls::static_, u"Version:", ui::id::static_text, label, 4, 32, 50, 10},
      {cls::static_, u"1.4", ui::id::static_text, label, 56, 32, 78, 10},
      {cls::static_, u"Date:", ui::id::static_text, label, 4, 43, 50, 10},
      {cls::static_, u"8. february 2005", ui::id::static_text, label, 56, 43, 78, 10},
      {cls::static_, u"Author:", ui::id::static_text, label, 4, 54, 50, 10},
      {cls::static_, u"KeldaMobile team", ui::id::static_text, label, 56, 54, 78, 10},
      {cls::static_, u"Contact:", ui::id::static_text, label, 4, 65, 50, 10},
      {cls::static_, u"support@kelda.example", ui::id::static_text, label, 56, 65, 78, 10},
      {cls::static_, u"Website:", ui::id::static_text, label, 4, 76, 50, 10},
      {cls::static_, u"www.kelda.example", ui::id::static_text, label, 56, 76, 78, 10},
      {cls::static_, u"Versioninformations:", ui::id::static_text, label, 4, 89, 130, 10},
      {cls::edit,
       u"1.4: unprivileged ICMP sockets, recent hosts kept per user.\r\n"
       u"1.3: look-ups on threads of their own.\r\n1.0: first version.",
       ping_id::about_history,
       visible | ui::ws::vscroll | ui::ws::border | ui::es::multiline | ui::es::read_only, 4, 100, 130,
       34},
      {cls::button, u"OK", ui::id::ok, visible | ui::ws::tab_stop | ui::bs::def_push_button, 44, 138, 50,
       13},
  };
  return tpl;
}

}  // namespace

void register_ping_resources() {
  static std::once_flag once;
  std::call_once(once, [] {
    register_images();
    ui::register_dialog_template("", ping_id::dialog, main_dialog());
    ui::register_dialog_template("", ping_id::about_dialog, about_dialog());
    ui::register_toolbar_template(
        "", ping_id::toolbar,
        {16, 16, {ping_id::mode_once, ping_id::mode_four, ping_id::mode_continuous},
         {u"One request", u"Four requests", u"Continuous"}});
    ui::MenuTemplate menu;
    menu.items = {{u"Menu", 0, 0,
                   {{u"One request", ping_id::mode_once},
                    {u"Four requests", ping_id::mode_four},
                    {u"Continuous", ping_id::mode_continuous},
                    {},
                    {u"About...", ping_id::about},
                    {u"Exit", ping_id::exit}}}};
    ui::register_menu_template("", ping_id::menu, std::move(menu));
  });
}

}  // namespace kelda::ping
