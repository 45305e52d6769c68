// Certificate requests of the signing provider's toolkit on arbitrary bytes:
// decoded (PEM or DER) into their subject fields and fingerprinted.
#include <cstddef>
#include <cstdint>

#include "pkcs7tk/pkcs7tk.h"

namespace tk = kelda::pkcs7tk;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tk::RequestInfo* info = nullptr;
  if (tk::GetRequestInfoBuffer(data, size, &info) == tk::tk_ok) tk::FreeRequestInfo(info);
  char* fingerprint = nullptr;
  if (tk::GetRequestFingerprintBuffer(data, size, &fingerprint) == tk::tk_ok) tk::FreeText(fingerprint);
  return 0;
}
