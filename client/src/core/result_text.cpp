#include "core/result_text.h"

#include <array>
#include <cstdio>

namespace kelda::kelapi {
namespace {

constexpr std::array<const char*, 20> kOwnTexts = {
    "KeldaApi library not initialized.",
    "KeldaApi library already initialized.",
    "KeldaApi not connected to server.",
    "KeldaApi already connected to server.",
    "Start event not fired.",
    "Connection attempt failed.",
    "Already booked.",
    "Can not work with futures limits.",
    "Transaction not available.",
    "Parameter has invalid length.",
    "Not booked.",
    "Not supported.",
    "Can not init environment.",
    "Parameter has invalid scale.",
    "Object is not exist.",
    "The size of structure is incorrect.",
    "Non optional transaction field not found.",
    "Invalid class identifier.",
    "Failed to make digital signatury for transaction.",
    "Value overflow.",
};
static_assert(KELAPI_E_NOT_INITIALIZED + kOwnTexts.size() - 1 == KELAPI_E_OVERFLOW);

}  // namespace

void write_result_text(KelapiResult code, char* buffer, std::size_t size) noexcept {
  if (buffer == nullptr || size == 0) return;
  const char* own = nullptr;
  if (code == KELAPI_OK) {
    own = "Ok.";
  } else if (code >= KELAPI_E_NOT_INITIALIZED && code <= KELAPI_E_OVERFLOW) {
    own = kOwnTexts[code - KELAPI_E_NOT_INITIALIZED];
  }
  if (own != nullptr) {
    std::snprintf(buffer, size, "%s", own);
  } else {
    std::snprintf(buffer, size, "Error with code %d.", static_cast<int32_t>(code));
  }
}

std::string result_text(KelapiResult code) {
  char text[64];
  write_result_text(code, text, sizeof text);
  return text;
}

}  // namespace kelda::kelapi
