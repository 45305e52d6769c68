// Small routines shared by the libraries' dialogs: centring a window on the
// screen and disabling a control without stranding the focus on it.
//
// Threading: the user-interface thread (these are window calls). Nothing
// throws; a dead handle makes the call do nothing.
#pragma once

#include "ui/types.h"

namespace kelda::kit {

// Moves the window so that its rectangle is centred on the desktop window;
// its size and Z order stay.
void center_window(kelda::ui::Hwnd window) noexcept;

// Enables or disables a dialog's control. Before the control that has the
// focus (itself or a window inside it) is disabled in a visible dialog, the
// focus moves forward along the tab order to the first enabled control.
void enable_dialog_item(kelda::ui::Hwnd dialog, int control_id, bool enable) noexcept;

}  // namespace kelda::kit
