// Fuzz target: reading trans.dat.
//
// Input: the file's bytes. It is read into the transaction table of a
// class table that holds the classes "CLS" and "SPB"; a file that is not
// read whole must leave the table empty.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz_work_file.h"
#include "market/class_table.h"
#include "transactions/transaction_table.h"

using namespace kelda::kelapi;

namespace {

struct Setup {
  std::string dir;
  ClassTable classes;
  Setup() {
    dir = kelda::fuzzing::work_folder("trans-dat");  // in memory: files are rewritten per input
    for (const char* code : {"CLS", "SPB"}) {
      ClassRecord& c = classes.at(classes.append());
      std::strcpy(c.d.code, code);
      c.d.server_id = static_cast<int32_t>(classes.size());
    }
  }
  ~Setup() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static Setup setup;
  const std::string path = setup.dir + "/trans.dat";
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  TransactionTable table;
  std::string problem;
  if (!load_transactions(table, setup.classes, path, problem) && !table.empty()) std::abort();
  return 0;
}
