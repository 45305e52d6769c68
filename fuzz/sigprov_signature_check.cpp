// The signature check of the signing provider on arbitrary bytes: the first
// byte chooses the format and where the content lies, the rest is split into
// detached content and a message that is checked signature by signature.
#include <cstddef>
#include <cstdint>

#include "pkcs7tk/pkcs7tk.h"

namespace tk = kelda::pkcs7tk;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t mode = data[0];
  ++data;
  --size;
  const std::size_t cut = (mode & 0x80) != 0 ? (size * (mode & 0x3F)) / 64 : 0;
  tk::SetInputFormat((mode & 1) != 0 ? tk::FORMAT_PEM : tk::FORMAT_ASN1);
  tk::SetVerifyFlags((mode & 2) != 0 ? tk::VERIFY_ALL : 0);
  int type = 0;
  tk::PKCS7CTX* message = nullptr;
  if (tk::GetPKCS7TypeBufferEx(data + cut, size - cut, &type, &message) == tk::tk_ok && message != nullptr) {
    tk::SignCTX* context = tk::GetSignCTX();
    uint8_t* content = nullptr;
    std::size_t content_length = 0;
    const int flag = cut == 0 ? 1 : 0;
    tk::CheckBufferSignEx(context, message, data, cut, &content, &content_length, flag);
    tk::FreeBuffer(content);
    int count = 0;
    tk::GetSignatureCount(message, &count);
    for (int i = 0; i < count; ++i) {
      char* text = nullptr;
      int status = 0;
      tk::GetSignatureIssuer(message, i, &text);
      tk::FreeText(text);
      tk::GetSignatureStatus(message, i, &status, &text);
      tk::FreeText(text);
    }
    tk::FreeSignCTX(context);
  }
  tk::FreePKCS7CTX(message);
  return 0;
}
