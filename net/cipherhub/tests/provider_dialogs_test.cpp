// The providers dialog and the add dialog through the dispatcher's exports,
// driven by scripted input on a headless user-interface session: the list and
// its filter, choosing, configuring, removing and adding providers, and what
// lands in the settings files.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "hub.h"
#include "ui/controls.h"
#include "ui/testing.h"

namespace kelda::cipherhub::testing {
namespace {

using ui::DialogDriver;
using Kind = ui::ScriptedServices::Asked::Kind;

constexpr int kList = 1002, kAddNew = 1003, kRemove = 1004, kConfigure = 1005;
constexpr int kDescription = 1008, kSection = 1009, kModule = 1010, kBrowseModule = 1011,
              kIniFile = 1012, kBrowseIni = 1013;
const char16_t* const kProviders = u"CONFIG_CRYPTO_PROVIDERS_DIALOG_0X09_0X01";
const char16_t* const kAdd = u"ADD_NEW_CRYPTO_PROVIDER_DIALOG_0X09_0X01";

std::vector<std::u16string> lines(const DialogDriver& d) {
  std::vector<std::u16string> out;
  const ui::Hwnd list = d.item(kList);
  for (LRESULT i = 0, n = ui::send_message(list, ui::lb::get_count); i < n; ++i) {
    std::u16string text(static_cast<std::size_t>(ui::send_message(list, ui::lb::get_text_len, i)), u'\0');
    ui::send_message(list, ui::lb::get_text, i, reinterpret_cast<LPARAM>(text.data()));
    out.push_back(text);
  }
  return out;
}

LRESULT selection(const DialogDriver& d) { return ui::send_message(d.item(kList), ui::lb::get_cur_sel); }

void select_line(const DialogDriver& d, int index) { ASSERT_TRUE(d.choose_index(kList, index)); }

// While it lives, writing a file past a few bytes fails, as on a full disk
// (root ignores permissions, not this limit).
class FileSizeLimit {
 public:
  FileSizeLimit() : old_handler_(std::signal(SIGXFSZ, SIG_IGN)) {
    getrlimit(RLIMIT_FSIZE, &old_);
    rlimit limit = old_;
    limit.rlim_cur = 16;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, old_handler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  void (*old_handler_)(int);
  rlimit old_{};
};

class ProviderDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    write_lines(own, {"[connect]", "port=15100", "", "[CryptoProviders]", "Null=1", "Signer=1",
                      "Dual=1", "[Null]", "Module=NullCipher.DLL", "IniFile=null.ini", "[Signer]",
                      "Module=FakeSigner.DLL", "IniFile=signer.ini", "[Dual]",
                      "Module=DualProvider.DLL"});
    char error[256] = "";
    ASSERT_EQ(HUB(hub, CPDAPI_InitializeLib)(9, 1, 1, 0, 2, 0, 0, own.c_str(), 0, 0, 0, 0, error,
                                             sizeof error),
              1)
        << error;
  }

  // The dispatcher ends and starts again from its settings file.
  void restart() {
    char error[256] = "";
    HUB(hub, CPDAPI_UninitializeLib)(0, 0, 0, 0);
    ASSERT_EQ(HUB(hub, CPDAPI_InitializeLib)(9, 1, 1, 0, 2, 0, 0, own.c_str(), 0, 0, 0, 0, error,
                                             sizeof error),
              1);
  }

  int32_t config(char* name, int32_t filter) {
    return HUB(hub, CPDAPI_ConfigCryptoProviders)(0, name, name ? 64 : 0, filter);
  }

  ui::HeadlessUi session;
  ui::ScriptedServices& script = session.script();
  Hub hub{{"NullCipher", "FakeSigner", "DualProvider", "FakeSekura", "BadVersion"}};
  const std::string own = (test::test_dir() / "KeldaMobile.txt").string();
};

TEST_F(ProviderDialogs, ListsTheProvidersOfTheFilterAndReturnsTheChoice) {
  const std::u16string null_line = u"Null [NullCipher]";
  const std::u16string signer_line = u"Signer [FakeSigner]";
  const std::u16string dual_line = u"Dual [DualProvider.provider-name-long]";
  struct Case {
    int32_t filter;
    std::vector<std::u16string> lines;
  };
  const Case cases[] = {
      {3, {null_line, signer_line, dual_line}},
      {2, {null_line, dual_line}},
      {1, {signer_line, dual_line}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.filter);
    script.on_dialog(kProviders, [&](DialogDriver& d) {
      EXPECT_EQ(ui::get_window_text(d.dialog()), u"Available crypto-providers");
      EXPECT_EQ(lines(d), k.lines);
      d.click(ui::id::cancel);
    });
    EXPECT_EQ(config(nullptr, k.filter), 0);
  }

  char name[64] = "fakesigner";  // preselected, whatever its case
  script.on_dialog(kProviders, [](DialogDriver& d) {
    EXPECT_EQ(selection(d), 1);
    for (int id : {ui::id::ok, kRemove, kConfigure}) EXPECT_TRUE(d.enabled(id)) << id;
    select_line(d, 0);  // NullCipher cannot be configured
    EXPECT_FALSE(d.enabled(kConfigure));
    EXPECT_TRUE(d.enabled(ui::id::ok));
    select_line(d, 2);
    d.click(ui::id::ok);
  });
  ASSERT_EQ(config(name, 3), 1);
  EXPECT_STREQ(name, "DualProvider.provider-name-long");

  // Nothing preselected, nothing to take or remove.
  script.on_dialog(kProviders, [](DialogDriver& d) {
    EXPECT_EQ(selection(d), -1);
    for (int id : {ui::id::ok, kRemove, kConfigure}) EXPECT_FALSE(d.enabled(id)) << id;
    d.click(ui::id::cancel);
  });
  std::strcpy(name, "Nobody");
  EXPECT_EQ(config(name, 3), 0);
  EXPECT_STREQ(name, "Nobody");
}

TEST_F(ProviderDialogs, SelectingWritesTheSettingsFileAndTheDefault) {
  const std::string settings = (test::test_dir() / "terminal.txt").string();
  char name[64] = "";
  struct Case {
    bool cipher;
    int32_t as_default;
    int line;
    const char* expected_name;
    const char* key;
    const char* default_key;
  };
  const Case cases[] = {
      {true, 1, 0, "NullCipher", "CipherCryptoProvider=Null", "DefaultCipherCryptoProvider=Null"},
      {false, 0, 0, "FakeSigner", "SignCryptoProvider=Signer", nullptr},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.key);
    script.on_dialog(kProviders, [&](DialogDriver& d) {
      select_line(d, k.line);
      // A double tap on the line takes it as "&Select" does.
      const RECT r = ui::get_client_rect(d.item(kList));
      ui::scripted::double_tap_at(d.item(kList), POINT{r.right / 2, 4});
    });
    const auto select = k.cipher ? HUB(hub, CPDAPI_SelectCipherCryptoProvider)
                                 : HUB(hub, CPDAPI_SelectSignCryptoProvider);
    ASSERT_EQ(select(0, settings.c_str(), name, sizeof name, k.as_default), 1);
    EXPECT_STREQ(name, k.expected_name);
    EXPECT_NE(test::read_file_bytes(settings).find(std::string(k.key) + "\r\n"), std::string::npos);
    if (k.default_key) {
      EXPECT_NE(test::read_file_bytes(own).find(std::string(k.default_key) + "\r\n"), std::string::npos);
    }
  }
  char remembered[64] = "";
  HUB(hub, CPDAPI_GetDefaultCipherCryptoProvider)(remembered, sizeof remembered);
  EXPECT_STREQ(remembered, "NullCipher");
  HUB(hub, CPDAPI_GetDefaultSignCryptoProvider)(remembered, sizeof remembered);
  EXPECT_STREQ(remembered, "") << "chosen without the default flag";

  // Cancelled: nothing written.
  const std::string before = test::read_file_bytes(settings);
  script.on_dialog(kProviders, [](DialogDriver& d) { d.click(ui::id::cancel); });
  EXPECT_EQ(HUB(hub, CPDAPI_SelectCipherCryptoProvider)(0, settings.c_str(), name, sizeof name, 1), 0);
  EXPECT_EQ(test::read_file_bytes(settings), before);

  // Chosen but not storable (the settings file's folder does not exist): a
  // failure, and the name buffer is left alone.
  const std::string unwritable = (test::test_dir() / "missing" / "terminal.txt").string();
  std::strcpy(name, "before");
  script.on_dialog(kProviders, [](DialogDriver& d) {
    select_line(d, 0);
    d.click(ui::id::ok);
  });
  EXPECT_EQ(HUB(hub, CPDAPI_SelectCipherCryptoProvider)(0, unwritable.c_str(), name, sizeof name, 0), 0);
  EXPECT_STREQ(name, "before");
  EXPECT_EQ(HUB(hub, CPDAPI_SetCryptoProviderName)(unwritable.c_str(), "Null", 1, 0), 0);
}

TEST_F(ProviderDialogs, ConfigureRunsTheProvidersOwnDialogWithItsSettingsFile) {
  uintptr_t dialog = 0;
  script.on_dialog(kProviders, [&](DialogDriver& d) {
    dialog = d.dialog().value();
    select_line(d, 1);
    d.click(kConfigure);
    d.click(ui::id::cancel);
  });
  config(nullptr, 3);
  const TestPluginCall& call = Hub::last_call("FakeSigner");
  EXPECT_STREQ(call.entry, "CPAPI_ConfigCryptoProvider");
  EXPECT_EQ(call.args[0], dialog);
  EXPECT_STREQ(call.text, "signer.ini");
}

TEST_F(ProviderDialogs, RemovingAProviderTakesItsSettingsAlong) {
  script.answer_message_box(ui::id::no);
  script.answer_message_box(ui::id::yes, u"Are you really want to delete crypto provider  \"FakeSigner\"?");
  script.on_dialog(kProviders, [](DialogDriver& d) {
    select_line(d, 1);
    d.click(kRemove);  // answered No
    EXPECT_EQ(lines(d).size(), 3u);
    d.click(kRemove);  // answered Yes
    EXPECT_EQ(lines(d), (std::vector<std::u16string>{u"Null [NullCipher]",
                                                     u"Dual [DualProvider.provider-name-long]"}));
    EXPECT_EQ(selection(d), 1) << "the line at the same position";
    d.click(ui::id::cancel);
  });
  config(nullptr, 3);
  const auto boxes = script.asked(Kind::message_box);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].caption, u"Attention");
  EXPECT_EQ(boxes[0].type & ui::mb::type_mask, ui::mb::yes_no);
  EXPECT_TRUE(script.problems().empty());

  const std::string file = test::read_file_bytes(own);
  EXPECT_EQ(file.find("Signer"), std::string::npos) << file;
  EXPECT_NE(file.find("[Null]\r\nModule=NullCipher.DLL"), std::string::npos) << file;

  // Started again from the file, the dispatcher no longer loads it.
  restart();
  int32_t initialized = 0;
  EXPECT_EQ(HUB(hub, CPDAPI_IsCryptoProviderSupported)("FakeSigner", &initialized), 0);
  EXPECT_EQ(HUB(hub, CPDAPI_IsCryptoProviderSupported)("NullCipher", &initialized), 1);
}

TEST_F(ProviderDialogs, SettingsThatCannotBeWrittenAreReported) {
  const std::string module = (test::test_dir() / "FakeSekura.so").string();
  const std::u16string own16(own.begin(), own.end());
  script.answer_file_dialog(std::u16string(module.begin(), module.end()));
  script.answer_message_box(ui::id::ok);   // added, not saved
  script.answer_message_box(ui::id::yes);  // remove FakeSigner?
  script.answer_message_box(ui::id::ok);   // removed, its settings not
  script.on_dialog(kProviders, [](DialogDriver& d) {
    d.click(kAddNew);
    ASSERT_EQ(lines(d).size(), 4u) << "added for this session";
    select_line(d, 1);
    {
      FileSizeLimit full_disk;
      d.click(kRemove);
    }
    EXPECT_EQ(lines(d).size(), 3u) << "removed for this session";
    d.click(ui::id::cancel);
  });
  script.on_dialog(kAdd, [](DialogDriver& d) {
    d.click(kBrowseModule);
    FileSizeLimit full_disk;
    d.click(ui::id::ok);
  });
  config(nullptr, 3);
  const auto boxes = script.asked(Kind::message_box);
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].text, u"Crypto provider \"Sekura32\" is added, but can't be saved in the settings file \"" +
                               own16 + u"\"");
  EXPECT_EQ(boxes[0].caption, u"Add new crypto-provider");
  EXPECT_EQ(boxes[2].text, u"Crypto provider \"FakeSigner\" is removed, but its settings can't be removed "
                           u"from the file \"" + own16 + u"\"");
  EXPECT_EQ(boxes[2].caption, u"Attention");
  EXPECT_TRUE(script.problems().empty());
  const std::string file = test::read_file_bytes(own);
  EXPECT_EQ(file.find("Sekura"), std::string::npos) << file;
  EXPECT_NE(file.find("Signer=1"), std::string::npos) << file;
}

TEST_F(ProviderDialogs, AProviderInUseIsNotRemoved) {
  char error[256] = "";
  ASSERT_NE(HUB(hub, CPDAPI_InitCryptoProviderByName)("NullCipher", 9, 1, 1, 0, 2, 0, 0, nullptr, 0,
                                                      0, 0, 0, error, sizeof error),
            nullptr)
      << error;
  script.answer_message_box(ui::id::yes);
  script.answer_message_box(ui::id::ok, u"Crypto provider \"NullCipher\" is in use and can not be removed");
  script.on_dialog(kProviders, [](DialogDriver& d) {
    select_line(d, 0);
    d.click(kRemove);
    EXPECT_EQ(lines(d).size(), 3u);
    d.click(ui::id::cancel);
  });
  config(nullptr, 3);
  EXPECT_TRUE(script.problems().empty());
  EXPECT_NE(test::read_file_bytes(own).find("Null=1"), std::string::npos);
}

TEST_F(ProviderDialogs, AddingBindsTheChosenModuleAndStoresIt) {
  const std::string module = (test::test_dir() / "FakeSekura.so").string();
  const std::u16string module16(module.begin(), module.end());
  const std::string ini = (test::test_dir() / "sekura.ini").string();
  script.answer_file_dialog(module16);
  script.answer_file_dialog(std::u16string(ini.begin(), ini.end()));
  script.on_dialog(kProviders, [&](DialogDriver& providers) {
    select_line(providers, 0);
    providers.click(kAddNew);
    // The new provider is listed and selected.
    EXPECT_EQ(lines(providers).back(), u"Sekura32 [Sekura32] -Sekura32");
    EXPECT_EQ(selection(providers), 3);
    providers.click(ui::id::ok);
  });
  script.on_dialog(kAdd, [&](DialogDriver& d) {
    EXPECT_EQ(ui::get_window_text(d.dialog()), u"Add new crypto provider");
    EXPECT_FALSE(d.enabled(ui::id::ok));
    d.click(kBrowseModule);
    EXPECT_EQ(d.text(kModule), module16);
    EXPECT_EQ(d.text(kDescription), u"Sekura32");
    EXPECT_EQ(d.text(kSection), u"Sekura32");
    EXPECT_EQ(ui::send_message(d.item(kSection), ui::em::get_sel), ui::make_lparam(0, 8));
    EXPECT_TRUE(d.enabled(ui::id::ok));
    d.click(kBrowseIni);
    d.click(ui::id::ok);
  });
  char name[64] = "";
  ASSERT_EQ(config(name, 3), 1);
  EXPECT_STREQ(name, "Sekura32");
  const auto files = script.asked(Kind::file_dialog);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].text, u"Select DLL module for crypto provider ");
  EXPECT_EQ(files[1].text, u"Select settings file name for crypto-provider");

  const std::string file = test::read_file_bytes(own);
  EXPECT_NE(file.find("Sekura32=1\r\n"), std::string::npos) << file;
  EXPECT_NE(file.find("[Sekura32]\r\nIniFile=" + ini + "\r\nModule=" + module + "\r\n"),
            std::string::npos)
      << file;
  restart();
  char error[256] = "";
  char ini_back[512] = "";
  char module_back[512] = "";
  int32_t initialized = 0, configurable = 0;
  ASSERT_EQ(HUB(hub, CPDAPI_GetCryptoProviderInfo)("Sekura32", ini_back, sizeof ini_back, module_back,
                                                     sizeof module_back, &initialized, &configurable, 0,
                                                     0, 0, 0, error, sizeof error),
            1)
      << error;
  EXPECT_EQ(std::string(ini_back), ini);
}

TEST_F(ProviderDialogs, AddingRefusesWhatCannotBeAProvider) {
  write_lines(test::test_dir() / "not-a-module.so", {"text"});
  const std::string dir = test::test_dir().string();
  const auto path16 = [&](const char* file) {
    const std::string p = dir + "/" + file;
    return std::u16string(p.begin(), p.end());
  };
  script.answer_file_dialog(path16("not-a-module.so"));
  script.answer_file_dialog(path16("BadVersion.so"));
  script.answer_file_dialog(path16("NullCipher.so"));
  script.on_dialog(kProviders, [](DialogDriver& providers) {
    providers.click(kAddNew);
    EXPECT_EQ(lines(providers).size(), 3u);
    providers.click(ui::id::cancel);
  });
  script.on_dialog(kAdd, [&](DialogDriver& d) {
    for (int i = 0; i < 2; ++i) {  // a file that is no module, a module of a wrong version
      d.click(kBrowseModule);
      EXPECT_EQ(d.text(kModule), u"");
    }
    d.click(kBrowseModule);  // a provider that is registered already
    d.click(ui::id::ok);
    EXPECT_TRUE(d.open());
    // A new module under a section another provider has, or another part of
    // the settings file has, or a name the settings file cannot keep.
    d.set_text(kModule, path16("FakeSekura.so"));
    for (const char16_t* section : {u"signer", u"connect", u"Sek=ura", u";Sekura", u"[Sekura", u"   "}) {
      d.set_text(kSection, section);
      d.click(ui::id::ok);
      EXPECT_TRUE(d.open());
    }
    EXPECT_FALSE(d.enabled(ui::id::ok)) << "a blank section name";
    d.click(ui::id::cancel);
  });
  EXPECT_EQ(config(nullptr, 3), 0);

  const auto boxes = script.asked(Kind::message_box);
  ASSERT_EQ(boxes.size(), 8u);
  for (int i : {0, 1}) {
    EXPECT_EQ(boxes[i].caption, u"Attention");
    EXPECT_TRUE(boxes[i].text.starts_with(u"Can't load crypto-provider module. Probably file \"" +
                                          std::u16string(dir.begin(), dir.end())));
  }
  EXPECT_EQ(boxes[2].text,
            u"Can't add crypto-provider, such provider already exist: name \"NullCipher\",\n "
            u"description [Null],\n use as cipher crypto provider");
  EXPECT_EQ(boxes[3].text,
            u"Can't add crypto-provider, such provider already exist: name \"FakeSigner\",\n "
            u"description [Signer],\n use as sign crypto provider");
  EXPECT_EQ(boxes[4].text, u"Can't add crypto-provider: section [connect] already exists in the settings file");
  for (int i : {5, 6, 7}) {
    const std::u16string section = i == 5 ? u"Sek=ura" : i == 6 ? u";Sekura" : u"[Sekura";
    EXPECT_EQ(boxes[i].text, u"Can't add crypto-provider: section name \"" + section +
                                 u"\" can not be kept in the settings file");
  }
  for (int i : {2, 3, 4, 5, 6, 7}) {
    EXPECT_EQ(boxes[i].caption, u"Add new crypto-provider");
    EXPECT_EQ(boxes[i].type & ui::mb::icon_mask, ui::mb::icon_error);
  }
  EXPECT_EQ(test::read_file_bytes(own).find("Sekura"), std::string::npos);
}

}  // namespace
}  // namespace kelda::cipherhub::testing
