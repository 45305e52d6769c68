// The layer's own message box and file dialogs (ordinary dialogs of the
// emulated screen), used by the default dialog service.
#pragma once

#include <optional>

#include "ui/services.h"

namespace kelda::ui::detail {

int show_message_box(const MessageBoxRequest& request);
std::optional<FileDialogResult> show_file_dialog(const FileDialogRequest& request);

}  // namespace kelda::ui::detail
