// The PKCS#7 type probe of the signing provider on arbitrary bytes: in
// ASN.1 and in PEM, as the signature part of signed data split by the
// NUL-terminated text rule and by each descriptor layout.
#include <cstddef>
#include <cstdint>

#include "pkcs7tk/pkcs7tk.h"
#include "signed_data.h"

namespace tk = kelda::pkcs7tk;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (int format : {tk::FORMAT_ASN1, tk::FORMAT_PEM}) {
    tk::SetInputFormat(format);
    int type = 0;
    tk::PKCS7CTX* message = nullptr;
    tk::GetPKCS7TypeBufferEx(data, size, &type, &message);
    tk::FreePKCS7CTX(message);
  }
  tk::SetInputFormat(tk::FORMAT_ASN1);
  if (size > 0xFFFFFFFFu) return 0;
  const auto length = static_cast<uint32_t>(size);
  kelda::sigprov::SplitData split;
  if (kelda::sigprov::split_signed_data(data, length, nullptr, split) == kelda::sigprov::SplitResult::ok) {
    tk::FreePKCS7CTX(kelda::sigprov::recognise_signed_data(split));
  }
  const uint32_t half = length / 2;
  for (uint32_t layout = 0; layout <= 5; ++layout) {
    const CpapiSignedData d{CP_SIGNED_DATA_TAG, layout, data, half, data + half, length - half};
    if (kelda::sigprov::split_signed_data(layout == 3 ? nullptr : data, layout == 3 ? 0 : length, &d, split) ==
        kelda::sigprov::SplitResult::ok) {
      tk::FreePKCS7CTX(kelda::sigprov::recognise_signed_data(split));
    }
  }
  return 0;
}
