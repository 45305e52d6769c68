// Dialogs from templates, data exchange, orientation variants, modal
// dialogs across threads, menus, the menu bar and the layer's own message
// box and file dialog.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/last_error.h"
#include "platform/sync.h"
#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/loop.h"
#include "ui/menu.h"
#include "ui/screen.h"
#include "ui/services.h"
#include "ui/testing.h"

using namespace kelda::ui;

namespace {

DialogTemplate login_template() {
  DialogTemplate t;
  t.caption = u"Вход";
  t.cx = 140;
  t.cy = 80;
  t.items = {
      {class_name::static_, u"Имя:", id::static_text, ws::visible, 4, 6, 30, 9},
      {class_name::edit, u"", 1001, ws::visible | ws::tab_stop | ws::border | es::auto_hscroll, 36, 4, 100, 12},
      {class_name::static_, u"Пароль:", id::static_text, ws::visible, 4, 22, 30, 9},
      {class_name::edit, u"", 1002, ws::visible | ws::tab_stop | ws::border | es::password, 36, 20, 100, 12},
      {class_name::button, u"Сохранить", 1003, ws::visible | ws::tab_stop | bs::auto_check_box, 36, 36, 100, 10},
      {class_name::button, u"OK", id::ok, ws::visible | ws::tab_stop | bs::def_push_button, 36, 60, 46, 14},
      {class_name::button, u"Отмена", id::cancel, ws::visible | ws::tab_stop, 88, 60, 46, 14},
  };
  return t;
}

struct Login {
  std::u16string name, password;
  int save = 0;
};

intptr_t login_proc(Hwnd dlg, UINT msg, WPARAM wp, LPARAM lp) {
  auto* data = reinterpret_cast<Login*>(get_window_long(dlg, gwl::user_data));
  switch (msg) {
    case wm::init_dialog:
      set_window_long(dlg, gwl::user_data, lp);
      set_dlg_item_text(dlg, 1001, reinterpret_cast<Login*>(lp)->name);
      return 1;
    case wm::command:
      if (lo_word(wp) == id::ok) {
        data->name = get_dlg_item_text(dlg, 1001);
        data->password = get_dlg_item_text(dlg, 1002);
        data->save = is_dlg_button_checked(dlg, 1003);
        if (data->name.empty()) {
          message_box(dlg, u"Не задано имя пользователя.", u"Ошибка", mb::ok | mb::icon_error);
          return 1;
        }
        end_dialog(dlg, id::ok);
        return 1;
      }
      if (lo_word(wp) == id::cancel) {
        end_dialog(dlg, id::cancel);
        return 1;
      }
      return 0;
    default:
      return 0;
  }
}

}  // namespace

TEST(Dialog, ScriptedModalDialogRunsItsProcedureToTheEnd) {
  HeadlessUi ui;
  register_dialog_template("", 190, login_template());
  Login data{u"trader"};
  ui.script().on_dialog(190, [](DialogDriver& d) {
    EXPECT_EQ(d.text(1001), u"trader");
    EXPECT_EQ(get_focus(), d.item(1001)) << "the first tab stop has the focus";
    d.set_text(1001, u"");
    d.click(id::ok);  // refused: the name is empty
    EXPECT_TRUE(d.open());
    d.set_text(1001, u"Иванов");
    d.set_text(1002, u"секрет");
    d.click(1003);
    d.press_key(vk::enter);  // the default button
  });
  EXPECT_EQ(dialog_box("", 190, Hwnd{}, login_proc, reinterpret_cast<LPARAM>(&data)), id::ok);
  EXPECT_EQ(data.name, u"Иванов");
  EXPECT_EQ(data.password, u"секрет");
  EXPECT_EQ(data.save, 1);
  EXPECT_EQ(ui.script().message_texts(), std::vector<std::u16string>{u"Не задано имя пользователя."});
  EXPECT_TRUE(ui.script().problems().empty());
  // Escape is cancel; an unscripted dialog is cancelled; a missing template is -1.
  ui.script().on_dialog(190, [](DialogDriver& d) { d.press_key(vk::escape); });
  EXPECT_EQ(dialog_box("", 190, Hwnd{}, login_proc, reinterpret_cast<LPARAM>(&data)), id::cancel);
  EXPECT_EQ(dialog_box("", 190, Hwnd{}, login_proc, reinterpret_cast<LPARAM>(&data)), id::cancel);
  EXPECT_EQ(dialog_box("", 191, Hwnd{}, login_proc, 0), -1);
}

TEST(Dialog, DialogClassExchangesDataAndKeepsOpenOnABadField) {
  HeadlessUi ui;
  DialogTemplate t = login_template();
  t.items[1].style |= es::number;
  register_dialog_template("", 192, t);
  struct Periods : Dialog {
    int period = 9;
    std::u16string note = u"x";
    Periods() : Dialog("", 192) {}
    void do_data_exchange(DataExchange& dx) override {
      ddx_text(dx, 1001, period);
      ddv_min_max(dx, 1001, period, 1, 50000);
      ddx_text(dx, 1002, note);
    }
  } dlg;
  ui.script().on_dialog(192, [](DialogDriver& d) {
    EXPECT_EQ(d.text(1001), u"9");
    d.set_text(1001, u"50001");
    d.click(id::ok);
    EXPECT_TRUE(d.open());
    EXPECT_EQ(get_focus(), d.item(1001)) << "the failing field takes the focus";
    d.set_text(1001, u"50000");
    d.click(id::ok);
  });
  EXPECT_EQ(dlg.do_modal(Hwnd{}), id::ok);
  EXPECT_EQ(dlg.period, 50000);
  ASSERT_EQ(ui.script().message_texts().size(), 1u);
  EXPECT_EQ(ui.script().message_texts()[0], u"Введите целое число от 1 до 50000.");
}

TEST(Dialog, PortraitAndLandscapeTemplatesFollowTheScreen) {
  HeadlessUi ui;
  DialogTemplate portrait = login_template(), landscape = login_template();
  portrait.full_screen = landscape.full_screen = true;
  landscape.items[5].x = 150;  // OK moves to the right in landscape
  landscape.items[5].y = 4;
  // Arrows without a buddy take their template's place like any control;
  // arrows buddied to a field stay at its edge wherever the field goes.
  const DWORD arrows = ws::visible | uds::align_right;
  portrait.items.push_back({class_name::up_down, u"", 1010, arrows, 4, 60, 8, 12});
  landscape.items.push_back({class_name::up_down, u"", 1010, arrows, 190, 40, 8, 12});
  portrait.items.push_back({class_name::up_down, u"", 1011, arrows, 4, 4, 8, 12});
  landscape.items.push_back({class_name::up_down, u"", 1011, arrows, 4, 4, 8, 12});
  landscape.items[1].x = 150;  // the name field moves too
  landscape.items[1].y = 20;
  register_dialog_template("", 141, portrait);
  register_dialog_template("", 201, landscape);
  struct Order : Dialog {
    Order() : Dialog("", 141) { set_orientation_templates(141, 201); }
  } dlg;
  ASSERT_TRUE(dlg.create_modeless(Hwnd{}));
  UpDownControl{dlg.item(1011)}.set_buddy(dlg.item(1001));
  RECT before = get_window_rect(dlg.item(id::ok));
  const RECT loose_before = get_window_rect(dlg.item(1010));
  set_screen_size(320, 240);
  RECT after = get_window_rect(dlg.item(id::ok));
  EXPECT_GT(after.left, before.left);
  EXPECT_LT(after.top, before.top);
  const RECT loose = get_window_rect(dlg.item(1010));
  EXPECT_GT(loose.left, loose_before.left + 100) << "the unbuddied arrows took the landscape place";
  EXPECT_LT(loose.top, loose_before.top);
  const RECT field = get_window_rect(dlg.item(1001));
  const RECT buddied = get_window_rect(dlg.item(1011));
  EXPECT_EQ(buddied.left, field.right) << "the buddied arrows follow the moved field";
  EXPECT_EQ(buddied.top, field.top);
  EXPECT_EQ(width_of(get_window_rect(dlg.hwnd())), 320) << "a full-screen dialog follows the screen";
  set_screen_size(240, 320);
  EXPECT_TRUE(rects_equal(get_window_rect(dlg.item(id::ok)), before));
}

TEST(Dialog, WorkerAsksForADialogWhileTheUiThreadWaitsForTheWorker) {
  HeadlessUi ui(ScreenConfig{}, false);
  register_dialog_template("", 190, login_template());
  ui.script().on_dialog(190, [](DialogDriver& d) {
    d.set_text(1001, u"worker");
    d.click(id::ok);
  });
  Login data{u""};
  intptr_t answer = 0;
  std::thread::id ran_on;
  kelda::platform::Event done(kelda::platform::Event::Reset::manual);
  std::thread worker([&] {
    answer = dialog_box("", 190, Hwnd{}, [&](Hwnd h, UINT m, WPARAM w, LPARAM l) {
      if (m == wm::init_dialog) ran_on = std::this_thread::get_id();
      return login_proc(h, m, w, l);
    }, reinterpret_cast<LPARAM>(&data));
    done.set();
  });
  kelda::platform::Waitable* objects[] = {&done};
  auto r = wait_pumping(objects, 10000);
  worker.join();
  EXPECT_EQ(r.status, kelda::platform::WaitStatus::signaled);
  EXPECT_EQ(answer, id::ok);
  EXPECT_EQ(data.name, u"worker");
  EXPECT_EQ(ran_on, std::this_thread::get_id()) << "the dialog ran on the user-interface thread";
}

TEST(Dialog, WithoutAUiThreadTheServiceAnswersCancelled) {
  register_dialog_template("", 190, login_template());
  kelda::platform::set_last_error(0);
  EXPECT_EQ(dialog_box("", 190, Hwnd{}, login_proc, 0), id::cancel);
  EXPECT_EQ(kelda::platform::get_last_error(), kelda::platform::error::cancelled);
  EXPECT_EQ(message_box(Hwnd{}, u"?", u"", mb::yes_no), id::cancel);
  EXPECT_FALSE(get_open_file_name(FileDialogRequest{}).has_value());
}

TEST(Dialog, TabPagesAreChildDialogsInTheDisplayArea) {
  HeadlessUi ui;
  DialogTemplate outer;
  outer.cx = 160;
  outer.cy = 120;
  outer.items = {{class_name::tab_control, u"", 1244, ws::visible | ws::tab_stop, 4, 4, 152, 112}};
  DialogTemplate page;
  page.style = ws::child | ds::control;
  page.cx = 140;
  page.cy = 80;
  page.items = {{class_name::edit, u"9", 1301, ws::visible | ws::tab_stop | ws::border, 4, 4, 40, 12}};
  register_dialog_template("", 227, outer);
  register_dialog_template("", 228, page);
  ui.script().on_dialog(227, [](DialogDriver& d) {
    Hwnd tab = d.item(1244);
    Hwnd p = create_dialog("", 228, d.dialog(), [](Hwnd, UINT, WPARAM, LPARAM) -> intptr_t { return 0; });
    ASSERT_TRUE(p);
    RECT area = TabControlWrapper{tab}.display_rect();
    area = map_rect(tab, d.dialog(), area);
    move_window(p, area.left, area.top, width_of(area), height_of(area));
    show_window(p, sw::show);
    EXPECT_EQ(get_parent(p), d.dialog());
    EXPECT_EQ(get_dlg_item_text(p, 1301), u"9");
    set_focus(get_dlg_item(p, 1301));
    d.press_key(vk::tab);
    EXPECT_EQ(get_focus(), tab) << "tabbing walks into and out of the page";
    d.end(id::ok);
  });
  EXPECT_EQ(dialog_box("", 227, Hwnd{}, [](Hwnd, UINT, WPARAM, LPARAM) -> intptr_t { return 0; }), id::ok);
}

TEST(Dialog, RadioButtonsUpToTheLastIdAreCheckedWithoutWrappingAround) {
  HeadlessUi ui;
  Hwnd dialog = create_window(CreateParams{u"", u"", ws::popup, 0, RECT{0, 30, 200, 200}});
  ASSERT_TRUE(dialog);
  const int ids[] = {INT_MAX - 2, INT_MAX - 1, INT_MAX};
  for (int id : ids) {
    ASSERT_TRUE(create_window(CreateParams{class_name::button, u"", ws::child | bs::auto_radio_button, 0,
                                           RECT{0, 0, 50, 10}, dialog, static_cast<UINT>(id)}));
  }
  check_dlg_button(dialog, INT_MAX - 2, bst::checked);
  EXPECT_TRUE(check_radio_button(dialog, INT_MAX - 1, INT_MAX, INT_MAX));
  EXPECT_EQ(is_dlg_button_checked(dialog, INT_MAX - 2), bst::checked) << "outside the range: untouched";
  EXPECT_EQ(is_dlg_button_checked(dialog, INT_MAX - 1), bst::unchecked);
  EXPECT_EQ(is_dlg_button_checked(dialog, INT_MAX), bst::checked);
  destroy_window(dialog);
}
