// Rule files: a firm's margin rule text fetched from the server on request,
// in parts, and handed to the caller whole; and the trade date.
//
// Requests are numbered by a 16-bit counter that runs for the library's
// whole life: a number is never given again while a request of that number
// is held, and the counter does not restart with a new connection, so a
// late answer to an old request cannot name a new one. All requests go
// when the link is lost and at uninitialise. A file's text is capped at
// kMaxRuleFile bytes; a longer one ends its request as refused.
//
// Everything runs under the library lock. Allocation failure throws.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "keldaapi/keldaapi.h"
#include "messages/records_feeds.h"

namespace kelda::kelapi {

class Library;

inline constexpr std::size_t kMaxRuleFile = 16u << 20;

struct RuleFileRequest {
  uint16_t number = 0;
  std::string text;  // code page 1251
  char firm_id[13] = {};
  char name[65] = {};
  bool complete = false;
};

class RuleFiles {
 public:
  std::size_t size() const noexcept { return requests_.size(); }
  RuleFileRequest* find(uint16_t number);
  bool has_firm(std::string_view firm_id) const;
  // A new request with the next free number.
  RuleFileRequest& add(std::string_view firm_id);
  void remove(uint16_t number);
  // Every request goes; the counter keeps running.
  void clear() {
    requests_.clear();
    requests_.shrink_to_fit();
  }

 private:
  std::vector<std::unique_ptr<RuleFileRequest>> requests_;
  uint16_t counter_ = 0;
};

// The event word of KELAPI_EVENT_DLIFILE: the mark (1 refused) in the high
// half, the request number as unsigned 16 bits in the low one.
uintptr_t rule_file_event_word(bool refused, uint16_t number);

// ---- messages ----
void on_rule_file_part(Library& lib, const Msg00BB_RuleFilePart& part);

// ---- exports (lock taken inside) ----
KelapiResult book_rule_file(Library& lib, const char* firm_id, uint16_t* number);
KelapiResult get_rule_file(Library& lib, uint16_t number, char* firm_id, char** name, char** text);
KelapiResult get_trade_date(Library& lib, uint32_t* date);

}  // namespace kelda::kelapi
