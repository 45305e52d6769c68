// Temporary: control classes still to come.
#include "controls_internal.h"
#include "../menu_internal.h"
#include "../std_dialogs.h"

namespace kelda::ui::detail {
void register_control_classes() {}
UINT run_popup_menu(Hmenu, POINT, UINT, Hwnd) { return 0; }
int show_message_box(const MessageBoxRequest&) { return id::cancel; }
std::optional<FileDialogResult> show_file_dialog(const FileDialogRequest&) { return std::nullopt; }
}  // namespace kelda::ui::detail
