// The provider's dialogs driven by scripts: the user dialog of
// initialisation mode 3 and the key-ring configuration written to the
// library's configuration file.
#include <sys/stat.h>

#include <cstdio>

#include "library_config.h"
#include "plugin_fixture.h"
#include "ui/controls.h"
#include "ui/window.h"

namespace kelda::sekura32_pr::testing {
namespace {

namespace fs = std::filesystem;
using Kind = ui::ScriptedServices::Asked::Kind;

constexpr char16_t kConnectDialog[] = u"CONNECT_DIALOG_0X09_0X01";
constexpr char16_t kConfigDialog[] = u"CONFIG_DIALOG_0X09_0X01";
constexpr int kUser = 10101, kPassword = 10102, kTarget = 10104;
constexpr int kSecret = 1001, kPublic = 1003, kConfigFile = 1005;

std::u16string u(const fs::path& p) { return p.u16string(); }

using UserDialog = PluginTest;

TEST_F(UserDialog, OffersTheKeyBaseUsersChecksTheFieldsAndOpensTheContext) {
  script.answer_message_box(ui::id::ok, u"Not defined user password");
  script.on_dialog(kConnectDialog, [](ui::DialogDriver& d) {
    EXPECT_EQ(ui::get_window_text(d.dialog()), u"User identification");
    const ui::Hwnd list = d.item(kTarget);
    ASSERT_EQ(ui::send_message(list, ui::cb::get_count), 2);
    EXPECT_EQ(ui::send_message(list, ui::cb::get_cur_sel), 0);
    EXPECT_EQ(d.text(kTarget), u"demo");
    d.set_text(kUser, u"demo");
    d.click(ui::id::ok);
    EXPECT_TRUE(d.open());
    d.set_text(kPassword, u"demo");
    EXPECT_TRUE(d.choose(kTarget, u"KeldaServer"));
    d.click(ui::id::ok);
  });
  std::string error;
  CpapiContext* c = context_in_mode(4, 3, nullptr, nullptr, 0, "", &error);
  ASSERT_NE(c, nullptr) << error;
  free_context(c);
  EXPECT_TRUE(script.problems().empty()) << script.problems().front();
  const auto boxes = script.asked(Kind::message_box);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, u"Error");

  script.on_dialog(kConnectDialog, [](ui::DialogDriver& d) { d.click(ui::id::cancel); });
  EXPECT_EQ(context_in_mode(4, 3, nullptr, nullptr, 0, "", &error), nullptr);
  EXPECT_EQ(error, "Not defined user password");
}

class ConfigDialog : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    config = test::test_dir() / "SEKURA.CFG";
    set_library_setting(4, config.string());
    rings = test::test_dir() / "rings";
    fs::create_directories(rings);
    for (const char* ring : {"secring.txk", "pubring.txk"}) fs::copy_file(test::test_dir() / ring, rings / ring);
  }
  int32_t configure() { return PLUGIN(CPAPI_ConfigCryptoProvider)(0, nullptr); }
  // Shows the library's current rings, saves the ones of `rings`.
  void choose_rings(const fs::path& shown) {
    script.on_dialog(kConfigDialog, [this, shown](ui::DialogDriver& d) {
      EXPECT_EQ(d.text(kConfigFile), u(config));
      EXPECT_EQ(d.text(kSecret), u(shown / "secring.txk"));
      EXPECT_EQ(d.text(kPublic), u(shown / "pubring.txk"));
      d.set_text(kSecret, u(rings / "secring.txk"));
      d.set_text(kPublic, u(rings / "pubring.txk"));
      d.click(ui::id::ok);
    });
  }
  fs::path config, rings;
};

TEST_F(ConfigDialog, SaveReplacesTheRingLinesAndTheLibraryUsesThemAtOnce) {
  // 8-bit text with a Cyrillic comment (code page 1251) and a line to keep.
  test::write_file_bytes(config, "# \xCA\xEB\xFE\xF7\xE8\r\nSECRING = old.txk  # before\r\nRANDSEED=seed.bin\r\n");
  choose_rings(test::test_dir());
  ASSERT_EQ(configure(), 1);
  EXPECT_EQ(test::read_file_bytes(config),
            "PUBRING=" + (rings / "pubring.txk").string() + "\r\n# \xCA\xEB\xFE\xF7\xE8\r\nSECRING = " +
                (rings / "secring.txk").string() + "  # before\r\nRANDSEED=seed.bin\r\n");
  EXPECT_EQ(library_setting(SK_SETTING_SECRET_RING), (rings / "secring.txk").string());
  EXPECT_EQ(library_setting(SK_SETTING_PUBLIC_RING), (rings / "pubring.txk").string());

  // A file of sections gets both lines in front of its first section.
  test::write_file_bytes(config, "[keys]\r\nSECRING=kept.txk\r\n");
  choose_rings(rings);
  ASSERT_EQ(configure(), 1);
  EXPECT_EQ(test::read_file_bytes(config), "PUBRING=" + (rings / "pubring.txk").string() + "\r\nSECRING=" +
                                               (rings / "secring.txk").string() + "\r\n[keys]\r\nSECRING=kept.txk\r\n");
}

TEST_F(ConfigDialog, SaveRefusesMissingRingsAndUnreadableConfigurations) {
  const fs::path missing = rings / "none.txk";
  struct Case {
    fs::path secret, pub;
    std::string file;
    std::u16string text;
  };
  const Case cases[] = {
      {rings / "secring.txk", "", "", u"File with public keys not selected"},
      {rings / "secring.txk", missing, "", u"Selected file with public keys not exist"},
      {"", rings / "pubring.txk", "", u"File with secret keys not selected"},
      {missing, rings / "pubring.txk", "", u"Selected file with secret keys not exist"},
      {rings / "secring.txk", rings / "pubring.txk", "]\r\n", u"Wrong format of file \"" + u(config) + u"\""},
      {rings / "secring.txk", rings / "pubring.txk", " = x\r\n", u"Wrong format of file \"" + u(config) + u"\""},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.text.begin(), k.text.end()));
    test::write_file_bytes(config, k.file);
    script.answer_message_box(ui::id::ok, k.text);
    script.on_dialog(kConfigDialog, [&](ui::DialogDriver& d) {
      d.set_text(kSecret, u(k.secret));
      d.set_text(kPublic, u(k.pub));
      d.click(ui::id::ok);
      EXPECT_TRUE(d.open());
      d.click(ui::id::cancel);
    });
    EXPECT_EQ(configure(), 0);
    EXPECT_TRUE(script.problems().empty()) << script.problems().front();
    EXPECT_EQ(test::read_file_bytes(config), k.file);
  }
}

// Each step of reading the configuration file for update fails with its own
// text, and the file is left as it was.
TEST(LibraryConfigWrite, EachFailedStepHasItsOwnText) {
  const fs::path dir = test::test_dir() / "config";
  fs::create_directories(dir / "folder");
  const std::string fifo = (dir / "pipe.cfg").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string plain = (dir / "plain.cfg").string();
  test::write_file_bytes(plain, "RANDSEED=seed.bin\r\n");
  const ConfigBufferAllocator no_memory = [](std::size_t) { return std::unique_ptr<char[]>(); };
  struct Case {
    std::string file;
    ConfigBufferAllocator allocate;
    const char* text;  // with %s for the file name; null: written
  };
  const Case cases[] = {
      {(dir / "folder").string(), nullptr, "Can't open file \"%s\" for edit"},
      {fifo, nullptr, "Can't get information about size for file \"%s\""},
      {plain, no_memory, "Memory allocation error occur when edit file \"%s\""},
      {plain, nullptr, nullptr},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.file);
    char error[512] = "";
    const int32_t result = write_library_config(k.file, "EXTRA", "keys.txk", error, sizeof error, k.allocate);
    if (k.text == nullptr) {
      EXPECT_EQ(result, 1) << error;
      EXPECT_EQ(test::read_file_bytes(k.file), "EXTRA=keys.txk\r\nRANDSEED=seed.bin\r\n");
      continue;
    }
    EXPECT_EQ(result, 0);
    char expected[512];
    std::snprintf(expected, sizeof expected, k.text, k.file.c_str());
    EXPECT_STREQ(error, expected);
    if (k.file == plain) {
      EXPECT_EQ(test::read_file_bytes(k.file), "RANDSEED=seed.bin\r\n");
    }
  }
}

TEST(LibraryConfigScan, FindsTheKeyOutsideCommentsAndSections) {
  struct Case {
    const char* text;
    bool wrong, found;
    const char* value;
  };
  const Case cases[] = {
      {"secring = a b \r\n", false, true, "a b"},
      {"#SECRING=x\nPUBRING=y\n", false, false, ""},
      {"X=1 # SECRING=2\r\nSecRing=3", false, true, "3"},
      {"[s]\nSECRING=x\n", false, false, ""},
      {"SECRING=x]\n", true, false, ""},
      {"=x\n", true, false, ""},
      {"SECRING\xFF=x\n", false, false, ""},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.text);
    const std::string_view text(k.text);
    const ConfigScan scan = scan_library_config(text, "SECRING");
    EXPECT_EQ(scan.wrong_format, k.wrong);
    EXPECT_EQ(scan.found, k.found);
    if (scan.found) {
      EXPECT_EQ(text.substr(scan.value_begin, scan.value_end - scan.value_begin), k.value);
    }
  }
}

}  // namespace
}  // namespace kelda::sekura32_pr::testing
