// Signing (data followed by its detached signature), recognising signed
// data, checking a sender's signatures, and enveloping.
#include "operations.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include "context.h"
#include "provider.h"
#include "signed_data.h"
#include "sigprov/sigprov.h"

namespace kelda::sigprov {

namespace {

namespace tk = pkcs7tk;

constexpr char kWrongContextUse[] = "Wrong input data - can not use context for digital signature generation";

struct ToolkitBuffer {
  uint8_t* data = nullptr;
  std::size_t length = 0;
  ~ToolkitBuffer() { tk::FreeBuffer(data); }
};

struct ToolkitText {
  char* text = nullptr;
  ~ToolkitText() { tk::FreeText(text); }
  std::string value() const { return text != nullptr ? from_utf8(text) : std::string(); }
};

struct MessageContext {
  tk::PKCS7CTX* message = nullptr;
  ~MessageContext() { tk::FreePKCS7CTX(message); }
};

struct FreshSignContext {
  tk::SignCTX* context = nullptr;
  bool owned = false;
  ~FreshSignContext() {
    if (owned) tk::FreeSignCTX(context);
  }
};

// Puts bytes into the caller's provider buffer, growing it when its
// capacity is short.
bool deliver(void** buffer, uint32_t* capacity, const uint8_t* first, std::size_t first_length, const uint8_t* second,
             std::size_t second_length) {
  const std::size_t total = first_length + second_length;
  if (total > std::numeric_limits<uint32_t>::max()) return false;
  if (*buffer == nullptr || *capacity < total) {
    void* grown = std::realloc(*buffer, total == 0 ? 1 : total);
    if (grown == nullptr) return false;
    *buffer = grown;
  }
  if (first_length > 0) std::memcpy(*buffer, first, first_length);
  if (second_length > 0) std::memcpy(static_cast<uint8_t*>(*buffer) + first_length, second, second_length);
  *capacity = static_cast<uint32_t>(total);
  return true;
}

std::string field(const char (&text)[1024]) { return std::string(text, strnlen(text, sizeof text)); }

void put_field(char (&target)[1024], const std::string& value) {
  const std::size_t n = std::min(value.size(), sizeof target - 1);
  std::memcpy(target, value.data(), n);
  target[n] = '\0';
}

struct Signature {
  std::string issuer, serial, subject, diagnostics;
  int status = 1;
};

Signature signature_at(tk::PKCS7CTX* message, int index) {
  Signature s;
  ToolkitText issuer, serial, subject, diagnostics;
  tk::GetSignatureIssuer(message, index, &issuer.text);
  tk::GetPKCS7SignatureSerial(message, index, &serial.text);
  tk::GetSignatureSubject(message, index, &subject.text);
  tk::GetSignatureStatus(message, index, &s.status, &diagnostics.text);
  s.issuer = issuer.value();
  s.serial = serial.value();
  s.subject = subject.value();
  s.diagnostics = diagnostics.value();
  return s;
}

}  // namespace

int32_t sign_data(CpapiContext* handle, const void* data, uint32_t length, void** buffer, uint32_t* capacity,
                  char* error, uint32_t size) {
  Context* context = context_of(handle);
  if (context == nullptr) {
    write_text(error, size, kWrongContext);
    return 0;
  }
  if (context->type != SIGPROV_CONTEXT_SIGN || context->sign == nullptr || buffer == nullptr || capacity == nullptr ||
      (data == nullptr && length > 0)) {
    write_text(error, size, kWrongContextUse);
    return 0;
  }
  {
    std::lock_guard<std::mutex> lock(provider().lock);
    if (provider().common.output_format == 0) {
      write_text(error, size, "Not set output data format");
      return 0;
    }
  }
  ToolkitBuffer signature;
  if (tk::SignBufferEx(context->sign, data, length, &signature.data, &signature.length, 1) != tk::tk_ok) {
    write_text(error, size, from_utf8(tk::GetErrorText()));
    return 0;
  }
  if (!deliver(buffer, capacity, static_cast<const uint8_t*>(data), length, signature.data, signature.length)) {
    write_text(error, size, kNoMemory);
    return 0;
  }
  return 1;
}

int32_t is_data_signed(CpapiContext* handle, const void* data, uint32_t length, const CpapiSignedData* descriptor,
                       char* error, uint32_t size) {
  if (context_of(handle) == nullptr) {
    write_text(error, size, kWrongContext);
    return 0;
  }
  SplitData split;
  switch (split_signed_data(data, length, descriptor, split)) {
    case SplitResult::bad_descriptor: write_text(error, size, "Wrong format for input data"); return 0;
    case SplitResult::not_signed: return 0;
    case SplitResult::ok: break;
  }
  MessageContext message{recognise_signed_data(split)};
  return message.message != nullptr ? 1 : 0;
}

int32_t check_data(CpapiContext* handle, const void* data, uint32_t length, void** content, uint32_t* capacity,
                   CpapiSenderInfo* sender, char* error, uint32_t size) {
  Context* context = context_of(handle);
  if (context == nullptr) {
    write_text(error, size, kWrongContext);
    return 0;
  }
  FreshSignContext verifier{context->sign};
  if (verifier.context == nullptr) {
    verifier.context = tk::GetSignCTX();
    verifier.owned = true;
  }
  if (verifier.context == nullptr) {
    write_text(error, size, "Can not create context for signature verification");
    return 0;
  }
  if (sender == nullptr || content == nullptr || capacity == nullptr) {
    write_text(error, size, "Wrong sender information was set");
    return 0;
  }
  const CpapiSignedData* descriptor =
      sender->tag == CP_SENDER_INFO_EX_TAG ? reinterpret_cast<CpapiSenderInfoEx*>(sender)->signed_data : nullptr;
  SplitData split;
  if (split_signed_data(data, length, descriptor, split) != SplitResult::ok) {
    write_text(error, size, "Wrong format for input data");
    return 0;
  }
  MessageContext message{recognise_signed_data(split)};
  if (message.message == nullptr) {
    write_text(error, size, "Can not get signed messge context");
    return 0;
  }
  ToolkitBuffer carried;
  const int flag = split.content_in_message ? 1 : 0;
  const int status = tk::CheckBufferSignEx(verifier.context, message.message, split.content, split.content_length,
                                           &carried.data, &carried.length, flag);
  int count = 0;
  tk::GetSignatureCount(message.message, &count);
  if (status != tk::tk_ok || count == 0) {
    const std::string text = from_utf8(tk::GetErrorText());
    write_text(error, size, text.empty() ? "Input data not contain digital_signature" : text);
    return 0;
  }
  bool use_serial;
  {
    std::lock_guard<std::mutex> lock(provider().lock);
    use_serial = provider().common.use_serial_number == 1;
  }
  const std::string want_issuer = field(sender->issuer), want_subject = field(sender->subject),
                    want_serial = field(sender->serial_number);
  const bool any_sender = want_issuer.empty() && want_subject.empty() && want_serial.empty();
  long failed = 0;
  std::string last_diagnostics;
  for (int i = 0; i < count; ++i) {
    const Signature s = signature_at(message.message, i);
    const bool senders = any_sender || (s.issuer == want_issuer && (use_serial ? s.serial == want_serial
                                                                                : s.subject == want_subject));
    if (!senders) continue;
    if (any_sender) {
      put_field(sender->issuer, s.issuer);
      put_field(sender->subject, s.subject);
      put_field(sender->serial_number, s.serial);
    }
    if (s.status == 0) {
      const uint8_t* bytes = flag == 1 ? carried.data : split.content;
      const std::size_t n = flag == 1 ? carried.length : split.content_length;
      if (!deliver(content, capacity, bytes, n, nullptr, 0)) {
        write_text(error, size, kNoMemory);
        return 0;
      }
      return 1;
    }
    ++failed;
    last_diagnostics = s.diagnostics;
  }
  if (failed == 1) {
    write_error(error, size, "Digital signature verification error: \"%s\"", last_diagnostics.c_str());
  } else if (failed > 1) {
    write_error(error, size,
                "Was found %ld digital signatures. All of them not verified. Error message for last verification "
                "was: \"%s\"",
                failed, last_diagnostics.c_str());
  } else {
    write_text(error, size, "Digital signature for the user certificate not found");
  }
  return 0;
}

int32_t crypt_data(bool encrypt, CpapiContext* handle, const void* input, uint32_t length, void** out,
                   uint32_t* out_length, char* error, uint32_t size) {
  Context* context = context_of(handle);
  if (context == nullptr) {
    write_text(error, size, kWrongContext);
    return CP_CRYPT_ERROR;
  }
  const int32_t wanted = encrypt ? SIGPROV_CONTEXT_ENCRYPT : SIGPROV_CONTEXT_DECRYPT;
  if (context->type != wanted || context->cipher == nullptr || out == nullptr || out_length == nullptr ||
      (input == nullptr && length > 0)) {
    write_text(error, size, kWrongContextUse);
    return CP_CRYPT_ERROR;
  }
  ToolkitBuffer result;
  const int status = encrypt ? tk::EncryptBuffer(context->cipher, input, length, &result.data, &result.length)
                             : tk::DecryptBuffer(input, length, &result.data, &result.length);
  if (status != tk::tk_ok) {
    write_text(error, size, from_utf8(tk::GetErrorText()));
    return CP_CRYPT_ERROR;
  }
  uint32_t capacity = *out == nullptr ? 0 : *out_length;
  if (!deliver(out, &capacity, result.data, result.length, nullptr, 0)) {
    write_text(error, size, encrypt ? "CPAPI_EnCryptData call: Memory allocation error"
                                    : "CPAPI_DeCryptData call: Memory allocation error");
    return CP_CRYPT_ERROR;
  }
  *out_length = capacity;
  return CP_CRYPT_DONE;
}

}  // namespace kelda::sigprov
