// Builders of saved market tables for the client library's tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "market/records.h"
#include "testsupport/test_dir.h"

namespace kelda::kelapi::test {

// Builds the bytes of a saved table: frame, an optional extra word, records.
struct TableFile {
  char mark[5];
  char tag[5];
  uint32_t version;
  uint32_t record_size;
  uint32_t count;
  std::vector<uint32_t> extra;
  std::string records;

  std::string bytes() const {
    std::string out(mark, 4);
    out.append(tag, 4);
    for (uint32_t w : {version, record_size, count}) out.append(reinterpret_cast<const char*>(&w), 4);
    for (uint32_t w : extra) out.append(reinterpret_cast<const char*>(&w), 4);
    return out + records;
  }
};

// Copies text into a fixed record field, cut to fit and terminated (the
// cutting is meant: the optimiser's truncation warnings about snprintf
// into short fields do not apply).
template <std::size_t N>
void put_text(char (&field)[N], const std::string& text) {
  const std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
  std::memcpy(field, text.data(), n);
  field[n] = '\0';
}

inline ClassRecord a_class(int32_t server_id, const std::string& code) {
  ClassRecord c;
  std::memset(&c, 0, sizeof c);
  c.d.server_id = server_id;
  put_text(c.d.code, code);
  c.params_complete = 1;
  c.securities_complete = 1;
  c.securities_request = 77;  // a stale request number: cleared on loading
  return c;
}

inline SecurityRecord a_security(int32_t class_index, int32_t server_id, const std::string& code) {
  SecurityRecord s;
  std::memset(&s, 0, sizeof s);
  s.h.server_id = server_id;
  put_text(s.h.code, code);
  s.class_index = class_index;
  s.link = 0xDEAD;
  return s;
}

inline NetParamEx a_param(int32_t class_index, int16_t slot, const std::string& name) {
  NetParamEx p;
  std::memset(&p, 0, sizeof p);
  put_text(p.d.db_name, name);
  p.class_index = class_index;
  p.slot = slot;
  p.in_filter = 1;
  return p;
}

template <typename T>
std::string bytes_of(const std::vector<T>& records) {
  return std::string(reinterpret_cast<const char*>(records.data()), records.size() * sizeof(T));
}

struct Tables {
  TableFile classes{"INFO", "CLAS", 5, sizeof(ClassRecord), 0, {}, {}};
  TableFile securities{"INFO", "SECS", 6, sizeof(SecurityRecord), 0, {}, {}};
  TableFile params{"INFO", "PARS", 2, sizeof(NetParamEx), 0, {0}, {}};

  Tables(int class_count, int securities_per_class) {
    std::vector<ClassRecord> c;
    std::vector<SecurityRecord> s;
    for (int i = 0; i < class_count; ++i) {
      c.push_back(a_class(10 + i, "C" + std::to_string(i)));
      for (int k = 0; k < securities_per_class; ++k) s.push_back(a_security(i, 100 * i + k, "S" + std::to_string(k)));
    }
    classes.count = static_cast<uint32_t>(c.size());
    classes.records = bytes_of(c);
    securities.count = static_cast<uint32_t>(s.size());
    securities.records = bytes_of(s);
    const std::vector<NetParamEx> p = {a_param(0, 0, "last"), a_param(0, 1, "bid")};
    params.count = 2;
    params.extra = {2};
    params.records = bytes_of(p);
  }
  void write() const {
    kelda::test::write_file_bytes("classes.dat", classes.bytes());
    kelda::test::write_file_bytes("sec.dat", securities.bytes());
    kelda::test::write_file_bytes("par.dat", params.bytes());
  }
};

}  // namespace kelda::kelapi::test
