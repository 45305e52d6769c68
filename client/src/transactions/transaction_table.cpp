// The table of transaction kinds and its file trans.dat.
#include "transactions/transaction_table.h"

#include <cstring>

#include "core/diag.h"
#include "core/text_util.h"
#include "files/binary_file.h"
#include "market/class_table.h"

namespace kelda::kelapi {
namespace {

constexpr char kInfoTag[4] = {'I', 'N', 'F', 'O'};
constexpr char kTransTag[4] = {'T', 'R', 'N', 'S'};
constexpr uint32_t kTransVersion = 1;

// A kind as trans.dat holds it: the description, then the list's state.
// The pointer slot is written as zero and ignored on reading.
struct SavedKind {
  Msg8095_TransactionKind d;
  uint16_t fields_complete;
  uint16_t pad1;
  uint32_t fields_pointer;
  int16_t received;
  uint16_t pad2;
  uint32_t present;
};
static_assert(sizeof(SavedKind) == 168 && offsetof(SavedKind, fields_pointer) == 156);
static_assert(offsetof(SavedKind, received) == 160 && offsetof(SavedKind, present) == 164);

// More kinds than a 16-bit kind id can name, or more fields than a 16-bit
// count can hold, only come from a damaged file.
constexpr uint32_t kMaxKindsPerClass = 65536;

bool matches_code(uint32_t stored, uint32_t sought, bool exact) {
  return exact ? stored == sought : (stored & ~0x20u) == sought;
}

}  // namespace

TransactionKind* TransactionTable::find_name(std::size_t class_index, std::string_view name) {
  for (TransactionKind& k : slots_.at(class_index)) {
    if (equal_nocase(field_text(k.d.name), name)) return &k;
  }
  return nullptr;
}

TransactionKind* TransactionTable::find_id(std::size_t class_index, int16_t kind_id) {
  for (TransactionKind& k : slots_.at(class_index)) {
    if (k.present && k.d.kind_id == kind_id) return &k;
  }
  return nullptr;
}

KindRef TransactionTable::find_id_any_class(int32_t kind_id) {
  for (std::size_t c = 0; c < slots_.size(); ++c) {
    for (TransactionKind& k : slots_[c]) {
      if (k.d.kind_id == kind_id) return KindRef{static_cast<int32_t>(c), &k};
    }
  }
  return {};
}

KindRef TransactionTable::find_number(uint32_t number) {
  if (number == 0 || number > 65536) return {};
  const auto kind_id = static_cast<int16_t>(static_cast<uint16_t>(number - 1));
  for (std::size_t c = 0; c < slots_.size(); ++c) {
    if (TransactionKind* k = find_id(c, kind_id)) return KindRef{static_cast<int32_t>(c), k};
  }
  return {};
}

TransactionKind* TransactionTable::find_code(std::size_t class_index, uint32_t code, uint32_t class_table_flags,
                                            std::string_view class_code) {
  bool exact = false;
  if ((class_table_flags & 0x800) != 0 && (code == 4 || code == 8 || code == 32768)) {
    code += 0x20;
    exact = true;
  }
  for (TransactionKind& k : slots_.at(class_index)) {
    if (k.present && matches_code(k.d.kind_code, code, exact)) return &k;
  }
  if ((code & 0x20) != 0) {
    diag("ERROR: Makler transaction (flag = 0x%x, [%.*s]) not found!\n", code, static_cast<int>(class_code.size()),
         class_code.data());
  }
  return nullptr;
}

TransactionKind& TransactionTable::append(std::size_t class_index) {
  Kinds& kinds = slots_.at(class_index);
  if (kinds.size() == kinds.capacity()) kinds.reserve(kinds.size() + 10);
  TransactionKind& k = kinds.emplace_back();
  std::memset(&k.d, 0, sizeof k.d);
  return k;
}

void TransactionTable::mark_all_absent() {
  for (Kinds& kinds : slots_) {
    for (TransactionKind& k : kinds) k.present = false;
  }
}

bool TransactionTable::empty() const noexcept {
  for (const Kinds& kinds : slots_) {
    if (!kinds.empty()) return false;
  }
  return true;
}

void TransactionTable::clear() {
  for (Kinds& kinds : slots_) {
    kinds.clear();
    kinds.shrink_to_fit();
  }
}

bool save_transactions(const TransactionTable& table, const ClassTable& classes, const std::string& path) {
  auto f = ReplacingFile::create(path);
  if (!f) return false;
  uint32_t class_count = 0;
  for (std::size_t c = 0; c < classes.size() && c < kMaxClasses; ++c) {
    if (!table.kinds(c).empty()) ++class_count;
  }
  bool ok = f->write(kInfoTag, 4) && f->write(kTransTag, 4) && f->write(&kTransVersion, 4) &&
            f->write(&class_count, 4);
  for (std::size_t c = 0; ok && c < classes.size() && c < kMaxClasses; ++c) {
    const TransactionTable::Kinds& kinds = table.kinds(c);
    if (kinds.empty()) continue;
    const std::string_view code = field_text(classes.at(c).d.code);
    const auto code_length = static_cast<uint32_t>(code.size());
    const auto kind_count = static_cast<uint32_t>(kinds.size());
    ok = f->write(&code_length, 4) && f->write(code.data(), code.size()) && f->write(&kind_count, 4);
    for (const TransactionKind& k : kinds) {
      SavedKind s;
      std::memset(&s, 0, sizeof s);
      s.d = k.d;
      s.fields_complete = k.fields_complete ? 1 : 0;
      s.received = static_cast<int16_t>(k.fields.size());
      s.present = k.present ? 1 : 0;
      ok = ok && f->write(&s, sizeof s);
      for (const TransactionField& field : k.fields) ok = ok && f->write(&field, sizeof field);
    }
  }
  return ok && f->commit();
}

namespace {

// Reads one kind and its fields; false for a short or damaged record.
bool read_kind(InputFile& in, TransactionKind* into, int32_t class_server_id, std::string& problem) {
  SavedKind s;
  if (!in.read(&s, sizeof s)) {
    problem = "a kind record is cut short";
    return false;
  }
  if (s.received < 0 || static_cast<uint64_t>(s.received) * sizeof(TransactionField) > in.remaining()) {
    problem = "a kind's field count does not fit the file";
    return false;
  }
  if (into == nullptr) return in.skip(static_cast<uint64_t>(s.received) * sizeof(TransactionField));
  into->d = s.d;
  into->d.class_server_id = static_cast<int16_t>(class_server_id);
  into->fields_complete = s.fields_complete == 1;
  into->present = false;
  into->fields.resize(static_cast<std::size_t>(s.received));
  for (TransactionField& field : into->fields) {
    if (!in.read(&field, sizeof field)) {
      problem = "a field record is cut short";
      return false;
    }
    field.class_server_id = static_cast<int16_t>(class_server_id);
    field.key[sizeof field.key - 1] = '\0';
    field.description[sizeof field.description - 1] = '\0';
    field.default_value[sizeof field.default_value - 1] = '\0';
    field.values[sizeof field.values - 1] = '\0';
  }
  into->d.name[sizeof into->d.name - 1] = '\0';
  return true;
}

bool read_class(InputFile& in, TransactionTable& table, const ClassTable& classes, std::string& problem) {
  char code[13];
  if (!in.read_counted_text(code, sizeof code)) {
    problem = "a class code is cut short";
    return false;
  }
  const std::optional<uint32_t> count = in.read_u32();
  if (!count || *count > kMaxKindsPerClass || static_cast<uint64_t>(*count) * sizeof(SavedKind) > in.remaining()) {
    problem = "a class's kind count does not fit the file";
    return false;
  }
  const int64_t class_index = classes.find_by_code(code);
  TransactionTable::Kinds* kinds = nullptr;
  int32_t server_id = 0;
  if (class_index >= 0 && static_cast<std::size_t>(class_index) < kMaxClasses) {
    kinds = &table.kinds(static_cast<std::size_t>(class_index));
    kinds->clear();
    kinds->reserve(*count);
    server_id = classes.at(static_cast<std::size_t>(class_index)).d.server_id;
  }
  for (uint32_t i = 0; i < *count; ++i) {
    TransactionKind* into = nullptr;
    if (kinds != nullptr) {
      into = &kinds->emplace_back();
    }
    if (!read_kind(in, into, server_id, problem)) return false;
  }
  return true;
}

}  // namespace

bool load_transactions(TransactionTable& table, const ClassTable& classes, const std::string& path,
                       std::string& problem) {
  problem.clear();
  table.clear();
  std::optional<InputFile> in = InputFile::open(path);
  if (!in) return false;
  char tags[8];
  const bool head_ok = in->read(tags, sizeof tags) && std::memcmp(tags, kInfoTag, 4) == 0 &&
                       std::memcmp(tags + 4, kTransTag, 4) == 0;
  const std::optional<uint32_t> version = head_ok ? in->read_u32() : std::nullopt;
  const std::optional<uint32_t> class_count = version ? in->read_u32() : std::nullopt;
  if (!head_ok || !version || *version != kTransVersion || !class_count || *class_count >= kMaxClasses) {
    problem = "its head is not that of a version 1 table";
    return false;
  }
  for (uint32_t c = 0; c < *class_count; ++c) {
    if (!read_class(*in, table, classes, problem)) {
      table.clear();
      return false;
    }
  }
  return true;
}

}  // namespace kelda::kelapi
