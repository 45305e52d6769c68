// Rule-file requests, their parts and the trade date.
#include "rules/rule_files.h"

#include <algorithm>
#include <cstring>

#include "core/text_util.h"
#include "kit/codepage.h"
#include "messages/handlers.h"
#include "session/handler_support.h"
#include "session/library.h"

namespace kelda::kelapi {
namespace {

constexpr uint16_t kMsgRuleFileRequest = 0xBA;
constexpr int16_t kRulePartLast = 4;
constexpr int16_t kRulePartRefused = 8;

std::string from_cp866(const uint8_t* bytes, std::size_t count) {
  std::string out(reinterpret_cast<const char*>(bytes), strnlen(reinterpret_cast<const char*>(bytes), count));
  kit::mem_cp866_to_cp1251(out.data(), out.data(), out.size());
  return out;
}

KelapiResult check_link(const Library& lib) {
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  if (!lib.connected()) return KELAPI_E_NOT_CONNECTED;
  if (!lib.start_fired()) return KELAPI_E_START_EVENT_NOT_FIRED;
  return KELAPI_OK;
}

char* handed_out_copy(Library& lib, std::string_view text) {
  auto* copy = static_cast<char*>(lib.hand_out(text.size() + 1));
  std::memcpy(copy, text.data(), text.size());
  copy[text.size()] = '\0';
  return copy;
}

}  // namespace

RuleFileRequest* RuleFiles::find(uint16_t number) {
  for (auto& r : requests_) {
    if (r->number == number) return r.get();
  }
  return nullptr;
}

bool RuleFiles::has_firm(std::string_view firm_id) const {
  return std::any_of(requests_.begin(), requests_.end(),
                     [&](const auto& r) { return field_text(r->firm_id) == firm_id; });
}

RuleFileRequest& RuleFiles::add(std::string_view firm_id) {
  auto request = std::make_unique<RuleFileRequest>();
  do {
    ++counter_;
  } while (find(counter_) != nullptr);
  request->number = counter_;
  std::memcpy(request->firm_id, firm_id.data(), std::min(firm_id.size(), sizeof request->firm_id - 1));
  requests_.push_back(std::move(request));
  return *requests_.back();
}

void RuleFiles::remove(uint16_t number) {
  std::erase_if(requests_, [&](const auto& r) { return r->number == number; });
}

uintptr_t rule_file_event_word(bool refused, uint16_t number) {
  return (static_cast<uintptr_t>(refused ? 1 : 0) << 16) | static_cast<uintptr_t>(number);
}

void on_rule_file_part(Library& lib, const Msg00BB_RuleFilePart& part) {
  const auto number = static_cast<uint16_t>(static_cast<uint32_t>(part.request) & 0xFFFF);
  RuleFileRequest* r = lib.rule_files.find(number);
  if (r == nullptr) return;
  if (r->complete) {
    r->text.clear();
    r->complete = false;
  }
  const std::string text = from_cp866(part.text, std::min<std::size_t>(part.text_count, sizeof part.text));
  if ((part.flags & kRulePartRefused) != 0 || r->text.size() + text.size() > kMaxRuleFile) {
    const std::string message = (part.flags & kRulePartRefused) != 0 ? text : std::string();
    lib.raise_event(KELAPI_EVENT_DLIFILE, rule_file_event_word(true, number),
                    reinterpret_cast<uintptr_t>(message.c_str()));
    lib.rule_files.remove(number);
    return;
  }
  r->text += text;
  if ((part.flags & kRulePartLast) == 0) return;
  const std::string name = from_cp866(part.name, std::min<std::size_t>(part.name_count, sizeof part.name));
  copy_bounded(r->name, name.c_str(), sizeof r->name - 1);
  r->complete = true;
  lib.raise_event(KELAPI_EVENT_DLIFILE, rule_file_event_word(false, number), 0);
}

KelapiResult book_rule_file(Library& lib, const char* firm_id, uint16_t* number) {
  LibraryLock lock(lib);
  if (const KelapiResult r = check_link(lib); r != KELAPI_OK) return r;
  if (firm_id == nullptr) return KELAPI_E_INVALIDARG;
  const std::size_t length = strnlen(firm_id, 13);
  if (length > 12) return KELAPI_E_INVALID_LENGTH;
  const std::string_view id(firm_id, length);
  if (lib.rule_files.has_firm(id)) return KELAPI_E_ALREADY_BOOKED;
  RuleFileRequest& r = lib.rule_files.add(id);
  Msg00BA_RuleFileRequest m;
  std::memset(&m, 0, sizeof m);
  m.request = r.number;
  copy_field(m.firm_id, r.firm_id);
  if (lib.send_message(kMsgRuleFileRequest, &m) == 0) {
    lib.rule_files.remove(r.number);
    return KELAPI_E_NOT_CONNECTED;
  }
  if (number != nullptr) *number = r.number;
  return KELAPI_OK;
}

KelapiResult get_rule_file(Library& lib, uint16_t number, char* firm_id, char** name, char** text) {
  LibraryLock lock(lib);
  if (const KelapiResult r = check_link(lib); r != KELAPI_OK) return r;
  const RuleFileRequest* r = lib.rule_files.find(number);
  if (firm_id == nullptr || name == nullptr || text == nullptr || r == nullptr || !r->complete) {
    return KELAPI_E_INVALIDARG;
  }
  // A failed second copy leaves the first with the library, which frees it
  // at its end.
  char* name_copy = handed_out_copy(lib, field_text(r->name));
  char* text_copy = handed_out_copy(lib, r->text);
  std::memcpy(firm_id, r->firm_id, sizeof r->firm_id);
  *name = name_copy;
  *text = text_copy;
  return KELAPI_OK;
}

KelapiResult get_trade_date(Library& lib, uint32_t* date) {
  LibraryLock lock(lib);
  if (const KelapiResult r = check_link(lib); r != KELAPI_OK) return r;
  if (date == nullptr) return KELAPI_E_POINTER;
  *date = lib.trade_date();
  return KELAPI_OK;
}

// ---- handlers ----

void on_00BB_rule_file_part(uint16_t id, const void* record) {
  handle_message(id, record, [&](Library& lib) {
    on_rule_file_part(lib, record_copy<Msg00BB_RuleFilePart>(record, KELAPI_RECORD_END(Msg00BB_RuleFilePart, text)));
  });
}

}  // namespace kelda::kelapi
