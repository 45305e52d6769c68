// The saved market tables (classes.dat, sec.dat, par.dat): written as the
// market completes, read back at the next initialisation, and refused whole
// when damaged.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/text_util.h"
#include "files/binary_file.h"
#include "library_fixture.h"
#include "saved_files.h"
#include "market/records.h"
#include "testsupport/test_dir.h"

namespace kelda::kelapi::test {
namespace {

using kelda::test::read_file_bytes;
using kelda::test::write_file_bytes;

class SavedTablesTest : public LibraryTest {
 protected:
  uint32_t loaded_classes() {
    LibraryLock lock(*lib);
    return static_cast<uint32_t>(lib->classes.size());
  }
};

TEST_F(SavedTablesTest, TheMarketComesBackAtTheNextInitialisation) {
  ASSERT_EQ(init(), KELAPI_OK);
  ASSERT_EQ(connect(), KELAPI_OK);
  open_session();
  describe_market(5, "CLS", {"AAA", "BBB"}, {"last"});
  end_class_lists();
  ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);

  ASSERT_EQ(init(), KELAPI_OK);
  KelapiClassRecord c{};
  ASSERT_EQ(KelapiGetClassEx3(1, &c, sizeof c), KELAPI_OK) << "readable before any connection";
  EXPECT_STREQ(c.code, "CLS");
  EXPECT_EQ(c.security_count, 2u);
  EXPECT_EQ(c.param_count, 1);
  KelapiSecurityRecord s[2];
  ASSERT_EQ(KelapiGetClassSecuritiesEx3(1, s, sizeof s[0]), KELAPI_OK);
  EXPECT_STREQ(s[1].code, "BBB");
  LibraryLock lock(*lib);
  EXPECT_EQ(lib->securities.find_by_server_id(1001), 1);
  EXPECT_EQ(lib->classes.at(0).securities_complete, 1);
}

TEST_F(SavedTablesTest, AFreshStartLoadsNothing) {
  Tables(2, 3).write();
  ASSERT_EQ(init(0, 1), KELAPI_OK);
  EXPECT_EQ(loaded_classes(), 0u);
}

TEST_F(SavedTablesTest, EveryClassIsWrittenSoThatIndexesStayValid) {
  ASSERT_EQ(init(), KELAPI_OK);
  ASSERT_EQ(connect(), KELAPI_OK);
  open_session();
  describe_market(5, "ONE", {"AAA"}, {"last"});
  describe_market(6, "TWO", {"BBB"}, {"bid"});
  {
    // The first class is no longer confirmed when the tables are saved.
    LibraryLock lock(*lib);
    lib->classes.at(0).d.server_id = -1;
  }
  end_class_lists();
  const std::string classes = read_file_bytes("classes.dat");
  uint32_t count;
  std::memcpy(&count, classes.data() + 16, 4);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(classes.size(), 20 + 2 * sizeof(ClassRecord));
  const std::string securities = read_file_bytes("sec.dat");
  SecurityRecord second;
  std::memcpy(&second, securities.data() + 20 + sizeof(SecurityRecord), sizeof second);
  EXPECT_EQ(second.class_index, 1);
  ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);
  ASSERT_EQ(init(), KELAPI_OK);
  EXPECT_EQ(loaded_classes(), 2u);
}

TEST_F(SavedTablesTest, AHundredClassesLoad) {
  Tables(100, 1).write();
  ASSERT_EQ(init(), KELAPI_OK);
  EXPECT_EQ(loaded_classes(), 100u);
  LibraryLock lock(*lib);
  EXPECT_EQ(lib->securities.size(), 100u);
  EXPECT_EQ(lib->classes.at(99).securities_request, 0u);
  EXPECT_EQ(lib->securities.at(5).link, 0u);
  EXPECT_EQ(lib->securities.at(5).changed, 1);
  EXPECT_EQ(lib->params.get(0, 1)->in_filter, 0);
}

TEST_F(SavedTablesTest, ADamagedFileLeavesTheMarketTablesEmpty) {
  struct Case {
    const char* what;
    std::function<void(Tables&)> damage;
  };
  const Case cases[] = {
      {"classes: mark", [](Tables& t) { t.classes.mark[0] = 'X'; }},
      {"classes: tag", [](Tables& t) { std::memcpy(t.classes.tag, "SECS", 4); }},
      {"classes: version", [](Tables& t) { t.classes.version = 4; }},
      {"classes: record size", [](Tables& t) { t.classes.record_size = 2147; }},
      {"classes: 101 classes", [](Tables& t) { t.classes.count = 101; }},
      {"classes: short record", [](Tables& t) { t.classes.records.resize(t.classes.records.size() - 1); }},
      {"classes: huge count", [](Tables& t) { t.classes.count = 0xFFFFFFFF; }},
      {"securities: version", [](Tables& t) { t.securities.version = 5; }},
      {"securities: record size", [](Tables& t) { t.securities.record_size = 199; }},
      {"securities: count past the end", [](Tables& t) { t.securities.count = 0x40000000; }},
      {"securities: class index", [](Tables& t) {
         SecurityRecord s = a_security(7, 1, "X");
         t.securities.records.replace(0, sizeof s, reinterpret_cast<const char*>(&s), sizeof s);
       }},
      {"params: version", [](Tables& t) { t.params.version = 3; }},
      {"params: slot count", [](Tables& t) { t.params.count = 40000; }},
      {"params: record count", [](Tables& t) { t.params.extra = {3}; }},
      {"params: no record count", [](Tables& t) { t.params.extra.clear(); t.params.records.clear(); }},
  };
  for (const Case& c : cases) {
    make_library(default_options());
    Tables t(2, 2);
    c.damage(t);
    t.write();
    ASSERT_EQ(init(), KELAPI_OK) << c.what;
    EXPECT_EQ(loaded_classes(), 0u) << c.what;
    LibraryLock lock(*lib);
    EXPECT_EQ(lib->securities.size(), 0u) << c.what;
    EXPECT_EQ(lib->params.slot_count(), 0u) << c.what;
    const auto diags = diagnostics();
    ASSERT_FALSE(diags.empty()) << c.what;
    EXPECT_NE(diags.back().find("not loaded"), std::string::npos) << c.what << ": " << diags.back();
  }
}

TEST_F(SavedTablesTest, ParameterRecordsOfUnknownClassesOrSlotsAreSkipped) {
  Tables t(3, 1);
  const std::vector<NetParamEx> p = {a_param(5, 0, "last"), a_param(1, 4, "bid"), a_param(2, 1, "ask")};
  t.params.extra = {3};
  t.params.records = bytes_of(p);
  t.write();
  ASSERT_EQ(init(), KELAPI_OK);
  EXPECT_EQ(loaded_classes(), 3u);
  LibraryLock lock(*lib);
  EXPECT_EQ(lib->params.count(0), 0);
  EXPECT_EQ(lib->params.count(1), 0);
  ASSERT_EQ(lib->params.count(2), 1);
  EXPECT_STREQ(lib->params.slot(1).db_name, "ask");
}

TEST_F(SavedTablesTest, AProcessEndedWhileTheTablesAreWrittenLeavesNoMixedSet) {
  // Securities and parameters name their class by its row in classes.dat: a
  // new classes.dat beside an older sec.dat would give securities to the
  // wrong classes. The day's first tables: class A, then class B.
  ASSERT_EQ(init(), KELAPI_OK);
  ASSERT_EQ(connect(), KELAPI_OK);
  open_session();
  describe_market(5, "A", {"AAA"}, {"last"});
  describe_market(6, "B", {"BBB"}, {"last"});
  end_class_lists();
  ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);

  // A fresh start learns B before A. sec.dat's temporary file is a pipe that
  // holds less than the file: the save stops inside it, where the process
  // could end, and what is on disk then is kept aside and loaded later.
  ASSERT_EQ(init(0, 1), KELAPI_OK);
  ASSERT_EQ(connect(), KELAPI_OK);
  open_session();
  net->clear_sent();
  net->deliver(0x803C, class_description(6, "B"));
  net->deliver(0x803C, class_description(5, "A"));
  ASSERT_TRUE(net->wait_handled());
  const auto sec_requests = net->sent(0x8034);
  const auto par_requests = net->sent(0x8032);
  ASSERT_EQ(sec_requests.size(), 2u);
  ASSERT_EQ(par_requests.size(), 2u);
  const int32_t sec_b = sec_requests[0].as<ClassRequest>().request;
  const int32_t par_b = par_requests[0].as<ClassRequest>().request;
  ASSERT_EQ(::mkfifo("sec.dat.tmp", 0600), 0);
  const int pipe = ::open("sec.dat.tmp", O_RDONLY | O_NONBLOCK);
  ASSERT_GE(pipe, 0);
  ASSERT_GT(::fcntl(pipe, F_SETPIPE_SZ, 4096), 0);
  ASSERT_EQ(::fcntl(pipe, F_SETFL, 0), 0);
  for (int k = 0; k < 40; ++k) net->deliver(0x8081, security(sec_b, 2000 + k, ("BB" + std::to_string(k)).c_str()));
  net->deliver(0x24, parameter(static_cast<int16_t>(par_b), "last"));
  net->deliver(0x2, Msg0002_RequestComplete{static_cast<int16_t>(sec_b)});
  net->deliver(0x2, Msg0002_RequestComplete{static_cast<int16_t>(par_b)});
  pollfd ready{pipe, POLLIN, 0};
  ASSERT_EQ(::poll(&ready, 1, 30000), 1) << "the save writes sec.dat";
  std::filesystem::create_directory("cut");
  for (const char* name : {"classes.dat", "sec.dat", "par.dat"}) {
    if (std::filesystem::exists(name)) std::filesystem::copy_file(name, std::string("cut/") + name);
  }
  char drain[4096];
  while (::read(pipe, drain, sizeof drain) > 0) {
  }
  ::close(pipe);
  ASSERT_TRUE(net->wait_handled());
  ASSERT_EQ(KelapiUninitialize(), KELAPI_OK);

  ASSERT_EQ(KelapiInitializeEx(0, "cut"), KELAPI_OK);
  LibraryLock lock(*lib);
  for (std::size_t i = 0; i < lib->securities.size(); ++i) {
    const SecurityRecord& r = lib->securities.at(i);
    const std::string_view code = field_text(r.h.code).substr(0, 1);
    EXPECT_EQ(field_text(lib->classes.at(static_cast<std::size_t>(r.class_index)).d.code), code)
        << "security " << r.h.code << " loaded under another class";
  }
}

}  // namespace
}  // namespace kelda::kelapi::test
