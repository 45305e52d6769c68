// Armoured text: base64 (RFC 4648 alphabet, "=" padding) in lines of 64
// characters between "-----BEGIN SEKURA<label>" and "-----END SEKURA<label>"
// marker lines, with no checksum line; clear-signed text in plain lines
// followed by an armoured signature; and the line-by-line text conversion
// ("\r\n" after every line) that clear-signed text is digested in.
//
// Results: 0 success, 17 malformed body or clear text, 259 stream errors.
// Threading: no state beyond a constant decode table.
#pragma once

#include <cstdint>

#include "sekura32/sekura32.h"

namespace kelda::sekura32 {

inline constexpr const char* kArmourMessage = " MESSAGE-----";
inline constexpr const char* kArmourSignedMessage = " SIGNED MESSAGE-----";
inline constexpr const char* kArmourSignature = " SIGNATURE-----";

// Reader result flags.
inline constexpr uint32_t kFoundMessage = 32;
inline constexpr uint32_t kFoundClearSigned = 0x300;
inline constexpr uint32_t kFoundSignature = 128;

// Which markers a test or a reader stops at.
inline constexpr uint32_t kMarkerBegin = 1;
inline constexpr uint32_t kMarkerEnd = 2;

// Bit 1 for a begin line, bit 2 for an end line (of the kinds in `which`);
// with a suffix the line must also end with it. 0 when neither.
uint32_t marker_test(const char* line, uint32_t which, const char* suffix, std::size_t suffix_length) noexcept;

// Encodes *count bytes of the input (all it holds when count is null) with
// the label's marker lines (none for a null label). *written (when given)
// receives the characters written.
uint32_t armour_write(SkStream* input, SkStream* output, const uint32_t* count, uint32_t* written,
                      const char* label) noexcept;

// Decodes body lines up to a marker of the kinds in `which` (left in the line
// buffer) or the end of the input; a null output only skips them.
uint32_t armour_decode_body(SkStream* input, SkStream* output, uint32_t* count, uint32_t which, char* line,
                            uint32_t line_size) noexcept;

// Converts text lines to "line\r\n" into the output and the digest until a
// marker of the kinds in `which`, the end of the input, or the byte limit
// (*limit when given and not -1); *limit receives the converted length.
uint32_t read_clear_text(bool copy, SkStream* input, SkStream* output, uint32_t* limit, uint32_t which,
                         SkMd5Context* digest, char* line, uint32_t line_size) noexcept;

// Scans the input for armoured blocks: messages into message_out,
// clear-signed text into clear_out and the digest, signatures into
// signature_out; flags are ORed into *flags.
uint32_t armour_read(uint32_t* flags, SkStream* input, SkStream* message_out, SkStream* clear_out,
                     SkStream* signature_out, SkMd5Context* digest, char* line, uint32_t line_size) noexcept;

}  // namespace kelda::sekura32
