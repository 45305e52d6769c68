// The margin library's callbacks over the data manager's tables.
#include "terminal/margin_binding.h"

#include <cstdlib>
#include <cstring>

#include "platform/last_error.h"
#include "terminal/data_feed_manager.h"
#include "terminal/text_log.h"

namespace kelda::terminal {
namespace {

void* margin_alloc(int32_t size) { return size < 0 ? nullptr : std::malloc(static_cast<std::size_t>(size)); }
void margin_free(void* block) { std::free(block); }
void* margin_realloc(void* block, int32_t size) {
  return size < 0 ? nullptr : std::realloc(block, static_cast<std::size_t>(size));
}

uint32_t last_error() { return platform::get_last_error(); }

// The class flags of the margin library from the client library's class flag
// word: bit 0 gives 8, bit 1 gives 2, bit 2 gives 4, bit 4 gives 1.
int32_t margin_class_flags(uint32_t flags) {
  int32_t out = 0;
  if (flags & 0x1) out |= 8;
  if (flags & 0x2) out |= 2;
  if (flags & 0x4) out |= 4;
  if (flags & 0x10) out |= 1;
  return out;
}

}  // namespace

bool MarginBinding::init() {
  if (!MargoSetLimitCallbacks(&find_money_limit, &get_money_limit, &find_depo_limit, &get_depo_limit)) {
    log_line("ERROR: MargoSetLimitCallbacks failed with error %u.", last_error());
    return false;
  }
  if (!MargoSetParamCallbacks(&find_param_column, &get_param_value)) {
    log_line("ERROR: MargoSetParamCallbacks failed with error %u.", last_error());
    return false;
  }
  if (!MargoSetMemoryManagement(&margin_alloc, &margin_free, &margin_realloc)) {
    log_line("ERROR: MargoSetMemoryManagement failed with error %u.", last_error());
    return false;
  }
  if (!MargoInitEx(2, 96, 96)) {
    log_line("ERROR: MargoInitEx failed with error %u.", last_error());
    return false;
  }
  return true;
}

void MarginBinding::add_class(ClassRecord& cls) {
  MargoClass record{};
  record.classId = static_cast<int32_t>(cls.record.class_number);
  record.securityCount = static_cast<int32_t>(cls.securities.size());
  record.flags = margin_class_flags(cls.record.flags);
  copy_text(record.classCode, field_text(cls.record.code));
  record.secondaryValuation = 1;
  std::vector<MargoSecurity> securities;
  securities.reserve(cls.securities.size());
  for (const auto& [code, sec] : cls.securities) {
    MargoSecurity s{};
    std::memcpy(&s.faceValue, &sec->record.value2, sizeof s.faceValue);  // the two leading words
    s.securityId = static_cast<int32_t>(sec->record.security_number);
    s.lotSize = sec->record.trading_unit;
    copy_text(s.securityCode, code);
    securities.push_back(s);
  }
  MargoAddClass(&record, securities.data());
  collect_needs(cls);
}

void MarginBinding::collect_needs(ClassRecord& cls) {
  std::vector<int32_t> ids(cls.securities.size() + 1);
  int32_t count = static_cast<int32_t>(cls.securities.size());
  if (!MargoGetNeedClassSecIDs(static_cast<int32_t>(cls.record.class_number), ids.data(), &count)) {
    log_line("ERROR: MargoGetNeedClassSecIDs failed (%u).", last_error());
    return;
  }
  log_line("MargoGetNeedClassSecIDs, num=%d.", count);
  std::vector<uint32_t> secs;
  for (int32_t i = 0; i < count && i < static_cast<int32_t>(ids.size()); ++i) {
    const uint32_t number = static_cast<uint32_t>(ids[static_cast<std::size_t>(i)]);
    if (cls.find_security(number) != nullptr) secs.push_back(number);
  }
  std::vector<int16_t> params;
  for (const char* name : {"BID", "OFFER", "LAST", "PREVPRICE", "ACCRUEDINT"}) {
    if (const KelapiClassParamRecord* p = cls.find_param(name)) params.push_back(static_cast<int16_t>(p->param_number));
  }
  if (DataFeedManager* m = manager()) m->set_margin_filter_lists(cls, std::move(params), std::move(secs));
}

void MarginBinding::book_rule_file(const ClassRecord& cls) {
  DataFeedManager* m = manager();
  if (m == nullptr || !m->started()) return;
  const std::string firm(field_text(cls.record.code2));
  if (firm.empty() || (cls.record.flags & 0x1) != 0) return;
  for (const RuleFile& f : rule_files_) {
    if (f.firm == firm && !f.text.empty()) return;
  }
  uint16_t request = 0;
  const KelapiResult r = m->client().book_dli_file(firm.c_str(), &request);
  if (r == KELAPI_OK) {
    log_line("KelapiBookDliFile succeeded for firmid \"%s\".", firm.c_str());
  } else if (r != KELAPI_E_ALREADY_BOOKED) {
    char text[256] = "";
    m->client().get_error_desc(text, r);
    log_line("ERROR: KelapiBookDliFile failed for firmid \"%s\" with error %d, \"%s\".", firm.c_str(),
             static_cast<int>(r), text);
  }
}

void MarginBinding::clear() {
  rows_.clear();
  rule_files_.clear();
  MargoCleanup();
}

int32_t MarginBinding::find_param_column(const char* name) {
  const DataFeedManager* m = manager();
  if (m == nullptr || name == nullptr) return -1;
  return m->tables().values.find_column(name);
}

double MarginBinding::get_param_value(int32_t class_number, int32_t security_number, int32_t column) {
  const DataFeedManager* m = manager();
  if (m == nullptr) return 0.0;
  const SecurityRecord* sec =
      m->tables().find_security(static_cast<uint32_t>(class_number), static_cast<uint32_t>(security_number));
  if (sec == nullptr) return 0.0;  // missing, never a price
  return m->tables().values.get_value(sec->value_row, column);
}

int32_t MarginBinding::find_money_limit(const char*, const char*, const char*, const char*, int32_t* position) {
  if (position != nullptr) *position = 0;
  return -1;
}

const MargoMoneyLimit* MarginBinding::get_money_limit(int32_t) { return nullptr; }

int32_t MarginBinding::find_depo_limit(const char*, const char*, const char*, const char*, int32_t* position) {
  if (position != nullptr) *position = 0;
  return -1;
}

const MargoDepoLimit* MarginBinding::get_depo_limit(int32_t) { return nullptr; }

}  // namespace kelda::terminal
