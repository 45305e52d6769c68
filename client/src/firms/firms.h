// Firms: the server's firms with their names, codes and a text of items
// gathered from text parts; kept in arrival order, found by the firm's
// number, announced to the caller when a firm's text is complete.
//
// A firm's header fixes its codes and name; a later header for a number
// already held replaces only its status (a live status change is applied
// whatever the order of numbers). A header with a new number not above the
// last one held is dropped.
//
// The text is a list of items, each preceded by "|", merged from the parts
// without repeats (case-insensitive); it grows to what the parts need, at
// most kMaxFirmText bytes.
//
// Everything runs under the library lock. Allocation failure throws and
// leaves the table as it was.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "keldaapi/keldaapi.h"
#include "messages/records_limits.h"

namespace kelda::kelapi {

class Library;

inline constexpr std::size_t kMaxFirmText = 1u << 20;

struct FirmEntry {
  Msg8089_Firm firm;         // codes and name terminated
  int16_t text_flags = 0;    // of the last text part
  std::vector<char> text;    // terminated list text; empty: no text yet
  const char* text_or_null() const { return text.empty() ? nullptr : text.data(); }
  std::size_t text_length() const;
};

class FirmTable {
 public:
  std::size_t size() const noexcept { return rows_.size(); }
  const FirmEntry& at(std::size_t i) const { return *rows_[i]; }
  FirmEntry* find(int64_t number);
  // Applies a header; false when it is dropped.
  bool put_header(const Msg8089_Firm& header, bool restoring);
  // Merges a text part into the firm's text; null when no firm has the number.
  FirmEntry* add_text(int32_t number, int16_t flags, std::span<const uint8_t> part);
  void clear() {
    rows_.clear();
    rows_.shrink_to_fit();
  }
  // The last version word the server sent (-1: none yet); kept across clears.
  int32_t version_word = -1;

 private:
  std::vector<std::unique_ptr<FirmEntry>> rows_;
};

// The 0x8066 form as a current header.
Msg8089_Firm firm_header_of(const Msg8066_FirmOld& old);

// ---- messages ----
void on_firm(Library& lib, const Msg8089_Firm& header);
void on_firm_text(Library& lib, int32_t number, int16_t flags, std::span<const uint8_t> part);
void on_firm_with_text(Library& lib, const Msg0099_FirmWithText& message);
void on_firms_version(Library& lib, int32_t word);
// Journal tags 31 (1064-byte 0x99 form, header only) and 62 (68-byte 0x8066
// form); a record of another size is skipped.
void replay_firm(Library& lib, uint8_t tag, std::span<const uint8_t> payload);

// ---- worker command 6 ----
void run_book_firms(Library& lib);

// ---- exports (lock taken inside) ----
KelapiResult book_firms(Library& lib);
// `layout` 0: KelapiFirmRecord, 1: Ex, 2: Ex2, 3: Ex3.
KelapiResult get_firm(Library& lib, int number, void* record, uint32_t size, int layout);

}  // namespace kelda::kelapi
