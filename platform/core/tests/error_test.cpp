#include <gtest/gtest.h>

#include <cerrno>
#include <netdb.h>

#include "platform/error_text.h"
#include "platform/last_error.h"

using namespace kelda::platform;

TEST(ErrorText, KnownCodesHaveTextsUnknownOnesNone) {
  for (uint32_t code : {error::file_not_found, error::invalid_parameter, socket_error::connection_refused,
                        socket_error::host_not_found, socket_error::timed_out}) {
    auto text = system_error_text(code);
    ASSERT_TRUE(text.has_value()) << code;
    EXPECT_FALSE(text->empty());
    EXPECT_NE(text->back(), '\n');
  }
  EXPECT_FALSE(system_error_text(0xDEAD).has_value());
}

TEST(ErrorText, ErrnoMapsToTheSystemNumbering) {
  EXPECT_EQ(error_from_errno(ENOENT), error::file_not_found);
  EXPECT_EQ(error_from_errno(EACCES), error::access_denied);
  EXPECT_EQ(socket_error_from_errno(ECONNREFUSED), 10061u);
  EXPECT_EQ(socket_error_from_errno(ECONNRESET), 10054u);
  EXPECT_EQ(socket_error_from_gai(EAI_NONAME), 11001u);
}
