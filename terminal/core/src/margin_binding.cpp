// The margin library's callbacks over the data manager's tables.
#include "terminal/margin_binding.h"

#include <cstdlib>
#include <cstring>

#include "platform/last_error.h"
#include "terminal/data_feed_manager.h"
#include "terminal/main_view.h"
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
  DataFeedManager* m = manager();
  // The rows leave the table before the windows hear of it, so that a
  // window refilling its client list sees none of them.
  const std::vector<Row> gone = std::move(rows_);
  rows_.clear();
  for (const Row& r : gone) {
    if (m != nullptr && m->view() != nullptr) {
      m->view()->fan_out_margin_row(std::string(field_text(r.row->firmId)), std::string(field_text(r.row->clientCode)),
                                    false);
    }
  }
  rule_files_.clear();
  MargoCleanup();
}

int MarginBinding::find_row(const std::string& firm, const std::string& client, int* insert_at) const {
  int low = 0;
  int high = static_cast<int>(rows_.size());
  while (low < high) {
    const int mid = (low + high) / 2;
    const MargoMarginalRow& r = *rows_[static_cast<std::size_t>(mid)].row;
    const int by_firm = field_text(r.firmId).compare(firm);
    const int order = by_firm != 0 ? by_firm : field_text(r.clientCode).compare(client);
    if (order == 0) {
      if (insert_at != nullptr) *insert_at = mid;
      return mid;
    }
    if (order < 0) low = mid + 1;
    else high = mid;
  }
  if (insert_at != nullptr) *insert_at = low;
  return -1;
}

MargoMarginalRow* MarginBinding::row(int index) const {
  if (index < 0 || index >= row_count()) return nullptr;
  return rows_[static_cast<std::size_t>(index)].row.get();
}

int MarginBinding::row_references(int index) const {
  if (index < 0 || index >= row_count()) return 0;
  return rows_[static_cast<std::size_t>(index)].references;
}

const std::string* MarginBinding::rule_text(const std::string& firm) const {
  for (const RuleFile& f : rule_files_) {
    if (f.firm == firm && !f.text.empty()) return &f.text;
  }
  return nullptr;
}

void MarginBinding::bind_row(MargoMarginalRow& row) {
  if (!MargoInitMarginalRow(&row)) {
    log_line("ERROR: MargoInitMarginalRow failed for \"%s\", \"%s\" with error %u.", row.firmId, row.clientCode,
             last_error());
  }
}

void MarginBinding::register_client(const std::string& firm, const std::string& client, bool add) {
  int at = 0;
  const int found = find_row(firm, client, &at);
  DataFeedManager* m = manager();
  MainView* view = m != nullptr ? m->view() : nullptr;
  if (add) {
    if (found >= 0) {
      ++rows_[static_cast<std::size_t>(found)].references;
      return;
    }
    auto row = std::make_unique<MargoMarginalRow>();
    std::memset(row.get(), 0, sizeof(MargoMarginalRow));
    row->size = static_cast<int32_t>(sizeof(MargoMarginalRow));
    copy_text(row->firmId, firm);
    copy_text(row->clientCode, client);
    if (rule_text(firm) != nullptr) bind_row(*row);
    rows_.insert(rows_.begin() + at, Row{std::move(row), 1});
    if (view != nullptr) view->fan_out_margin_row(firm, client, true);
    return;
  }
  if (found < 0) return;
  Row& r = rows_[static_cast<std::size_t>(found)];
  if (--r.references > 0) return;
  // Out of the table first, released after the windows were told.
  const std::unique_ptr<MargoMarginalRow> gone = std::move(r.row);
  rows_.erase(rows_.begin() + found);
  if (view != nullptr) view->fan_out_margin_row(firm, client, false);
}

void MarginBinding::on_rule_file(bool failed, uint16_t request, char* text) {
  const std::unique_ptr<char[]> owned(text);
  DataFeedManager* m = manager();
  if (m == nullptr) return;
  if (failed) {
    log_line("ERROR: EventDlinifile \"%s\".", owned ? owned.get() : "");
    return;
  }
  char firm_buffer[16] = "";
  char* name = nullptr;
  char* file = nullptr;
  const KelapiResult r = m->client().get_dli_file(request, firm_buffer, &name, &file);
  if (r != KELAPI_OK) {
    char desc[256] = "";
    m->client().get_error_desc(desc, r);
    log_line("ERROR: KelapiGetDliFile failed with error %d, \"%s\".", static_cast<int>(r), desc);
    return;
  }
  const std::string firm(firm_buffer, strnlen(firm_buffer, sizeof firm_buffer));
  const std::string rules = file != nullptr ? std::string(file) : std::string();
  m->client().free(name);
  m->client().free(file);
  RuleFile* held = nullptr;
  for (RuleFile& f : rule_files_) {
    if (f.firm == firm) held = &f;
  }
  if (held == nullptr) held = &rule_files_.emplace_back(RuleFile{firm, {}});
  held->text = rules;
  if (MargoSetDliniFile(firm.c_str(), held->text.c_str())) {
    log_line("MargoSetDliniFile succeeded for firmid \"%s\":", firm.c_str());
  } else {
    log_line("MargoSetDliniFile failed for firmid \"%s\" with error %u.", firm.c_str(), last_error());
  }
  for (Row& row : rows_) {
    if (field_text(row.row->firmId) == firm) bind_row(*row.row);
  }
  for (auto& [code, cls] : m->tables().classes) {
    collect_needs(*cls);
    if (m->settings().global_filter == 0) m->apply_class_filter(*cls);
  }
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

int32_t MarginBinding::find_money_limit(const char* firm, const char* client, const char* tag, const char* currency,
                                        int32_t* position) {
  const DataFeedManager* m = manager();
  if (m == nullptr) return -1;
  bool found = false;
  const int at = m->money_limit_position(firm != nullptr ? firm : "", client != nullptr ? client : "",
                                         currency != nullptr ? currency : "", tag != nullptr ? tag : "", &found);
  if (position != nullptr) *position = at;
  return found ? at : -1;
}

const MargoMoneyLimit* MarginBinding::get_money_limit(int32_t index) {
  static MargoMoneyLimit out;
  const DataFeedManager* m = manager();
  if (m == nullptr || index < 0 || index >= static_cast<int32_t>(m->tables().money_limits.size())) return nullptr;
  const KelapiMoneyLimitRecordEx& r = *m->tables().money_limits[static_cast<std::size_t>(index)];
  out = MargoMoneyLimit{};
  copy_text(out.currency, field_text(r.currency));
  copy_text(out.boardTag, field_text(r.tag));
  copy_text(out.firmId, field_text(r.firm));
  copy_text(out.clientCode, field_text(r.client));
  // Amounts in hundredths: opening balance, opening limit, current balance,
  // current limit, locked and the fifth amount; the third (leverage) as an
  // integer.
  out.amountA = r.opening_balance * 100;
  out.amountB = r.opening_limit * 100;
  out.amountC = r.current_balance * 100;
  out.amountD = r.current_limit * 100;
  out.amountE = r.locked * 100;
  out.amountF = r.amount6 * 100;
  out.leveragePercent = static_cast<int32_t>(r.leverage * 100);
  return &out;
}

int32_t MarginBinding::find_depo_limit(const char* firm, const char* client, const char* security, const char* account,
                                       int32_t* position) {
  const DataFeedManager* m = manager();
  if (m == nullptr) return -1;
  bool found = false;
  const int at = m->depo_limit_position(firm != nullptr ? firm : "", client != nullptr ? client : "",
                                        security != nullptr ? security : "", account != nullptr ? account : "", &found);
  if (position != nullptr) *position = at;
  return found ? at : -1;
}

const MargoDepoLimit* MarginBinding::get_depo_limit(int32_t index) {
  static MargoDepoLimit out;
  const DataFeedManager* m = manager();
  if (m == nullptr || index < 0 || index >= static_cast<int32_t>(m->tables().depo_limits.size())) return nullptr;
  const KelapiDepoLimitRecordEx& r = m->tables().depo_limits[static_cast<std::size_t>(index)]->record;
  // The record's eight leading figures, counted from the first.
  const double q[8] = {r.quantity3, r.quantity4, r.quantity5, r.amount2, r.quantity6, r.amount1, r.quantity1, r.quantity2};
  out = MargoDepoLimit{};
  copy_text(out.securityCode, field_text(r.security));
  copy_text(out.tradeAccount, field_text(r.account));
  copy_text(out.firmId, field_text(r.firm));
  copy_text(out.clientCode, field_text(r.client));
  out.openingQuantity = static_cast<int32_t>(q[6]);
  out.quantity1 = static_cast<int32_t>(q[7]);
  out.currentQuantity = static_cast<int32_t>(q[0]);
  out.quantity2 = static_cast<int32_t>(q[1]);
  out.quantity3 = static_cast<int32_t>(q[2]);
  out.quantity4 = static_cast<int32_t>(q[4]);
  out.amountG = q[5] * 100;
  out.amountH = q[3] * 100;
  return &out;
}

}  // namespace kelda::terminal
