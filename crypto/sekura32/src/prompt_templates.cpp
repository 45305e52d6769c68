// The dialog templates of the prompts and the activity window.
#include "prompt_templates.h"

#include <mutex>

#include "ui/controls.h"
#include "ui/dialog.h"

namespace kelda::sekura32 {
namespace {

constexpr DWORD kTab = ui::ws::visible | ui::ws::tab_stop;

ui::DialogItem button(const char16_t* text, int id, int x, int y, DWORD style = 0) {
  return {ui::class_name::button, text, id, kTab | style, x, y, 44, 14};
}

ui::DialogItem prompt_text(int y, int cy) {
  return {ui::class_name::static_, u"", kControlPrompt, ui::ws::visible, 30, y, 170, cy};
}

ui::DialogItem icon() {
  return {ui::class_name::static_, u"", kControlIcon, ui::ws::visible | ui::ss::icon, 6, 8, 18, 18};
}

ui::DialogTemplate dialog(const char16_t* caption, int cy, std::vector<ui::DialogItem> items) {
  ui::DialogTemplate d;
  d.cx = 206;
  d.cy = cy;
  d.caption = caption;
  d.items = std::move(items);
  return d;
}

}  // namespace

void register_prompt_templates() {
  static std::once_flag once;
  std::call_once(once, [] {
    constexpr DWORD kEdit = kTab | ui::ws::border | ui::es::auto_hscroll;
    ui::register_dialog_template(
        kDialogModule, kTemplateQuestion,
        dialog(u"Question", 74,
               {icon(), prompt_text(6, 20), {ui::class_name::edit, u"", kControlAnswer, kEdit, 30, 30, 130, 12},
                button(u"&Choice", kControlChoice, 164, 29), button(u"&OK", kControlOk, 8, 54, ui::bs::def_push_button),
                button(u"&Cancel", kControlCancel, 80, 54), button(u"&Abort", kControlAbort, 152, 54)}));
    ui::register_dialog_template(
        kDialogModule, kTemplateYesNo,
        dialog(u"Question", 104,
               {icon(), prompt_text(6, 20),
                {ui::class_name::edit, u"", kControlAnswer,
                 kTab | ui::ws::border | ui::es::multiline | ui::es::read_only | ui::es::auto_vscroll, 30, 30, 170, 46},
                button(u"&OK", kControlYes, 8, 84), button(u"&No", kControlNo, 57, 84, ui::bs::def_push_button),
                button(u"&Cancel", kControlCancel, 106, 84), button(u"&Abort", kControlAbort, 155, 84)}));
    ui::register_dialog_template(
        kDialogModule, kTemplatePassword,
        dialog(u"Enter password", 74,
               {icon(), prompt_text(6, 20),
                {ui::class_name::edit, u"", kControlAnswer, kEdit | ui::es::password, 30, 30, 170, 12},
                button(u"&OK", kControlOk, 8, 54, ui::bs::def_push_button),
                button(u"&Don't know", kControlCancel, 80, 54), button(u"&Abort", kControlAbort, 152, 54)}));
    ui::DialogTemplate activity =
        dialog(u"Please, wait", 70,
               {{ui::class_name::static_, u"That operation takes time", kControlPrompt, ui::ws::visible, 30, 6, 170, 18},
                icon(),
                {ui::class_name::static_, u"", kControlAnswer, ui::ws::visible | ui::ss::right, 30, 28, 170, 10},
                button(u"&Cancel", kControlCancel, 50, 48), button(u"&Abort", kControlAbort, 110, 48)});
    ui::register_dialog_template(kDialogModule, kTemplateActivity, activity);
    ui::register_dialog_template(
        kDialogModule, kTemplateRandomBits,
        dialog(u"Random bits input", 62,
               {icon(),
                {ui::class_name::static_, u"Need to create", ui::id::static_text, ui::ws::visible, 30, 8, 52, 8},
                {ui::class_name::static_, u"", kControlBitCount, ui::ws::visible | ui::ss::right, 84, 8, 24, 8},
                {ui::class_name::static_, u"random bits", ui::id::static_text, ui::ws::visible, 112, 8, 60, 8},
                {ui::class_name::static_, u"Type any text on keyboard", ui::id::static_text, ui::ws::visible, 30, 22,
                 170, 8},
                {ui::class_name::edit, u"", kControlAnswer, kEdit, 30, 36, 170, 12}}));
    ui::register_dialog_template(
        kDialogModule, kTemplateMessage,
        dialog(u"Message", 64,
               {prompt_text(6, 30), icon(), button(u"&OK", kControlOk, 8, 44, ui::bs::def_push_button),
                button(u"&Cancel", kControlCancel, 80, 44), button(u"&Abort", kControlAbort, 152, 44)}));
  });
}

}  // namespace kelda::sekura32
