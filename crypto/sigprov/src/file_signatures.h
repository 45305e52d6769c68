// Checking the signatures of a signed file against a certificate file or
// the certificates of a directory.
#pragma once

#include <cstdint>
#include <string>

namespace kelda::sigprov {

// The whole file of a 1251 path, or false.
bool read_whole_file(const std::string& file, std::string& bytes);

// What the check found (1251 texts): the issuer and the serial number or
// subject (by the provider's setting) of the signature that verified, else
// of the certificate looked for; the diagnostics of the last signature of
// those certificates that was checked.
struct FileVerdict {
  std::string issuer;
  std::string identity;
  std::string diagnostics;
};

// 1 when a signature made with one of the certificates verifies; else 0
// with the text in the error buffer. verify_flags are the toolkit's
// verification flags for this check, -1 for the toolkit-wide ones.
int32_t verify_file_signature(const char* signed_file, const char* certificates, int verify_flags,
                              FileVerdict& verdict, char* error, uint32_t size);

}  // namespace kelda::sigprov
