// The layout of the prompt dialogs and the activity window: growth for the
// texts they show, the row of buttons, and the keystroke filter on answer
// fields that feeds key timing to the random pool.
//
// Threading: user-interface thread only (the dialogs' own thread).
#pragma once

#include <cstdint>
#include <string>

#include "sekura32/sekura32.h"
#include "ui/types.h"

namespace kelda::sekura32 {

// Widens the dialog by the larger of the widths its prompt text (and the
// answer field's text) need beyond their controls and heightens it by the sum
// of the heights: the texts' controls grow, the icon moves down by half the
// added height, the answer field and the buttons move down, the file-choice
// button moves right.
void grow_for_texts(ui::Hwnd dialog) noexcept;

// Shows the buttons the flags keep (OK, Yes, No, then Cancel unless
// SK_PROMPT_NO_CANCEL, Abort unless SK_PROMPT_NO_ABORT), with the captions
// when given, in one row centred in the dialog 16 dialog units apart (closer
// when the row would be wider than the span the buttons took). 272 when the
// buttons do not share one parent.
uint32_t arrange_buttons(ui::Hwnd dialog, uint32_t flags, const std::u16string& cancel_caption,
                         const std::u16string& abort_caption) noexcept;

// Puts the keystroke filter (skEditorFilter) in front of an answer field.
void install_editor_filter(ui::Hwnd edit) noexcept;

// The initial skEditorFilter: every key press is sent to the field's dialog
// as wm::user + 20 with what skAsynchEvent(key) answers, then the field
// handles the message as before.
intptr_t default_editor_filter(void* window, uint32_t message, uintptr_t wparam, intptr_t lparam);

inline constexpr UINT kKeyNoise = 0x0400 + 20;

}  // namespace kelda::sekura32
