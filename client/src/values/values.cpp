// What the server's value records do to the value store, and the reads of it.
#include "values/values.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "core/diag.h"
#include "core/numbers.h"
#include "core/text_util.h"
#include "data_lines/param_lines.h"
#include "files/journal.h"
#include "messages/records_values.h"
#include "session/journal_tags.h"
#include "session/library.h"
#include "values/history_reader.h"

namespace kelda::kelapi {
namespace {

constexpr uint8_t kJournalValueEntry = 1;
constexpr uint16_t kMsgEntriesRequest = 0x8047;

const NetParamEx* param_of(const Library& lib, int32_t class_index, std::size_t bit) {
  return lib.params.by_number(class_index, static_cast<int32_t>(bit));
}

// The value the caller sees: divided by ten to the security's scale for
// parameters that take it (flag 0x10), else to the parameter's own.
double caller_value(const NetParamEx& p, const SecurityRecord& s, double raw) {
  const int scale = (static_cast<uint16_t>(p.d.flags) & kParamSecurityScale) != 0 ? s.h.scale : p.d.scale;
  return scale_down(raw, scale);
}

void fill_record(KelapiValueRecord& out, const NetParamEx& p, const SecurityRecord& s, double raw) {
  std::memset(&out, 0, sizeof out);
  out.value = caller_value(p, s, raw);
  copy_bounded(out.db_name, p.d.db_name, 16);
}

bool valid_security(const Library& lib, int64_t index) {
  return index >= 0 && static_cast<std::size_t>(index) < lib.securities.size() &&
         lib.classes.valid_index(lib.securities.at(static_cast<std::size_t>(index)).class_index);
}

// Event 42: the values of the record, nothing stored.
void push_values(Library& lib, const ValueMessage& m, int64_t s, const ReceivedValues& received,
                 bool fill_missing) {
  const SecurityRecord& sec = lib.securities.at(static_cast<std::size_t>(s));
  PushedValues& out = lib.values.pushed;
  uint32_t n = 0;
  for (std::size_t bit = 0; bit < kValueBits; ++bit) {
    if (!has_bit(m.mask, bit) && !fill_missing) continue;
    const NetParamEx* p = param_of(lib, sec.class_index, bit);
    if (p == nullptr || p->in_filter == 0) continue;
    fill_record(out.values[n++], *p, sec, has_bit(received.present, bit) ? received.value[bit] : 0.0);
  }
  out.head.values = out.values.data();
  out.head.count = n;
  out.head.entry = static_cast<uint32_t>(m.entry) + 1;
  out.head.time = m.time;
  out.head.class_number = static_cast<uint32_t>(sec.class_index) + 1;
  out.head.security_number = static_cast<uint32_t>(s) + 1;
  lib.raise_event(KELAPI_EVENT_NEWDATAEX, reinterpret_cast<uintptr_t>(&out.head), 0);
}

// The entry at a number when its security belongs to the class.
ValueEntryHead* class_entry(Library& lib, int32_t class_index, int64_t number) {
  ValueEntryHead* h = lib.values.store.head(number);
  if (h == nullptr || !valid_security(lib, h->security)) return nullptr;
  return lib.securities.at(static_cast<std::size_t>(h->security)).class_index == class_index ? h : nullptr;
}

void send_rerequest(Library& lib, int32_t class_index, int64_t first, int64_t end) {
  if (first >= end) return;
  const Msg8047_EntriesRequest m{lib.classes.at(static_cast<std::size_t>(class_index)).d.server_id,
                                 static_cast<int32_t>(first), static_cast<int32_t>(end)};
  lib.send_message(kMsgEntriesRequest, &m);
}

// The confirmation of an entry of a class (a message or a journal record).
void confirm_entry(Library& lib, int32_t class_index, int32_t entry) {
  if (ValueEntryHead* h = class_entry(lib, class_index, entry)) h->flags &= ~kEntryUnconfirmed;
  ValueStore& store = lib.values.store;
  const auto c = static_cast<std::size_t>(class_index);
  if (entry == store.mark[c]) {
    store.mark[c] = -1;
    store.start[c] = 0;
  }
}

// The size of an entry's values as its class gives it; -1 when a stored
// bit names no parameter of the class.
int64_t stored_values_size(const ValueEntryHead& h, const ClassBits& bits) {
  const uint64_t stored = mask_of(h.stored_low, h.stored_high);
  int64_t size = 0;
  for (std::size_t bit = 0; bit < kValueBits; ++bit) {
    if (!has_bit(stored, bit)) continue;
    if (!bits[bit].carried) return -1;
    size += bits[bit].is_double ? 8 : 4;
  }
  return size;
}

bool replay_value_entry(Library& lib, InputFile& file) {
  std::array<uint8_t, kMaxValueEntry> buffer;
  if (!file.read(buffer.data(), kValueHeadSize)) return false;
  ValueEntryHead h;
  std::memcpy(&h, buffer.data(), sizeof h);
  if (!valid_security(lib, h.security)) return false;
  const ClassBits bits = class_bits(lib, lib.securities.at(static_cast<std::size_t>(h.security)).class_index);
  const int64_t size = stored_values_size(h, bits);
  if (size < 0 || !file.read(buffer.data() + kValueHeadSize, static_cast<std::size_t>(size))) return false;
  if ((lib.init_flags() & kInitPushValues) != 0) return true;  // read, not applied
  ValueStore& store = lib.values.store;
  if (store.put(std::span(buffer.data(), kValueHeadSize + static_cast<std::size_t>(size))) !=
      ValueStore::Put::stored) {
    return true;
  }
  ++store.replayed;
  // The re-request range of the class: from its first unconfirmed entry up
  // to its last entry of the journal.
  const auto c = static_cast<std::size_t>(lib.securities.at(static_cast<std::size_t>(h.security)).class_index);
  if ((h.flags & kEntryUnconfirmed) != 0 && store.start[c] == 0) store.start[c] = h.entry;
  store.mark[c] = std::max(store.mark[c], h.entry);
  return true;
}

}  // namespace

ClassBits class_bits(const Library& lib, int32_t class_index) {
  ClassBits bits{};
  for (std::size_t bit = 0; bit < kValueBits; ++bit) {
    const NetParamEx* p = param_of(lib, class_index, bit);
    if (p == nullptr) continue;
    bits[bit].carried = true;
    bits[bit].is_double = (static_cast<uint16_t>(p->d.flags) & kParamDouble) != 0;
    bits[bit].in_filter = p->in_filter != 0;
  }
  return bits;
}

void on_value_record(Library& lib, const ValueMessage& m) {
  const int64_t s = lib.securities.find_by_server_id(m.security_id);
  if (s < 0 || !valid_security(lib, s)) {
    diag("ERROR (got_data): Find_sec_by_server_id failed for SID=%d.\n", m.security_id);
    return;
  }
  SecurityRecord& sec = lib.securities.mutable_at(static_cast<std::size_t>(s));
  const ClassBits bits = class_bits(lib, sec.class_index);
  const ReceivedValues received = take_values(m, bits);
  const bool snapshot = (m.flags & kEntrySnapshot) != 0;
  const bool fill_missing = snapshot && sec.changed != 0;
  if (snapshot) sec.changed = 0;
  if ((lib.init_flags() & kInitPushValues) != 0) {
    push_values(lib, m, s, received, fill_missing);
    return;
  }
  const uint64_t kept = kept_bits(received, bits, fill_missing);
  ValueMessage stored = m;
  stored.flags |= kEntryUnconfirmed;
  std::array<uint8_t, kMaxValueEntry> buffer;
  const std::size_t size = build_entry(stored, static_cast<int32_t>(s), received, bits, kept, buffer);
  ValueStore& store = lib.values.store;
  const bool newest = m.entry > store.highest() || (store.highest() == 0 && store.get(0).empty());
  if (store.put(std::span(buffer.data(), size)) != ValueStore::Put::stored) return;
  lib.journal_write(kJournalValueEntry, buffer.data(), size, false);
  if (snapshot) {
    ClassRecord& cls = lib.classes.at(static_cast<std::size_t>(sec.class_index));
    cls.highest_snapshot = std::max(cls.highest_snapshot, m.entry);
  }
  if (newest) feed_param_lines(lib, std::span(buffer.data(), size));
  lib.raise_event(KELAPI_EVENT_NEWDATA, static_cast<uintptr_t>(std::popcount(kept)),
                  static_cast<uintptr_t>(m.entry) + 1);
}

void on_entry_confirmed(Library& lib, int32_t class_server_id, int32_t entry) {
  const int64_t c = lib.classes.find_by_server_id(class_server_id);
  if (c < 0) return;
  const int32_t record[2] = {entry, static_cast<int32_t>(c)};
  lib.journal_write(journal_tag::kValueEnd, record, sizeof record, false);
  const auto class_index = static_cast<int32_t>(c);
  const int32_t mark = lib.values.store.mark[static_cast<std::size_t>(c)];
  confirm_entry(lib, class_index, entry);
  refresh_param_lines_of_class(lib, class_index);
  // The confirmation of the mark ends a refresh of the class's values.
  if (entry == mark) refill_param_lines_of_class(lib, class_index);
}

void rerequest_entries(Library& lib, int32_t class_index, int32_t from) {
  ValueStore& store = lib.values.store;
  if (from <= 0 || store.failed() || !lib.classes.valid_index(class_index)) return;
  const auto c = static_cast<std::size_t>(class_index);
  const int64_t mark = store.mark[c];
  const int64_t n = from;
  // 1. Down from n - 1 while above the mark: unconfirmed entries lose the
  // mark, snapshots are passed, the first confirmed entry stops the walk.
  int64_t k = n - 1;
  for (; k > mark && k >= 0; --k) {
    ValueEntryHead* h = class_entry(lib, class_index, k);
    if (h == nullptr) continue;
    if ((h->flags & kEntryUnconfirmed) != 0) {
      h->flags &= ~kEntryUnconfirmed;
    } else if ((h->flags & kEntrySnapshot) == 0) {
      break;
    }
  }
  // 2. Everything down to the mark was unconfirmed.
  if (k <= mark || k < 0) {
    send_rerequest(lib, class_index, store.start[c], n);
    return;
  }
  if (k < n - 1) send_rerequest(lib, class_index, k + 1, n);
  // 3. The older gaps, one range at a time.
  while (true) {
    int64_t j = k - 1;
    for (; j > 0; --j) {
      const ValueEntryHead* h = class_entry(lib, class_index, j);
      if (h != nullptr && (h->flags & kEntryUnconfirmed) != 0) break;
    }
    if (j <= 0) return;
    // The unconfirmed entry found is asked for too: the end is exclusive.
    if (j <= mark) {
      send_rerequest(lib, class_index, store.start[c], j + 1);
      return;
    }
    const int64_t range_end = j + 1;
    for (; j >= 0; --j) {
      ValueEntryHead* h = class_entry(lib, class_index, j);
      if (h == nullptr) continue;
      if ((h->flags & kEntryUnconfirmed) != 0) {
        h->flags &= ~kEntryUnconfirmed;
      } else if ((h->flags & kEntrySnapshot) == 0) {
        break;
      }
    }
    send_rerequest(lib, class_index, j + 1, range_end);
    if (j < 0) return;
    k = j;
  }
}

void on_history_reply(Library& lib, std::span<const uint8_t> stream) {
  StreamReader r(stream);
  int32_t request = 0, flags = 0, server_id = 0, number = 0;
  if (!r.read(request) || !r.read(flags) || !r.read(server_id) || !r.read(number)) return;
  const int64_t s = lib.securities.find_by_server_id(server_id);
  if (s < 0 || !valid_security(lib, s) || number < 0 || static_cast<std::size_t>(number) >= lib.params.slot_count()) {
    return;
  }
  const int32_t class_index = lib.securities.at(static_cast<std::size_t>(s)).class_index;
  const NetParamEx* p = lib.params.get(class_index, number);
  if (p == nullptr || p->number < 0 || p->number >= static_cast<int16_t>(kValueBits)) return;
  auto& nodes = lib.values.history;
  auto node = std::find_if(nodes.begin(), nodes.end(),
                           [&](const HistoryNode& h) { return h.security == s && h.slot == number; });
  if (lib.connected()) {
    if (node == nodes.end() || !node->pending || node->request != request) return;
  } else if (node == nodes.end()) {
    nodes.push_back(HistoryNode{static_cast<int32_t>(s), number, false, -1, -1, request});
    node = nodes.end() - 1;
  }
  node->pending = false;
  if ((flags & 0x1) != 0) {
    char text[1024];
    if (r.read_text(text, sizeof text)) diag("KeldaApi: parameter history: %s\n", text);
    return;
  }
  const bool is_double = (static_cast<uint16_t>(p->d.flags) & kParamDouble) != 0;
  if ((flags & 0x4) != 0 ? !is_double : ((flags & 0x2) == 0 || is_double)) return;
  while (true) {
    int32_t entry = 0, time = 0;
    if (!r.read(entry)) break;
    if (entry == -1) {
      if (!r.read(time)) break;
      continue;
    }
    int32_t int_value = 0;
    double double_value = 0;
    if (!r.read(time) || !(is_double ? r.read(double_value) : r.read(int_value))) break;
    ValueMessage m;
    m.security_id = server_id;
    m.time = static_cast<uint32_t>(time);
    m.entry = entry;
    m.mask = uint64_t{1} << p->number;
    if (is_double) {
      m.doubles = std::span(&double_value, 1);
    } else {
      m.ints = std::span(&int_value, 1);
    }
    on_value_record(lib, m);
    if (node->first == -1) node->first = entry;
    node->last = entry;
  }
  refill_param_lines(lib, static_cast<int32_t>(s), p->slot);
}

void add_value_journal_readers(Library& lib, JournalReaders& readers) {
  readers.set_custom(kJournalValueEntry, [&lib](uint8_t, InputFile& file) { return replay_value_entry(lib, file); });
  readers.set_fixed(journal_tag::kValueEnd, 8, [&lib](uint8_t, std::span<const uint8_t> p) {
    int32_t record[2];
    std::memcpy(record, p.data(), sizeof record);
    if ((lib.init_flags() & kInitPushValues) != 0 || !lib.classes.valid_index(record[1])) return;
    confirm_entry(lib, record[1], record[0]);
  });
}

KelapiResult get_data_ex(Library& lib, uint32_t entry, uint32_t* class_number, uint32_t* security_number,
                         uint32_t* time, KelapiValueRecord* values) {
  LibraryLock lock(lib);
  if (!lib.initialised()) return KELAPI_E_NOT_INITIALIZED;
  if (lib.connected() && !lib.start_fired()) return KELAPI_E_START_EVENT_NOT_FIRED;
  if (class_number == nullptr || security_number == nullptr || time == nullptr || values == nullptr) {
    return KELAPI_E_POINTER;
  }
  // The caller passes the number of the event: the entry number plus 1.
  const int64_t n = static_cast<int64_t>(entry) - 1;
  if (n < 0 || n > lib.values.store.highest()) return KELAPI_E_INVALIDARG;
  const std::span<const uint8_t> bytes = lib.values.store.get(n);
  if (bytes.empty()) return KELAPI_E_INVALIDARG;
  ValueEntryHead h;
  std::memcpy(&h, bytes.data(), sizeof h);
  if (!valid_security(lib, h.security)) return KELAPI_E_INVALIDARG;
  const SecurityRecord& sec = lib.securities.at(static_cast<std::size_t>(h.security));
  *class_number = static_cast<uint32_t>(sec.class_index) + 1;
  *security_number = static_cast<uint32_t>(h.security) + 1;
  *time = h.time;
  std::size_t written = 0;
  for_each_stored_value(bytes, class_bits(lib, sec.class_index), [&](std::size_t bit, double raw) {
    fill_record(values[written++], *param_of(lib, sec.class_index, bit), sec, raw);
  });
  return KELAPI_OK;
}

}  // namespace kelda::kelapi
