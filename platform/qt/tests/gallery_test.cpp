// The gallery: one dialog with every control, built from a portrait and a
// landscape template, driven by scripted input on the Qt backend, and
// photographed in both orientations (PNG files in the build folder).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/loop.h"
#include "ui/menu.h"
#include "ui/screen.h"
#include "ui/testing.h"
#include "ui_qt/qt_ui.h"

using namespace kelda::ui;

namespace {

constexpr const char* kModule = "gallery";

enum : int {
  kClass = 1003, kAccount = 104, kPrice = 105, kPriceSpin = 1032, kQuantity = 106, kBuy = 107, kSell = 108,
  kStop = 112, kExpiry = 1046, kPassword = 1010, kGroup = 1011, kList = 1134, kTab = 1244, kTable = 101,
  kOutput = 1002, kScroll = 1100, kPicture = 1247, kSubmit = 1, kMax = 1024,
};

// The same controls in two arrangements (dialog units): portrait for
// 240 x 320, landscape for 320 x 240.
std::vector<DialogItem> items(bool landscape) {
  struct Place {
    int x, y, cx, cy;
  };
  struct Row {
    std::u16string_view cls;
    std::u16string text;
    int id;
    DWORD style;
    Place portrait, landscape;
    int image = 0;
  };
  const Row rows[] = {
      {class_name::static_, u"Класс:", id::static_text, ss::left, {3, 4, 30, 9}, {3, 4, 28, 9}},
      {class_name::combo_box, u"", kClass, ws::tab_stop | cbs::drop_down_list | cbs::sort, {34, 2, 99, 70}, {32, 2, 58, 70}},
      {class_name::static_, u"Счёт:", id::static_text, ss::left, {3, 17, 30, 9}, {3, 17, 28, 9}},
      {class_name::combo_box, u"", kAccount, ws::tab_stop | cbs::drop_down | cbs::sort, {34, 15, 99, 60}, {32, 15, 58, 60}},
      {class_name::static_, u"Цена:", id::static_text, ss::left, {3, 30, 30, 9}, {3, 30, 28, 9}},
      {class_name::edit, u"", kPrice, ws::tab_stop | ws::border | es::auto_hscroll, {34, 28, 44, 12}, {32, 28, 34, 12}},
      {class_name::up_down, u"", kPriceSpin, uds::auto_buddy | uds::align_right, {0, 0, 9, 12}, {0, 0, 9, 12}},
      {class_name::static_, u"Кол-во:", id::static_text, ss::left, {3, 43, 30, 9}, {3, 43, 28, 9}},
      {class_name::edit, u"", kQuantity, ws::tab_stop | ws::border | es::number, {34, 41, 44, 12}, {32, 41, 34, 12}},
      {class_name::button, u"Покупка", kBuy, ws::tab_stop | ws::group | bs::auto_radio_button, {82, 29, 51, 10}, {3, 55, 42, 10}},
      {class_name::button, u"Продажа", kSell, bs::auto_radio_button, {82, 42, 51, 10}, {46, 55, 44, 10}},
      {class_name::button, u"Стоп-заявка", kStop, ws::tab_stop | ws::group | bs::auto_check_box, {3, 55, 60, 10}, {3, 68, 44, 10}},
      {class_name::date_picker, u"", kExpiry, ws::tab_stop | ws::border | dts::up_down, {66, 54, 67, 12}, {48, 67, 42, 12}},
      {class_name::edit, u"", kPassword, ws::tab_stop | ws::border | es::password, {3, 67, 60, 12}, {148, 26, 32, 12}},
      {class_name::button, u"0", kMax, ws::tab_stop, {66, 67, 20, 12}, {70, 41, 20, 12}},
      {class_name::button, u"", 1300, ws::tab_stop | bs::bitmap, {90, 67, 20, 12}, {148, 41, 14, 12}, 1300},
      {class_name::static_, u"", kPicture, ss::bitmap | ss::center_image | ws::border, {114, 67, 19, 12}, {166, 41, 14, 12}, kPicture},
      {class_name::tab_control, u"", kTab, ws::tab_stop, {3, 81, 60, 22}, {94, 2, 86, 20}},
      {class_name::button, u"Колонки", kGroup, bs::group_box, {66, 80, 67, 30}, {94, 24, 50, 36}},
      {class_name::list_box, u"", kList, ws::tab_stop | ws::border | ws::vscroll | lbs::multiple_sel, {70, 89, 59, 18}, {98, 33, 42, 24}},
      {class_name::scroll_bar, u"", kScroll, sbs::horz, {3, 105, 60, 8}, {94, 86, 40, 8}},
      {class_name::list_view, u"", kTable, ws::tab_stop | ws::border | lvs::report, {3, 112, 130, 32}, {3, 81, 87, 22}},
      {class_name::edit, u"", kOutput, ws::border | ws::vscroll | es::multiline | es::read_only, {3, 147, 80, 14}, {94, 62, 86, 20}},
      {class_name::button, u"Подать", kSubmit, ws::tab_stop | bs::def_push_button, {86, 147, 47, 14}, {138, 84, 42, 14}},
  };
  std::vector<DialogItem> v;
  for (const Row& r : rows) {
    const Place& p = landscape ? r.landscape : r.portrait;
    v.push_back(DialogItem{r.cls, r.text, r.id, ws::visible | r.style, p.x, p.y, p.cx, p.cy, 0, r.image});
  }
  return v;
}

void register_gallery() {
  // Pictures: a small chart for the picture, a tick for the bitmap button.
  Bitmap chart = Bitmap::from_pixel_art(
      {"..........", "........g.", ".......g..", "..g...g...", ".g.g.g....", "g...g.....", "rrrrrrrrrr"},
      {{'g', 0xFF00A000u}, {'r', 0xFF0000C0u}});
  register_bitmap(kModule, kPicture, chart);
  register_bitmap(kModule, 1300, Bitmap::from_pixel_art({".......k", "......k.", "k....k..", ".k..k...", "..kk...."},
                                                         {{'k', 0xFF000000u}}));
  for (bool landscape : {false, true}) {
    DialogTemplate t;
    t.caption = u"Новая заявка";
    t.style = ws::popup | ws::caption | ws::visible | ds::modal_frame;
    t.full_screen = true;
    t.cx = landscape ? 182 : 136;
    t.cy = landscape ? 104 : 162;
    t.items = items(landscape);
    register_dialog_template(kModule, landscape ? 201 : 141, t);
  }
  MenuTemplate menu;
  menu.items = {{u"Главное", 0, 0, {{u"Новая заявка", 32783}, {u"Выход", 57665}}}, {u"Окно", 0, 0, {{u"Сделки", 32790}}}};
  register_menu_template(kModule, 128, menu);
}

class Gallery : public Dialog {
 public:
  Gallery() : Dialog(kModule, 141) { set_orientation_templates(141, 201); }

 protected:
  bool on_init_dialog() override {
    ComboBoxControl cls{item(kClass)};
    for (const char16_t* t : {u"ФОРТС", u"Акции", u"Облигации"}) cls.add(t);
    ComboBoxControl acc{item(kAccount)};
    acc.add(u"L01-00000F00");
    acc.add(u"SPBFUT00123");
    ListBoxControl lb{item(kList)};
    for (const char16_t* t : {u"Цена", u"Объём", u"Время", u"Код"}) lb.add(t);
    TabControlWrapper tab{item(kTab)};
    tab.insert_item(0, u"Главное");
    tab.insert_item(1, u"Сигнал");
    ListViewControl lv{item(kTable)};
    lv.set_extended_style(lvs_ex::full_row_select | lvs_ex::grid_lines, lvs_ex::full_row_select | lvs_ex::grid_lines);
    RECT r = get_client_rect(lv.hwnd);
    int w = (r.right - get_system_metrics(sm::cx_vscroll)) / 8;
    lv.insert_column(0, u"", w);
    lv.insert_column(1, u"Бумага", w * 3);
    lv.insert_column(2, u"Цена", w * 2, lvcfmt::right);
    lv.insert_column(3, u"Кол-во", w * 2, lvcfmt::right);
    const char16_t* names[] = {u"ГАЗПРОМ", u"ЛУКОЙЛ", u"Сбербанк", u"Норникель", u"Роснефть", u"МТС"};
    for (int i = 0; i < 6; ++i) {
      std::u16string n(1, static_cast<char16_t>(u'1' + i));
      int at = lv.insert_item(i, n, i);
      lv.set_item_text(at, 1, names[i]);
      lv.set_item_text(at, 2, i % 2 ? u"5123.50" : u"168.25");
      lv.set_item_text(at, 3, u"100");
    }
    ScrollInfo si;
    si.min = 0;
    si.max = 100;
    si.page = 20;
    si.pos = 30;
    set_scroll_info(item(kScroll), sb::ctl, si);
    return true;
  }
  bool on_notify(NotifyHeader& h, LRESULT& result) override {
    // Orders: active red, executed blue, as a table colours its rows.
    if (h.id_from == static_cast<uintptr_t>(kTable) && h.code == nm::custom_draw) {
      auto& cd = reinterpret_cast<ListViewCustomDraw&>(h);
      if (cd.nmcd.draw_stage == cdds::prepaint) {
        result = cdrf::notify_item_draw;
      } else {
        cd.text_color = cd.nmcd.item_lparam % 2 ? RGB(0, 0, 255) : RGB(255, 0, 0);
        result = cdrf::do_default;
      }
      return true;
    }
    return false;
  }
  LRESULT window_proc(UINT msg, WPARAM wp, LPARAM lp) override {
    // The buying and selling radio buttons sit on green and red.
    if (msg == wm::ctl_color_static) {
      Hwnd ctl = Hwnd::from(lp);
      if (ctl == item(kBuy) && ButtonControl{ctl}.check()) return colored(wp, green_);
      if (ctl == item(kSell) && ButtonControl{ctl}.check()) return colored(wp, red_);
    }
    return Dialog::window_proc(msg, wp, lp);
  }

 private:
  static LRESULT colored(WPARAM canvas, const Brush& b) {
    reinterpret_cast<Canvas*>(canvas)->set_bk_mode(bk::transparent);
    return reinterpret_cast<LRESULT>(&b);
  }
  Brush green_ = Brush::solid(RGB(0, 200, 0));
  Brush red_ = Brush::solid(RGB(255, 0, 0));
};

int distinct_colours(const Bitmap& b) {
  std::vector<uint32_t> seen;
  for (int y = 0; y < b.height(); y += 2)
    for (int x = 0; x < b.width(); x += 2) {
      uint32_t p = b.pixel(x, y) & 0xFFFFFF;
      if (std::find(seen.begin(), seen.end(), p) == seen.end()) seen.push_back(p);
      if (seen.size() > 50) return 50;
    }
  return static_cast<int>(seen.size());
}

bool has_ink(const Bitmap& b, RECT r) {
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x)
      if ((b.pixel(x, y) & 0xFF) < 0x60 && ((b.pixel(x, y) >> 8) & 0xFF) < 0x60) return true;
  return false;
}

}  // namespace

TEST(Gallery, EveryControlDrivenAndPhotographedInBothOrientations) {
  QtUiOptions o;
  o.show_window = false;
  QtUi ui(o);
  register_gallery();
  Gallery g;
  ASSERT_TRUE(g.create_modeless(Hwnd{}));
  Hwnd bar = create_menu_bar(g.hwnd(), kModule, 128);
  ASSERT_TRUE(bar);
  make_full_screen(g.hwnd());
  show_window(sip_button(), sw::show);

  DialogDriver d(g.hwnd());
  ASSERT_TRUE(d.choose(kClass, u"Акции"));
  d.set_text(kAccount, u"L01-00000F00");
  d.set_text(kPrice, u"168.25");
  RECT spin = get_client_rect(d.item(kPriceSpin));
  scripted::tap_at(d.item(kPriceSpin), POINT{spin.right / 2, 2});
  d.set_text(kQuantity, u"10x0");  // the letter is refused
  d.click(kSell);
  d.click(kStop);
  d.set_text(kPassword, u"секрет");
  scripted::choose_index(d.item(kList), 0);
  scripted::choose_index(d.item(kList), 2);
  RECT second{};
  send_message(d.item(kTab), tcm::get_item_rect, 1, reinterpret_cast<LPARAM>(&second));
  scripted::tap_at(d.item(kTab), POINT{(second.left + second.right) / 2, 4});
  ListViewControl lv{d.item(kTable)};
  RECT row = lv.item_rect(1);
  scripted::tap_at(lv.hwnd, POINT{40, (row.top + row.bottom) / 2});
  EditControl out{d.item(kOutput)};
  for (const char16_t* line : {u"Pinging 127.0.0.1:\r\n", u"1: Reply ok. Time: 1 ms\r\n", u"2: Request timed out.\r\n"})
    out.replace_sel(line);
  set_focus(d.item(kPrice));

  // What the controls now hold.
  EXPECT_EQ(get_window_text(d.item(kClass)), u"Акции");
  EXPECT_EQ(get_window_text(d.item(kAccount)), u"L01-00000F00");
  EXPECT_EQ(d.text(kQuantity), u"100");
  EXPECT_EQ(d.checked(kSell), bst::checked);
  EXPECT_EQ(d.checked(kBuy), bst::unchecked);
  EXPECT_EQ(d.checked(kStop), bst::checked);
  EXPECT_EQ(ListBoxControl{d.item(kList)}.selected_items(), (std::vector<int>{0, 2}));
  EXPECT_EQ(TabControlWrapper{d.item(kTab)}.cur_sel(), 1);
  EXPECT_EQ(lv.next_item(-1, lvni::selected), 1);

  const std::string dir = KELDA_GALLERY_DIR;
  std::filesystem::create_directories(dir);
  ASSERT_TRUE(ui.save_screenshot(dir + "/gallery_portrait.png"));
  Bitmap portrait = ui.screenshot();
  EXPECT_GT(distinct_colours(portrait), 8);
  RECT label = get_window_rect(d.item(kStop));
  EXPECT_TRUE(has_ink(portrait, label)) << "the Russian label is drawn";
  RECT ok_portrait = get_window_rect(d.item(kSubmit));
  EXPECT_LE(ok_portrait.bottom, get_window_rect(bar).top) << "everything fits above the menu bar";

  set_screen_size(320, 240);
  ASSERT_TRUE(ui.save_screenshot(dir + "/gallery_landscape.png"));
  Bitmap landscape = ui.screenshot();
  EXPECT_EQ(landscape.width(), 320);
  RECT ok_landscape = get_window_rect(d.item(kSubmit));
  EXPECT_LT(ok_landscape.top, ok_portrait.top) << "the landscape template placed the controls";
  EXPECT_LE(ok_landscape.bottom, get_window_rect(bar).top) << "everything fits above the menu bar";
  EXPECT_EQ(width_of(get_window_rect(g.hwnd())), 320);
  EXPECT_TRUE(has_ink(landscape, get_window_rect(d.item(kStop))));
  EXPECT_TRUE(std::filesystem::file_size(dir + "/gallery_landscape.png") > 1000);
}

TEST(Gallery, VgaScreenScalesTheSameDialog) {
  QtUiOptions o;
  o.show_window = false;
  o.screen = ScreenConfig{480, 640};
  QtUi ui(o);
  EXPECT_TRUE(is_vga_screen());
  EXPECT_DOUBLE_EQ(scale_x(), 2.0);
  register_gallery();
  Gallery g;
  ASSERT_TRUE(g.create_modeless(Hwnd{}));
  make_full_screen(g.hwnd());
  const std::string dir = KELDA_GALLERY_DIR;
  std::filesystem::create_directories(dir);
  ASSERT_TRUE(ui.save_screenshot(dir + "/gallery_vga.png"));
  RECT combo = get_window_rect(get_dlg_item(g.hwnd(), kClass));
  EXPECT_GT(height_of(combo), 30) << "controls follow the larger system font";
}
