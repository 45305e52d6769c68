#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/locale.h"

using namespace kelda::platform;

TEST(Locale, SeparatorsComeFromTheSettingsUntilSetAndAfterReset) {
  setenv("LC_ALL", "C", 1);
  EXPECT_EQ(number_separators_from_settings(), (NumberSeparators{u".", u""}));
  reset_user_number_separators();
  NumberSeparators settings = user_number_separators();
  EXPECT_EQ(settings.decimal, u".");

  set_user_number_separators({u",", u"\u00A0"});
  EXPECT_EQ(user_number_separators(), (NumberSeparators{u",", u"\u00A0"}));
  // The separators are cut to four characters, as the platform's own are.
  set_user_number_separators({u"<dec>", u"12345"});
  EXPECT_EQ(user_number_separators(), (NumberSeparators{u"<dec", u"1234"}));
  reset_user_number_separators();
  EXPECT_EQ(user_number_separators(), settings);
}
