// Tags of the journal records of the session (fixed size, no length).
#pragma once

#include <cstdint>

namespace kelda::kelapi::journal_tag {

inline constexpr uint8_t kValueEnd = 2;       // two i32: the end of a value entry's updates
inline constexpr uint8_t kPermissions = 3;    // u32
inline constexpr uint8_t kTradingKey = 6;     // char[37]
inline constexpr uint8_t kSessionText = 7;    // char[65]
inline constexpr uint8_t kSessionId = 9;      // u32
inline constexpr uint8_t kTradeDate = 10;     // u32, read and dropped
inline constexpr uint8_t kCharacterMode = 25; // u32

}  // namespace kelda::kelapi::journal_tag
