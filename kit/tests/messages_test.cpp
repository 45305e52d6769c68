#include "kit/messages.h"

#include <gtest/gtest.h>

#include <string>

#include "kit/kit_state.h"

namespace {

using kelda::kit::kLanguageEnglish;
using kelda::kit::kLanguageRussian;
constexpr uint16_t kSub = kelda::kit::kSubLanguageDefault;

class Messages : public ::testing::Test {
 protected:
  void SetUp() override {
    table_.add_message(100, kLanguageEnglish, kSub, u"Can't load module #%s#. Error %d\r\n");
    table_.add_message(100, kLanguageRussian, kSub, u"Не удалось загрузить модуль #%s#. Ошибка %d\r\n");
    table_.add_message(101, kLanguageEnglish, kSub, u"Only in English");
    table_.add_string(200, kLanguageEnglish, kSub, u"From the #string# table\n");
    kelda::kit::set_library_module(&table_);
  }
  void TearDown() override {
    kelda::kit::kit_uninit();
    kelda::kit::set_library_module(nullptr);
  }

  std::u16string load(uint32_t id, uint16_t language, int expected, std::size_t capacity = 128) {
    std::u16string out(capacity, u'#');
    EXPECT_EQ(kelda::kit::load_message_text(id, out.data(), capacity, language, kSub), expected) << id;
    return out.c_str();
  }

  kelda::kit::ResourceTable table_;
};

TEST_F(Messages, LoadsByLanguageWithFallbacks) {
  EXPECT_EQ(load(100, kLanguageRussian, 1), u"Не удалось загрузить модуль \"%s\". Ошибка %d");
  EXPECT_EQ(load(100, kLanguageEnglish, 1), u"Can't load module \"%s\". Error %d");
  EXPECT_EQ(load(101, kLanguageRussian, 1), u"Only in English");           // default language
  EXPECT_EQ(load(200, kLanguageRussian, 1), u"From the \"string\" table\n");  // string table
  EXPECT_EQ(load(300, kLanguageEnglish, 0), u"Unknown resource identifier 300");
  EXPECT_EQ(load(100, kLanguageEnglish, 1, 12), u"Can't load ");
  EXPECT_EQ(kelda::kit::load_message_text(100, nullptr, 10, kLanguageEnglish, kSub), 0);

  kelda::kit::set_resource_module(nullptr);  // no resources at all
  EXPECT_EQ(load(100, kLanguageEnglish, 0), u"Unknown resource identifier 100");
}

TEST_F(Messages, FormatsWithWideArguments) {
  char16_t out[64];
  EXPECT_EQ(kelda::kit::format_message_text(100, out, 64, kLanguageEnglish, kSub, u"x.so", 126), 1);
  EXPECT_EQ(std::u16string(out), u"Can't load module \"x.so\". Error 126");
  EXPECT_EQ(kelda::kit::format_message_text(100, out, 16, kLanguageEnglish, kSub, u"x.so", 126), 1);
  EXPECT_EQ(std::u16string(out), u"Can't load modu");
  EXPECT_EQ(kelda::kit::format_message_text(999, out, 64, kLanguageEnglish, kSub), 0);
  EXPECT_EQ(std::u16string(out), u"Unknown resource identifier 999");

  const char16_t* text = nullptr;
  EXPECT_EQ(kelda::kit::message_text(101, kLanguageEnglish, kSub, &text), 1);
  EXPECT_EQ(std::u16string(text), u"Only in English");
  EXPECT_EQ(kelda::kit::message_text(102, kLanguageEnglish, kSub), 0);
}

TEST_F(Messages, LanguageChosenDialogTemplates) {
  static const int en = 1, ru = 2, plain = 3, numbered = 4;
  table_.add_resource(kelda::kit::ResourceType::dialog, u"EN_ONLY_0X09_0X01", &en, sizeof en);
  table_.add_resource(kelda::kit::ResourceType::dialog, u"RU_ONLY_0X19_0X01", &ru, sizeof ru);
  table_.add_resource(kelda::kit::ResourceType::dialog, u"PLAIN", &plain, sizeof plain);
  table_.add_resource(kelda::kit::ResourceType::dialog, 1506u, &numbered, sizeof numbered);

  EXPECT_EQ(std::u16string(kelda::kit::localized_resource_name(u"CONFIG_DIALOG", kLanguageRussian, kSub)),
            u"CONFIG_DIALOG_0X19_0X01");
  EXPECT_EQ(kelda::kit::localized_resource_name(nullptr, kLanguageRussian, kSub), nullptr);

  struct Case { kelda::kit::ResourceName name; uint16_t language; const int* expected; };
  const Case cases[] = {
      {u"EN_ONLY", kLanguageRussian, &en}, {u"EN_ONLY", kLanguageEnglish, &en},
      {u"RU_ONLY", kLanguageRussian, &ru}, {u"RU_ONLY", kLanguageEnglish, nullptr},
      {u"PLAIN", kLanguageRussian, &plain}, {1506u, kLanguageEnglish, &numbered},
      {1507u, kLanguageEnglish, nullptr},  {u"NONE", kLanguageEnglish, nullptr},
  };
  for (const Case& c : cases) {
    const kelda::kit::Resource* r = kelda::kit::choose_dialog_template(c.name, c.language, kSub);
    EXPECT_EQ(r == nullptr ? nullptr : r->data, c.expected);
  }

  const char16_t* localized = nullptr;
  EXPECT_EQ(kelda::kit::find_localized_resource(kelda::kit::ResourceType::dialog, u"RU_ONLY", kLanguageRussian, kSub,
                                         &localized),
            1);
  EXPECT_EQ(std::u16string(localized), u"RU_ONLY_0X19_0X01");
  EXPECT_EQ(kelda::kit::find_localized_resource(kelda::kit::ResourceType::message_table, u"RU_ONLY", kLanguageRussian,
                                         kSub, nullptr),
            0);
  EXPECT_EQ(kelda::kit::load_resource(kelda::kit::ResourceType::dialog, u"PLAIN")->size, sizeof plain);
}

TEST_F(Messages, LocaleStaysEnglish) {
  kelda::kit::kit_init(kLanguageRussian, kSub, 1, 0x1234);
  kelda::kit::LocaleInfo info{};
  EXPECT_EQ(kelda::kit::get_locale_info(&info), 1);
  EXPECT_EQ(info.version, 1u);
  EXPECT_EQ(info.language, 0x09);
  EXPECT_EQ(info.sub_language, 0x01);
  EXPECT_EQ(info.dialect, 0x01);
  EXPECT_EQ(kelda::kit::get_locale_info(nullptr), 0);
  EXPECT_EQ(kelda::kit::kit_locale_override(kLanguageRussian, kSub, 1), 0);
  EXPECT_EQ(kelda::kit::kit_owner(), 0x1234u);
}

TEST_F(Messages, ResourceLanguageSearch) {
  struct Case { uint16_t language_id, wanted; int answer, found; };
  const Case cases[] = {
      {0x0409, 0x0409, 0, 1},  // English, wanted: stop
      {0x0419, 0x0409, 1, 0},  // Russian, not wanted: go on
      {0x0407, 0x0407, 1, 0},  // wanted but the system has no German texts
  };
  for (const Case& c : cases) {
    kelda::kit::ResourceLanguageSearch search{c.wanted, 0};
    EXPECT_EQ(kelda::kit::on_enum_resource_language(c.language_id, &search), c.answer);
    EXPECT_EQ(search.found, c.found);
  }
}

TEST_F(Messages, SystemAndModuleErrorTexts) {
  char16_t out[128];
  EXPECT_EQ(kelda::kit::system_error_text(2, out, 128), 1);  // the wording is the platform's
  const std::u16string known(out);
  EXPECT_FALSE(known.empty());
  EXPECT_NE(known.back(), u'\n');
  EXPECT_EQ(kelda::kit::system_error_text(7, out, 128), 0);
  EXPECT_EQ(std::u16string(out), u"System error 0x0007");
  EXPECT_EQ(kelda::kit::system_error_text(0xDEAD1234, out, 128), 0);
  EXPECT_EQ(std::u16string(out), u"System error 0xdead1234");
  EXPECT_EQ(kelda::kit::system_error_text(7, out, 8), 0);
  EXPECT_EQ(std::u16string(out), u"System ");

  // An id of the library's own table gives its text; others the system's.
  EXPECT_EQ(kelda::kit::error_text(101, out, 128), 1);
  EXPECT_EQ(std::u16string(out), u"Only in English");
  EXPECT_EQ(kelda::kit::error_text(2, out, 128), 1);
  EXPECT_EQ(std::u16string(out), known);
  EXPECT_EQ(kelda::kit::error_text(7, out, 128), 0);
  EXPECT_EQ(kelda::kit::error_text(7, nullptr, 128), 0);
}

}  // namespace
