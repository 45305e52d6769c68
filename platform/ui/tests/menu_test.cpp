// Menus, pop-up menus, the menu bar and its buttons, and the layer's own
// message box and file dialog driven through their real windows.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ui/backend.h"
#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/loop.h"
#include "ui/menu.h"
#include "ui/screen.h"
#include "ui/services.h"
#include "ui/testing.h"

using namespace kelda::ui;

namespace {

MenuTemplate main_menu() {
  MenuTemplate m;
  m.items = {
      {u"Главное", 0, 0, {{u"Установить соединение", 32771}, {u"Разорвать соединение", 32772, mf::grayed}, {}, {u"Выход", 57665}}},
      {u"Окно", 0, 0, {{u"Новое", 0, 0, {{u"Сделки", 32790}, {u"Заявки", 32791}}}, {}}},
      {u"?", 0, 0, {{u"О программе...", 57664}}},
  };
  return m;
}

class Frame : public Window {
 public:
  std::vector<UINT> commands;
  Frame() {
    CreateParams p;
    p.style = ws::popup | ws::visible;
    p.rect = RECT{kUseDefault, 0, 0, 0};
    create(p);
  }
  LRESULT window_proc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == wm::command) commands.push_back(lo_word(wp));
    return default_proc(msg, wp, lp);
  }
};

// Runs `act` when the loop of a modal window (menu, dialog) is running: a
// thread message posted before the modal call is taken by that loop.
MessageFilterToken when_open(std::function<void()> act) {
  post_thread_message(ui_thread_id(), wm::app + 1, 0, 0);
  return add_message_filter([act = std::move(act)](Message& m) {
    if (m.hwnd || m.message != wm::app + 1) return false;
    act();
    return true;
  });
}

}  // namespace

TEST(Menu, TemplateStatesAndScriptedPopupChoices) {
  HeadlessUi ui;
  register_menu_template("", 128, main_menu());
  Hmenu menu = load_menu("", 128);
  ASSERT_TRUE(menu);
  EXPECT_EQ(get_menu_item_count(menu), 3);
  Hmenu window_menu = get_sub_menu(menu, 1);
  append_menu(window_menu, mf::string, 32850, u"Сделки");
  EXPECT_TRUE(menu_has_command(menu, 32850));
  EXPECT_EQ(get_menu_state(menu, 32772, mf::by_command) & mf::grayed, mf::grayed);
  EXPECT_EQ(enable_menu_item(menu, 32772, mf::enabled), static_cast<int>(mf::grayed));
  EXPECT_EQ(get_menu_state(menu, 32772, mf::by_command) & mf::grayed, 0);
  delete_menu(window_menu, 32850, mf::by_command);
  EXPECT_FALSE(menu_has_command(menu, 32850));

  Frame frame;
  Hmenu popup = create_popup_menu();
  append_menu(popup, mf::string, 301, u"Настройки таблицы");
  append_menu(popup, mf::string | mf::grayed, 32785, u"Снять заявку");
  ui.script().choose_menu_command(301);
  EXPECT_EQ(track_popup_menu(popup, tpm::return_cmd, 10, 100, frame.hwnd()), 301u);
  ui.script().choose_menu_command(32785);  // greyed: nothing is chosen
  EXPECT_EQ(track_popup_menu(popup, tpm::return_cmd, 10, 100, frame.hwnd()), 0u);
  ui.script().choose_menu_command(301);
  EXPECT_NE(track_popup_menu(popup, 0, 10, 100, frame.hwnd()), 0u);
  process_pending();
  EXPECT_EQ(frame.commands, std::vector<UINT>{301}) << "without return_cmd the owner gets the command";
  EXPECT_EQ(ui.script().problems().size(), 1u);
  destroy_menu(popup);
  destroy_menu(menu);
}

TEST(Menu, TheLayersOwnPopupIsChosenByATap) {
  HeadlessUi ui;
  set_services(default_services());
  Frame frame;
  Hmenu popup = create_popup_menu();
  Hmenu sub = create_popup_menu();
  append_menu(sub, mf::string, 368, u"Наклонная");
  append_menu(popup, mf::string, 324, u"Редактировать");
  append_menu(popup, mf::popup, sub.value(), u"Добавить линию тренда");
  auto tap_item = [](int index) {
    Hwnd menu;
    for (Hwnd h : top_level_windows())
      if (!menu && get_class_name(h) == u"PopupMenu" && is_window_visible(h)) menu = h;  // the topmost level
    ASSERT_TRUE(menu);
    int ih = font_engine().metrics(system_font()).height + static_cast<int>(6 * scale_x());
    scripted::tap_at(menu, POINT{20, 1 + ih * index + ih / 2});
  };
  auto filter = when_open([&] {
    tap_item(1);  // opens the sub-menu
    tap_item(0);  // the deepest menu's first item
  });
  EXPECT_EQ(track_popup_menu(popup, tpm::return_cmd, 20, 100, frame.hwnd()), 368u);
  auto dismiss = when_open([&] { scripted::tap_at(frame.hwnd(), POINT{200, 10}); });
  EXPECT_EQ(track_popup_menu(popup, tpm::return_cmd, 20, 100, frame.hwnd()), 0u);
  destroy_menu(popup);
}

TEST(MenuBar, ButtonsKeepTheirStatesAndSendCommandsToTheOwner) {
  HeadlessUi ui;
  register_menu_template("", 128, main_menu());
  register_toolbar_template("", 128, ToolbarTemplate{16, 16, {32780, 32781, 32782, 0, 57665}});
  register_bitmap("", 128, Bitmap(64, 16, 0xFF808080u));
  Frame frame;
  RECT before = get_window_rect(frame.hwnd());
  Hwnd bar = create_menu_bar(frame.hwnd(), "", 128);
  ASSERT_TRUE(bar);
  EXPECT_EQ(find_menu_bar(frame.hwnd()), bar);
  EXPECT_EQ(get_window_rect(frame.hwnd()).bottom, get_window_rect(bar).top) << "the frame ends where the bar begins";
  EXPECT_LT(get_window_rect(frame.hwnd()).bottom, before.bottom);
  Hmenu menu = Hmenu(static_cast<uintptr_t>(send_message(bar, kMenuBarGetMenu)));
  EXPECT_TRUE(menu_has_command(menu, 57665));
  ASSERT_TRUE(add_toolbar_buttons(bar, "", 128));
  send_message(bar, tb::enable_button, 32780, 0);
  EXPECT_FALSE(is_toolbar_button_enabled(bar, 32780));
  EXPECT_TRUE(is_toolbar_button_enabled(bar, 32781));
  check_toolbar_button(bar, 32781, true);
  EXPECT_TRUE(is_toolbar_button_checked(bar, 32781));
  // The rightmost button is 57665 (exit): each button is 23 pixels wide.
  RECT br = get_client_rect(bar);
  scripted::tap_at(bar, POINT{br.right - 2 - 11, br.bottom / 2});
  scripted::tap_at(bar, POINT{br.right - 2 - 23 - 6 - 23 * 2 - 11, br.bottom / 2});  // 32780, disabled
  EXPECT_EQ(frame.commands, std::vector<UINT>{57665});
}

TEST(MenuBar, CommandsAreRoutedThroughTheViewToTheActiveChildFirst) {
  HeadlessUi ui;
  register_menu_template("", 128, main_menu());
  struct Node : Window {
    std::vector<UINT>* log;
    UINT mine;
    Hwnd next;
    Node(std::vector<UINT>* l, UINT m) : log(l), mine(m) {}
    bool route_command(UINT id, UINT code) override {
      if (kelda::ui::route_command(next, id, code)) return true;  // the inner window first
      if (id != mine) return false;
      log->push_back(id);
      return true;
    }
  };
  struct RoutingFrame : Frame {
    Hwnd view;
    LRESULT window_proc(UINT msg, WPARAM wp, LPARAM lp) override {
      if (msg == wm::command && kelda::ui::route_command(view, lo_word(wp), hi_word(wp))) return 0;
      return Frame::window_proc(msg, wp, lp);
    }
  } frame;
  std::vector<UINT> handled;
  Node view(&handled, 32790), child(&handled, 32791);
  ASSERT_TRUE(view.create(CreateParams{u"", u"", ws::child | ws::visible, 0, RECT{0, 0, 100, 100}, frame.hwnd(), 0xE900}));
  ASSERT_TRUE(child.create(CreateParams{u"", u"", ws::child | ws::visible, 0, RECT{0, 0, 50, 50}, view.hwnd(), 0xE901}));
  frame.view = view.hwnd();
  view.next = child.hwnd();
  Hwnd bar = create_menu_bar(frame.hwnd(), "", 128);
  for (UINT cmd : {32791u, 32790u, 57665u}) {
    ui.script().choose_menu_command(cmd);
    RECT r = get_client_rect(bar);
    // "Главное" (exit) at the left, "Окно" after it.
    int x = cmd == 57665u ? 10 : 2 + font_engine().text_width(system_font(), u"Главное") + 14 + 10;
    scripted::tap_at(bar, POINT{x, r.bottom / 2});
  }
  EXPECT_EQ(handled, (std::vector<UINT>{32791, 32790})) << "the child took its command, the view its own";
  EXPECT_EQ(frame.commands, (std::vector<UINT>{57665})) << "what nobody routed reached the frame";
  EXPECT_EQ(set_cursor(201), idc::arrow);
  EXPECT_EQ(current_cursor(), 201);
}

TEST(MessageBox, TheLayersOwnBoxAnswersTheButtonTapped) {
  HeadlessUi ui;
  set_services(default_services());
  auto tap_button = [](const char16_t* text) {
    Hwnd box = get_active_window();
    for (Hwnd c : child_windows(box))
      if (get_window_text(c) == text) scripted::tap(c);
  };
  auto f1 = when_open([&] { tap_button(u"Да"); });
  EXPECT_EQ(message_box(Hwnd{}, u"Вы действительно желаете завершить работу?", u"KeldaMobile", mb::yes_no | mb::icon_question),
            id::yes);
  auto f2 = when_open([] { scripted::press_key(vk::escape); });
  EXPECT_EQ(message_box(Hwnd{}, u"Готово.", u"", mb::ok), id::ok) << "Escape closes a box with only OK";
}

TEST(FileDialog, TheLayersOwnDialogListsFilesAndAsksBeforeOverwriting) {
  HeadlessUi ui;
  set_services(default_services());
  namespace fs = std::filesystem;
  fs::create_directory("sub");
  std::ofstream("set.tcf") << "x";
  std::ofstream("notes.txt") << "x";
  FileDialogRequest req;
  req.filter = u"Файлы настроек (*.tcf)|*.tcf|";
  req.default_ext = u"tcf";
  req.flags = ofn::hide_read_only | ofn::overwrite_prompt;
  std::vector<std::u16string> listed;
  auto f = when_open([&] {
    Hwnd dlg = get_active_window();
    ListViewControl lv{get_dlg_item(dlg, 201)};
    for (int i = 0; i < lv.item_count(); ++i) listed.push_back(lv.item_text(i, 0));
    scripted::set_text_by_typing(get_dlg_item(dlg, 202), u"set");
    // OK, then the overwrite question that it asks is answered "Да" (queued
    // messages are taken in order, the second inside the question's loop).
    post_message(dlg, wm::command, make_wparam(id::ok, bn::clicked), get_dlg_item(dlg, id::ok).to_lparam());
    post_thread_message(ui_thread_id(), wm::app + 2, 0, 0);
  });
  auto yes = add_message_filter([](Message& m) {
    if (m.hwnd || m.message != wm::app + 2) return false;
    for (Hwnd c : child_windows(get_active_window()))
      if (get_window_text(c) == u"Да") scripted::tap(c);
    return true;
  });
  auto got = get_save_file_name(req);
  ASSERT_TRUE(got);
  EXPECT_EQ(fs::path(std::string(got->path.begin(), got->path.end())).filename(), "set.tcf");
  EXPECT_NE(std::find(listed.begin(), listed.end(), u"[sub]"), listed.end());
  EXPECT_NE(std::find(listed.begin(), listed.end(), u"set.tcf"), listed.end());
  EXPECT_EQ(std::find(listed.begin(), listed.end(), u"notes.txt"), listed.end()) << "the filter hides other files";
}
