// The small tip window that tool-bar buttons show while the stylus rests on
// them. User-interface thread.
#pragma once

#include <string_view>

#include "ui/types.h"

namespace kelda::ui::detail {

// Shows `text` in a tip just above `anchor` (a screen rectangle), kept on
// the screen; answers the tip window. One tip at a time: a new one replaces
// the one shown.
Hwnd show_tool_tip(std::u16string_view text, RECT anchor);
// Hides the tip, if any.
void hide_tool_tip();
// The tip shown now, or null.
Hwnd current_tool_tip();

}  // namespace kelda::ui::detail
