// Symbol visibility of the user-interface libraries: only names marked
// KELDA_UI_API leave libkelda_ui.so (and libkelda_ui_qt.so).
#pragma once

#define KELDA_UI_API __attribute__((visibility("default")))
