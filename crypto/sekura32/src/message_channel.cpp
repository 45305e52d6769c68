// Channel-mode framing inside the cipher: data bytes as they are with each
// escape byte doubled, and embedded packets (signatures) behind one escape
// byte each. The reading side keeps an escape sequence that a block cut in
// two as pending bytes of the channel for the next block.
#include "message.h"

namespace kelda::sekura32 {
namespace {

constexpr std::size_t kMaxPending = sizeof(ChannelCipherContext::pending);

// The length of the packet whose header starts at `at` when it is complete
// in [at, end): 0 when incomplete; 17 through *result for a bad header.
std::size_t complete_packet(const uint8_t* buffer, std::size_t at, std::size_t end, uint32_t* result) {
  uint8_t tag = buffer[at];
  uint32_t code = tag & 3u;
  if (tag < 0x80 || code == 3) {
    *result = SK_BAD_FORMAT;
    return 0;
  }
  std::size_t length_bytes = code == 2 ? 4 : code + 1;
  if (end - at < 1 + length_bytes) return 0;
  uint64_t body = 0;
  for (std::size_t k = 0; k < length_bytes; ++k) body = body << 8 | buffer[at + 1 + k];
  uint64_t total = 1 + length_bytes + body;
  return total <= end - at ? std::size_t(total) : 0;
}

}  // namespace

void escape_data(ChannelCipherContext& channel, const uint8_t* data, std::size_t length, Bytes& out) {
  md5_update(channel.digest, data, length);
  std::size_t run = 0;
  for (std::size_t k = 0; k < length; ++k) {
    if (data[k] != kEscape) continue;
    out.insert(out.end(), data + run, data + k + 1);
    out.push_back(kEscape);
    channel.count += uint32_t(k + 2 - run);
    run = k + 1;
  }
  out.insert(out.end(), data + run, data + length);
  channel.count += uint32_t(length - run);
}

uint32_t escape_packets(ChannelCipherContext& channel, const uint8_t* packets, std::size_t length, Bytes& out) {
  std::size_t at = 0;
  while (at < length) {
    uint32_t result = SK_OK;
    std::size_t size = complete_packet(packets, at, length, &result);
    if (size == 0) return result >= 16 ? result : SK_BAD_FORMAT;
    out.push_back(kEscape);
    out.insert(out.end(), packets + at, packets + at + size);
    channel.count += uint32_t(size + 1);
    at += size;
  }
  return SK_OK;
}

uint32_t unescape_data(ChannelCipherContext& channel, const uint8_t* data, std::size_t length, Bytes& out,
                       SkSession* named, SkSignatureCallback callback, SignatureOutcome& outcome) {
  Bytes buffer;
  buffer.reserve(channel.pending_length + length);
  buffer.insert(buffer.end(), channel.pending, channel.pending + channel.pending_length);
  buffer.insert(buffer.end(), data, data + length);
  const uint8_t* b = buffer.data();
  std::size_t n = buffer.size(), at = 0, run = 0;
  auto deliver = [&](std::size_t end) {
    md5_update(channel.digest, b + run, end - run);
    out.insert(out.end(), b + run, b + end);
    channel.count += uint32_t(end - run);
  };
  while (at < n) {
    if (b[at] != kEscape) {
      ++at;
      continue;
    }
    deliver(at);
    run = at;
    if (at + 1 == n) break;  // incomplete: pending
    if (b[at + 1] == kEscape) {
      md5_update(channel.digest, &kEscape, 1);
      out.push_back(kEscape);
      ++channel.count;
      at += 2;
      run = at;
      continue;
    }
    uint32_t result = SK_OK;
    std::size_t size = complete_packet(b, at + 1, n, &result);
    if (result >= 16) return result;
    if (size == 0) break;  // incomplete: pending
    check_signatures(b + at + 1, size, channel.digest, channel.count, named, callback, outcome);
    if (outcome.error >= 16) return outcome.error;
    at += 1 + size;
    run = at;
  }
  if (at >= n) {
    deliver(n);
    run = n;
  }
  std::size_t left = n - run;
  if (left > kMaxPending) return SK_BAD_FORMAT;
  if (left > 0) std::memcpy(channel.pending, b + run, left);
  channel.pending_length = uint32_t(left);
  return SK_OK;
}

}  // namespace kelda::sekura32
