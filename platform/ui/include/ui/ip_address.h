// The IP-address control (class "IPAddress"): an IPv4 address typed into four
// fields of 0 to 255 with the dots drawn between them.
//
// Typing: digits go into the current field (a value over 255 becomes 255);
// after three digits, or at a dot or a blank typed into a field that holds
// something, the next field is current. Backspace erases the last digit, and
// at an empty field goes back to the one before. Left and Right, Home and End
// move between fields; a tap chooses the field under it; Delete empties the
// field, or the whole address while it is all selected (em::set_sel 0, -1,
// as a dialog selects an edit's text). A field may be blank; the address is
// blank when all four are. Each change made by the user tells the parent
// en::change through wm::command.
//
// The window text is the dotted address ("10.0.0.5", a blank field as
// nothing between its dots, "" for a blank address); wm::set_text takes the
// same form, each part of one to three digits (over 255: 255), any other
// part blank.
//
// Messages (the address as a DWORD: its first number in the high byte):
//   ipm::clear_address  blanks every field.
//   ipm::set_address    lParam: the address; fills all four fields.
//   ipm::get_address    lParam: DWORD* for the address (blank fields as 0);
//                       answers how many fields are not blank.
//   ipm::is_blank       answers non-zero when every field is blank.
//
// Threading and errors as in window.h: user-interface thread; a wrapper on a
// dead handle answers 0.
#pragma once

#include <cstdint>
#include <string_view>

#include "ui/export.h"
#include "ui/types.h"
#include "ui/window.h"

namespace kelda::ui {

namespace class_name {
inline constexpr std::u16string_view ip_address = u"IPAddress";
}

namespace ipm {
inline constexpr UINT clear_address = wm::user + 100;
inline constexpr UINT set_address = wm::user + 101;
inline constexpr UINT get_address = wm::user + 102;
inline constexpr UINT is_blank = wm::user + 105;
}  // namespace ipm

// The address of four numbers, the first in the high byte.
constexpr DWORD make_ip_address(uint8_t first, uint8_t second, uint8_t third, uint8_t fourth) {
  return static_cast<DWORD>(first) << 24 | static_cast<DWORD>(second) << 16 | static_cast<DWORD>(third) << 8 |
         static_cast<DWORD>(fourth);
}
// Number `index` (0 to 3, 0 the first) of an address.
constexpr uint8_t ip_address_field(DWORD address, int index) {
  return static_cast<uint8_t>(address >> (8 * (3 - index)));
}

struct KELDA_UI_API IpAddressControl {
  Hwnd hwnd;
  void set(DWORD address) const;
  // The fields filled (0 to 4), with the address in *address.
  int get(DWORD* address) const;
  void clear() const;
  bool blank() const;
};

}  // namespace kelda::ui
