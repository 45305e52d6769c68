// The saved market tables: classes.dat, sec.dat and par.dat.
//
// The three files are written together (classes.dat last) and read back
// together; class indexes in sec.dat and par.dat refer to the rows of
// classes.dat, so every class is written, confirmed or not. Everything read
// is checked against the tables and the file's size before it is used.
#include <cerrno>
#include <cstring>
#include <vector>

#include "core/diag.h"
#include "files/binary_file.h"
#include "market/market.h"
#include "session/library.h"

namespace kelda::kelapi {
namespace {

constexpr char kClassesTag[4] = {'C', 'L', 'A', 'S'};
constexpr char kSecuritiesTag[4] = {'S', 'E', 'C', 'S'};
constexpr char kParamsTag[4] = {'P', 'A', 'R', 'S'};
constexpr uint32_t kClassesVersion = 5;
constexpr uint32_t kSecuritiesVersion = 6;
constexpr uint32_t kParamsVersion = 2;

template <std::size_t N>
void terminate(char (&field)[N]) {
  field[N - 1] = '\0';
}

bool failed(const std::string& path, const char* reason) {
  diag("KeldaApi: %s not loaded: %s\n", path.c_str(), reason);
  return false;
}

bool save_classes(Library& lib) {
  const std::string path = work_file(lib.work_dir(), "classes.dat");
  auto f = ReplacingFile::create(path);
  if (!f) return false;
  const auto count = static_cast<uint32_t>(lib.classes.size());
  const FileFrame frame = make_frame(kClassesTag, kClassesVersion, sizeof(ClassRecord), count);
  bool ok = f->write(&frame, sizeof frame);
  for (std::size_t c = 0; ok && c < count; ++c) ok = f->write(&lib.classes.at(c), sizeof(ClassRecord));
  return ok && f->commit();
}

bool save_securities(Library& lib) {
  const std::string path = work_file(lib.work_dir(), "sec.dat");
  auto f = ReplacingFile::create(path);
  if (!f) return false;
  const auto count = static_cast<uint32_t>(lib.securities.size());
  const FileFrame frame = make_frame(kSecuritiesTag, kSecuritiesVersion, sizeof(SecurityRecord), count);
  bool ok = f->write(&frame, sizeof frame);
  for (std::size_t i = 0; ok && i < count; ++i) {
    SecurityRecord r = lib.securities.at(i);
    r.link = 0;
    ok = f->write(&r, sizeof r);
  }
  return ok && f->commit();
}

bool save_params(Library& lib) {
  const std::string path = work_file(lib.work_dir(), "par.dat");
  auto f = ReplacingFile::create(path);
  if (!f) return false;
  std::vector<NetParamEx> records;
  for (std::size_t c = 0; c < lib.classes.size(); ++c) {
    lib.params.for_each(static_cast<int32_t>(c), [&](int32_t, const NetParamEx& p) {
      records.push_back(p);
      records.back().filter2 = 0;
    });
  }
  const FileFrame frame = make_frame(kParamsTag, kParamsVersion, sizeof(NetParamEx),
                                     static_cast<uint32_t>(lib.params.slot_count()));
  bool ok = f->write(&frame, sizeof frame) && f->write_u32(static_cast<uint32_t>(records.size()));
  if (ok && !records.empty()) ok = f->write(records.data(), records.size() * sizeof(NetParamEx));
  return ok && f->commit();
}

bool load_classes(Library& lib) {
  const std::string path = work_file(lib.work_dir(), "classes.dat");
  auto f = InputFile::open(path);
  if (!f) return failed(path, "NO FILE");
  FileFrame frame;
  const FrameCheck check = read_frame(*f, kClassesTag, kClassesVersion, sizeof(ClassRecord), frame);
  if (check != FrameCheck::ok) return failed(path, frame_check_text(check));
  if (frame.count > kMaxClasses) return failed(path, "TOO MANY CLASSES");
  if (static_cast<uint64_t>(frame.count) * sizeof(ClassRecord) > f->remaining()) {
    return failed(path, "SHORT FILE");
  }
  std::vector<ClassRecord> rows(frame.count);
  if (frame.count > 0 && !f->read(rows.data(), rows.size() * sizeof(ClassRecord))) {
    return failed(path, "SHORT FILE");
  }
  for (ClassRecord& c : rows) {
    terminate(c.d.code);
    terminate(c.d.name);
    terminate(c.d.second_code);
    for (char* text : {c.text1, c.text2, c.text3, c.text4}) text[256] = '\0';
    if (c.d.list_count > kClassListCapacity) c.d.list_count = 0;
    c.securities_request = 0;
    c.params_request = 0;
    c.texts_request = 0;
  }
  lib.classes.assign(std::move(rows));
  return true;
}

bool load_securities(Library& lib) {
  const std::string path = work_file(lib.work_dir(), "sec.dat");
  if (lib.classes.size() == 0) return failed(path, "NO CLASSES");
  auto f = InputFile::open(path);
  if (!f) return failed(path, "NO FILE");
  FileFrame frame;
  const FrameCheck check = read_frame(*f, kSecuritiesTag, kSecuritiesVersion, sizeof(SecurityRecord), frame);
  if (check != FrameCheck::ok) return failed(path, frame_check_text(check));
  if (static_cast<uint64_t>(frame.count) * sizeof(SecurityRecord) > f->remaining()) {
    return failed(path, "SHORT FILE");
  }
  lib.securities.reserve(frame.count);
  for (uint32_t i = 0; i < frame.count; ++i) {
    SecurityRecord r;
    if (!f->read(&r, sizeof r)) return failed(path, "SHORT FILE");
    if (r.class_index < 0 || static_cast<std::size_t>(r.class_index) >= lib.classes.size()) {
      return failed(path, "BAD CLASS INDEX");
    }
    terminate(r.h.code);
    terminate(r.h.name);
    terminate(r.h.short_name);
    terminate(r.h.text4ch);
    terminate(r.h.text1);
    terminate(r.h.text2);
    terminate(r.h.text3);
    terminate(r.h.text4);
    r.in_filter = 0;
    r.scratch = 0;
    r.changed = 1;
    r.link = 0;
    lib.securities.append(r);
  }
  return true;
}

bool load_params(Library& lib) {
  const std::string path = work_file(lib.work_dir(), "par.dat");
  auto f = InputFile::open(path);
  if (!f) return failed(path, "NO FILE");
  FileFrame frame;
  const FrameCheck check = read_frame(*f, kParamsTag, kParamsVersion, sizeof(NetParamEx), frame);
  if (check != FrameCheck::ok) return failed(path, frame_check_text(check));
  const uint32_t slots = frame.count;
  if (slots > kMaxParamSlots) return failed(path, "TOO MANY PARAMETERS");
  const auto records = f->read_u32();
  if (!records) return failed(path, "SHORT FILE");
  if (static_cast<uint64_t>(*records) * sizeof(NetParamEx) > f->remaining()) return failed(path, "SHORT FILE");
  lib.params.set_slot_count(slots);
  for (uint32_t i = 0; i < *records; ++i) {
    NetParamEx p;
    if (!f->read(&p, sizeof p)) return failed(path, "SHORT FILE");
    if (p.slot < 0 || static_cast<uint32_t>(p.slot) >= slots || p.class_index < 0 ||
        static_cast<std::size_t>(p.class_index) >= lib.classes.size()) {
      continue;  // a record that names no loaded class or slot is skipped
    }
    terminate(p.d.db_name);
    terminate(p.d.short_name);
    terminate(p.d.long_name);
    terminate(p.d.enum_desc);
    p.in_filter = 0;
    p.filter2 = 0;
    lib.params.get_or_create(p.class_index, p.slot) = p;
    if (!lib.params.slot_described(p.slot)) lib.params.describe_slot(p.slot, p);
  }
  return true;
}

}  // namespace

void save_market_tables(Library& lib) {
  // classes.dat goes first and comes back last: a process that ends in
  // between leaves no classes.dat, so the next start loads nothing rather
  // than a new sec.dat or par.dat against the old class rows (or the other
  // way round).
  const std::string classes = work_file(lib.work_dir(), "classes.dat");
  if (!delete_file(classes) && errno != ENOENT) {
    diag("KeldaApi: the market tables could not be saved in [%s]\n", lib.work_dir().c_str());
    return;
  }
  if (!save_securities(lib) || !save_params(lib) || !save_classes(lib)) {
    diag("KeldaApi: the market tables could not be saved in [%s]\n", lib.work_dir().c_str());
  }
}

bool load_market_tables(Library& lib) {
  if (load_classes(lib) && load_securities(lib) && load_params(lib)) return true;
  lib.classes.clear();
  lib.securities.clear();
  lib.params.clear();
  return false;
}

}  // namespace kelda::kelapi
