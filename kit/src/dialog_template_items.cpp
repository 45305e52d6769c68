// The shared pieces of dialog templates and their language-chosen
// registration.
#include "kit/dialog_template_items.h"

#include <utility>

#include "kit/messages.h"
#include "kit/resources.h"

namespace kelda::kit {
namespace {

constexpr int kColumnX = 5;
constexpr int kColumnWidth = 140;
constexpr int kFieldBelowLabel = 9;
constexpr int kBrowseWidth = 17;
constexpr int kButtonHeight = 14;

ui::DialogItem edit(int id, int y, int cx, DWORD style) {
  return {ui::class_name::edit, u"", id, kEditStyle | style, kColumnX, y + kFieldBelowLabel, cx, 12};
}

}  // namespace

TemplateItems& TemplateItems::add(ui::DialogItem item) {
  items_.push_back(std::move(item));
  return *this;
}

TemplateItems& TemplateItems::button(const char16_t* text, int id, int x, int y, int cx, DWORD style) {
  return add({ui::class_name::button, text, id, kTabStopStyle | style, x, y, cx, kButtonHeight});
}

TemplateItems& TemplateItems::label(const char16_t* text, int y) {
  return add({ui::class_name::static_, text, ui::id::static_text, ui::ws::visible, kColumnX, y, kColumnWidth, 9});
}

TemplateItems& TemplateItems::text_field(const char16_t* label_text, int y, int id, DWORD style) {
  return label(label_text, y).add(edit(id, y, kColumnWidth, style));
}

TemplateItems& TemplateItems::file_field(const char16_t* label_text, int y, int id, int browse_id) {
  // The browse button stands one unit above the edit, flush with the column's right edge.
  constexpr int kEditWidth = kColumnWidth - kBrowseWidth - 3;
  return label(label_text, y)
      .add(edit(id, y, kEditWidth, 0))
      .button(u"...", browse_id, kColumnX + kColumnWidth - kBrowseWidth, y + kFieldBelowLabel - 1, kBrowseWidth);
}

TemplateItems& TemplateItems::ok_cancel(const char16_t* ok, const char16_t* cancel, int y) {
  return button(ok, ui::id::ok, 30, y, 44, ui::bs::def_push_button).button(cancel, ui::id::cancel, 78, y, 44);
}

ui::DialogTemplate TemplateItems::dialog(const char16_t* caption, int cx, int cy) {
  ui::DialogTemplate d;
  d.cx = cx;
  d.cy = cy;
  d.caption = caption;
  d.items = std::move(items_);
  items_.clear();
  return d;
}

void register_localized_template(std::string_view module, const char16_t* base, uint16_t language,
                                 ui::DialogTemplate dialog) {
  ui::register_dialog_template(module, ui::ResourceName(localized_resource_name(base, language, kSubLanguageDefault)),
                               std::move(dialog));
}

}  // namespace kelda::kit
