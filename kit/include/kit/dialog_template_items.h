// Pieces of the libraries' dialog templates: a template built from its items
// in the order they are added (which is their tab order), laid out in dialog units
// on the column of the narrow dialogs (140 units wide at x 5: a label 9
// units high and, 9 units below it, its field 12 units high), push buttons
// 14 units high; and the registration of a template under its
// language-chosen name ("<base>_0X<language>_0X01", see dialog_box.h).
//
// Threading: building items is plain data on the caller's thread;
// registration follows ui::register_dialog_template. Nothing here throws
// beyond std::bad_alloc.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "ui/controls.h"
#include "ui/dialog.h"

namespace kelda::kit {

// A visible control that takes the focus by Tab, and a one-line edit.
inline constexpr DWORD kTabStopStyle = ui::ws::visible | ui::ws::tab_stop;
inline constexpr DWORD kEditStyle = kTabStopStyle | ui::ws::border | ui::es::auto_hscroll;

class TemplateItems {
 public:
  // Any item as it is.
  TemplateItems& add(ui::DialogItem item);
  // A push button 14 units high; `style` adds to kTabStopStyle.
  TemplateItems& button(const char16_t* text, int id, int x, int y, int cx, DWORD style = 0);
  // A static label across the column at y.
  TemplateItems& label(const char16_t* text, int y);
  // A label at y and a one-line edit across the column under it; `style`
  // adds to kEditStyle.
  TemplateItems& text_field(const char16_t* label, int y, int id, DWORD style = 0);
  // A label at y, a one-line edit under it and a browse button "..." at the
  // edit's right.
  TemplateItems& file_field(const char16_t* label, int y, int id, int browse_id);
  // The default button (id OK) at x 30 and Cancel at x 78, 44 units wide.
  TemplateItems& ok_cancel(const char16_t* ok, const char16_t* cancel, int y);
  // The template of the items added, with its caption and size (dialog
  // units) and the layer's default style and font; the builder is left
  // empty.
  ui::DialogTemplate dialog(const char16_t* caption, int cx, int cy);

 private:
  std::vector<ui::DialogItem> items_;
};

// Registers the template of `module` under the name that `base` has for the
// language (default sub-language).
void register_localized_template(std::string_view module, const char16_t* base, uint16_t language,
                                 ui::DialogTemplate dialog);

}  // namespace kelda::kit
