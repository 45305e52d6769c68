// The faces a font is drawn with: the kind of face from the pitch and family
// bits before the name, the narrow faces the layouts were made for, and a
// face of the core set at the end of every list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/gdi.h"

using namespace kelda::ui;

namespace {

LogFont log_font(std::u16string_view face, BYTE pitch_and_family) {
  LogFont lf;
  lf.height = -18;
  lf.pitch_and_family = pitch_and_family;
  lf.set_face(face);
  return lf;
}

TEST(FontFamilies, TheFamilyBitsChooseTheKindOfFaceBeforeTheName) {
  const std::u16string narrow = u"Liberation Sans Narrow";
  const std::u16string dialog = u"DejaVu Sans Condensed";
  const std::u16string serif = u"DejaVu Serif";
  const std::u16string mono = u"DejaVu Sans Mono";
  struct Case {
    std::u16string_view face;
    BYTE bits;
    const std::u16string& first;
  } const cases[] = {
      // The tables' font: variable pitch, swiss; "Serif" in its name.
      {u"MS Sans Serif", 0x22, narrow},
      {u"MS Sans Serif", 0x00, narrow},
      // The bits win over the name.
      {u"Times New Roman", ff::swiss, narrow},
      {u"MS Sans Serif", ff::roman, serif},
      {u"MS Sans Serif", ff::modern, mono},
      {u"Arial", ff::variable_pitch | ff::roman, serif},
      {u"Tahoma", ff::fixed_pitch, mono},
      // No bits: the name decides.
      {u"Times New Roman", 0x00, serif},
      {u"Courier New", 0x00, mono},
      {u"Lucida Console", 0x00, mono},
      {u"Georgia", 0x00, serif},
      {u"Some Face", 0x00, narrow},
      // The dialog face keeps the handheld's dialog widths.
      {u"Tahoma", 0x00, dialog},
      {u"tahoma", ff::swiss, dialog},
      {u"MS Shell Dlg", 0x00, dialog},
  };
  for (const Case& c : cases) {
    const std::vector<std::u16string> families = font_families(log_font(c.face, c.bits));
    ASSERT_FALSE(families.empty());
    EXPECT_EQ(families.front(), c.first) << std::string(c.face.begin(), c.face.end()) << " " << int{c.bits};
    // A machine without the narrow faces still draws with the core set.
    const std::u16string& last = families.back();
    EXPECT_TRUE(last == u"DejaVu Sans" || last == serif || last == mono);
    EXPECT_EQ(Font(log_font(c.face, c.bits)).mapped_families(), families);
  }
}

TEST(FontFamilies, TheSystemFontIsTheDialogFace) {
  EXPECT_EQ(Font().mapped_family(), u"DejaVu Sans Condensed");
  EXPECT_EQ(point_font(u"Tahoma", 8).mapped_family(), u"DejaVu Sans Condensed");
}

}  // namespace
