// Splitting signed data and recognising PKCS#7 signed messages.
#include "signed_data.h"

#include <cstring>
#include <mutex>

namespace kelda::sigprov {

namespace tk = pkcs7tk;

SplitResult split_signed_data(const void* data, uint32_t length, const CpapiSignedData* d, SplitData& out) {
  out = SplitData{};
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (d == nullptr) {
    if (bytes == nullptr || length == 0) return SplitResult::not_signed;
    const void* end = std::memchr(bytes, '\0', length);
    if (end == nullptr) return SplitResult::not_signed;
    const std::size_t text = static_cast<std::size_t>(static_cast<const uint8_t*>(end) - bytes) + 1;
    if (text >= length) return SplitResult::not_signed;
    out = {bytes, text, bytes + text, length - text, false};
    return SplitResult::ok;
  }
  if (d->tag != CP_SIGNED_DATA_TAG) return SplitResult::bad_descriptor;
  const auto* content = static_cast<const uint8_t*>(d->content);
  const auto* signature = static_cast<const uint8_t*>(d->signature);
  switch (d->layout) {
    case 1: out = {content, d->content_length, bytes, length, false}; break;
    case 2: out = {bytes, length, signature, d->signature_length, false}; break;
    case 3:
      if (bytes != nullptr || length != 0) return SplitResult::not_signed;
      out = {content, d->content_length, signature, d->signature_length, false};
      break;
    case 4: out = {nullptr, 0, bytes, length, true}; break;
    default: return SplitResult::bad_descriptor;
  }
  if (out.signature == nullptr || out.signature_length == 0) return SplitResult::not_signed;
  if (!out.content_in_message && (out.content == nullptr || out.content_length == 0)) return SplitResult::not_signed;
  return SplitResult::ok;
}

tk::PKCS7CTX* recognise_signed_data(const SplitData& split) {
  // The input format is provider-wide: the swap below must not interleave.
  static std::mutex format_lock;
  std::lock_guard<std::mutex> lock(format_lock);
  const int configured = tk::GetInputFormat();
  const auto probe = [&](int format) -> tk::PKCS7CTX* {
    tk::SetInputFormat(format);
    int type = tk::PKCS7_TYPE_OTHER;
    tk::PKCS7CTX* message = nullptr;
    if (tk::GetPKCS7TypeBufferEx(split.signature, split.signature_length, &type, &message) != tk::tk_ok) return nullptr;
    if (type != tk::PKCS7_TYPE_SIGNED) {
      tk::FreePKCS7CTX(message);
      return nullptr;
    }
    return message;
  };
  tk::PKCS7CTX* message = probe(configured);
  if (message == nullptr) message = probe(configured == tk::FORMAT_PEM ? tk::FORMAT_ASN1 : tk::FORMAT_PEM);
  tk::SetInputFormat(configured);
  return message;
}

}  // namespace kelda::sigprov
