// Pictures from the PNG files of the tree: embedded by the build, decoded by
// libpng, registered by name and number; bitmap buttons over them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/last_error.h"
#include "register_sample_images.h"
#include "ui/bitmap_button.h"
#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/images.h"
#include "ui/resources.h"
#include "ui/screen.h"
#include "ui/testing.h"

using namespace kelda::ui;

namespace {
constexpr const char* kModule = "ui_images_test";

std::vector<uint8_t> artwork_file(const char* name) {
  std::ifstream in(std::string(KELDA_ARTWORK_DIR) + "/" + name, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
}  // namespace

TEST(Images, EmbeddedFilesAreDecodedAndRegisteredByNameAndNumber) {
  EXPECT_EQ(kelda::ui::test_images::register_sample_images(), 8);
  const Bitmap* logo = find_bitmap(kModule, 230);
  ASSERT_NE(logo, nullptr);
  EXPECT_EQ(logo->width(), 96);
  EXPECT_EQ(logo->height(), 48);
  EXPECT_EQ(logo->resource_id, 230);
  // Text names compare without regard to case.
  const Bitmap* green = find_bitmap(kModule, u"lamp_green");
  ASSERT_NE(green, nullptr);
  EXPECT_EQ(green->pixel(6, 6), 0xFF00B040u) << "the lamp's middle";
  EXPECT_EQ(green->pixel(0, 0) >> 24, 0u) << "corners are transparent";
  EXPECT_EQ(find_bitmap(kModule, u"LAMP_RED")->pixel(6, 6), 0xFFD82020u);
  const Bitmap* strip = find_bitmap(kModule, 128);
  ASSERT_NE(strip, nullptr);
  EXPECT_EQ(strip->width(), 64);
  EXPECT_EQ(find_bitmap("another_module", 230), nullptr);
}

TEST(Images, TheDecoderTakesEveryPngFormAndRefusesWhatIsNone) {
  // An RGBA file of the generator and a palette image with a transparency
  // chunk (built here) both decode to 0xAARRGGBB pixels.
  std::vector<uint8_t> rgba = artwork_file("lamp_red.png");
  ASSERT_FALSE(rgba.empty());
  auto a = decode_png(rgba);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->width(), 12);

  // A 2 x 1 palette image: one opaque blue pixel, one transparent.
  const std::vector<uint8_t> palette_png = {
      0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00,
      0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x08, 0x03, 0x00, 0x00, 0x00, 0xC3, 0xFC, 0x8F, 0xB8, 0x00,
      0x00, 0x00, 0x06, 0x50, 0x4C, 0x54, 0x45, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x7B, 0x62, 0xBF, 0x3E,
      0x00, 0x00, 0x00, 0x02, 0x74, 0x52, 0x4E, 0x53, 0xFF, 0x00, 0xE5, 0xB7, 0x30, 0x4A, 0x00, 0x00, 0x00,
      0x0B, 0x49, 0x44, 0x41, 0x54, 0x78, 0xDA, 0x63, 0x60, 0x60, 0x04, 0x00, 0x00, 0x04, 0x00, 0x02, 0x2C,
      0xDE, 0x48, 0xAD, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
  auto p = decode_png(palette_png);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->pixel(0, 0), 0xFF0000FFu);
  EXPECT_EQ(p->pixel(1, 0) >> 24, 0u);

  std::vector<uint8_t> cut(rgba.begin(), rgba.begin() + static_cast<std::ptrdiff_t>(rgba.size() / 2));
  std::vector<uint8_t> not_png(100, 0x42);
  for (const auto* bad : {&cut, &not_png}) {
    kelda::platform::set_last_error(0);
    EXPECT_FALSE(decode_png(*bad));
    EXPECT_EQ(kelda::platform::get_last_error(), kelda::platform::error::invalid_data);
  }
  EXPECT_FALSE(decode_png({}));
  // A broken embedded image is left out; the others are registered.
  const uint8_t junk[] = {1, 2, 3};
  EmbeddedImage set[] = {{7, nullptr, junk, sizeof junk}, {8, nullptr, rgba.data(), rgba.size()}};
  EXPECT_EQ(register_embedded_images("ui_images_partial", set), 1);
  EXPECT_EQ(find_bitmap("ui_images_partial", 7), nullptr);
  EXPECT_NE(find_bitmap("ui_images_partial", 8), nullptr);
}

TEST(BitmapButton, ShowsThePictureOfItsStateAndTakesTheRotatedSet) {
  HeadlessUi ui;
  kelda::ui::test_images::register_sample_images();
  // The landscape set: the same pictures under other names.
  for (const char16_t* suffix : {u"U", u"D", u"F"}) {
    Bitmap wide = *find_bitmap(kModule, ResourceName(std::u16string(u"ADDCOL_BTN") + suffix));
    Bitmap h(wide.width() * 2, wide.height(), 0xFF00FF00u);
    register_bitmap(kModule, ResourceName(std::u16string(u"ADDCOLH_BTN") + suffix), h);
  }
  struct ColumnsDialog : Window {
    BitmapButton add;
    int loads = 0;
    LRESULT window_proc(UINT msg, WPARAM wp, LPARAM lp) override {
      if (msg == wm::size && add.hwnd()) {
        bool landscape = screen_info().width > screen_info().height;
        if (add.load_bitmaps(kModule, landscape ? u"ADDCOLH_BTN" : u"ADDCOL_BTN")) ++loads;
        add.size_to_content();
      }
      return default_proc(msg, wp, lp);
    }
  } dlg;
  CreateParams p;
  p.style = ws::popup | ws::visible;
  p.rect = screen_info().work_area;
  ASSERT_TRUE(dlg.create(p));
  make_full_screen(dlg.hwnd());
  create_window(CreateParams{class_name::button, u"ADDCOL_BTN", ws::child | ws::visible | ws::tab_stop, 0,
                             RECT{10, 10, 80, 40}, dlg.hwnd(), 1111});
  Hwnd other = create_window(CreateParams{class_name::button, u"x", ws::child | ws::visible | ws::tab_stop, 0,
                                          RECT{10, 60, 80, 90}, dlg.hwnd(), 1});
  ASSERT_TRUE(dlg.add.auto_load(dlg.hwnd(), 1111, kModule));
  EXPECT_FALSE(BitmapButton().auto_load(dlg.hwnd(), 4242, kModule));
  RECT r = get_client_rect(dlg.add.hwnd());
  EXPECT_EQ(r.right, 33);
  EXPECT_EQ(r.bottom, 17);

  const Bitmap* up = find_bitmap(kModule, u"ADDCOL_BTNU");
  set_focus(other);
  EXPECT_EQ(dlg.add.current_image(), up);
  auto painted = scripted::record_paint(dlg.add.hwnd());
  bool drew = false;
  for (auto& rec : painted) drew |= rec.op == CanvasOp::draw_bitmap && rec.rect.right - rec.rect.left == 33;
  EXPECT_TRUE(drew);
  set_focus(dlg.add.hwnd());
  EXPECT_EQ(dlg.add.current_image(), find_bitmap(kModule, u"ADDCOL_BTNF"));
  send_message(dlg.add.hwnd(), bm::set_state, 1);
  EXPECT_EQ(dlg.add.current_image(), find_bitmap(kModule, u"ADDCOL_BTND"));
  send_message(dlg.add.hwnd(), bm::set_state, 0);
  enable_window(dlg.add.hwnd(), false);  // no "X" picture: the normal one
  EXPECT_EQ(dlg.add.current_image(), up);
  enable_window(dlg.add.hwnd(), true);
  set_focus(dlg.add.hwnd());

  // Turning the screen loads the landscape set and sizes the button to it;
  // turning back restores the portrait set.
  ASSERT_TRUE(set_screen_size(320, 240));
  EXPECT_EQ(dlg.add.base_name(), u"ADDCOLH_BTN");
  EXPECT_EQ(get_client_rect(dlg.add.hwnd()).right, 66);
  EXPECT_EQ(dlg.add.current_image(), find_bitmap(kModule, u"ADDCOLH_BTNF"));
  ASSERT_TRUE(set_screen_size(240, 320));
  EXPECT_EQ(dlg.add.base_name(), u"ADDCOL_BTN");
  EXPECT_EQ(get_client_rect(dlg.add.hwnd()).right, 33);
  EXPECT_EQ(dlg.loads, 2);
  // A set that does not exist leaves the pictures as they were.
  EXPECT_FALSE(dlg.add.load_bitmaps(kModule, u"NOSUCH_BTN"));
  EXPECT_EQ(dlg.add.base_name(), u"ADDCOL_BTN");
}
