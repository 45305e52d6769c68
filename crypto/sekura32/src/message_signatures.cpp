// Signature and digest packets of messages: writing them, checking them, the
// search of a session for a key id, and the detached check (CheckSignStream).
//
// A session for a key id: the named session when its key carries that id
// (its secret part open when the secret key is needed); a named session
// without a user yet (made by Login) is given the user of that key id from
// the default key base, which is how the peer's session of a pair whose peer
// was not known beforehand becomes the peer's user; otherwise the channel
// finder opens a session for the key id, which the caller closes after use.
#include "armour.h"
#include "message.h"
#include "text_lines.h"

namespace kelda::sekura32 {
namespace {

bool has_user(const SkSession& s) { return s.user.n != nullptr; }

uint32_t check_one_signature(const SignaturePacket& packet, const SkMd5Context& running, SkSession* named,
                             SkSession** signer, SignatureOutcome& outcome) {
  SkSession* opened = nullptr;
  bool filled = false;
  uint32_t result = session_for_key_id(named, packet.key_id, false, signer, &opened, &filled);
  if (opened != nullptr) {
    try {
      outcome.opened.push_back(opened);
    } catch (...) {
      LogOut(opened);
      return SK_NO_MEMORY;
    }
  }
  if (filled) outcome.filled = named;
  if (result >= 16) return result;
  uint8_t digest[16];
  finish_digest(running, packet.signature_class, packet.time, digest);
  result = check_signature_block(rsa_key_of((*signer)->user), packet.block, packet.count, digest, packet.check);
  wipe(digest, sizeof digest);
  return result == SK_OK ? SK_OK : SK_BAD_SIGNATURE;
}

uint32_t stream_position(const SkStream* s) { return s->u.memory.position; }

// Hashes the data as text: its lines ended by CR LF, as the writer of a text
// message converted them.
uint32_t hash_text(SkStream* data, SkMd5Context& running) noexcept {
  auto hash = [&running](const uint8_t* bytes, std::size_t count) { md5_update(running, bytes, count); };
  TextLines lines;
  uint8_t piece[512];
  uint32_t result = SK_OK;
  for (;;) {
    uint32_t got = data->read(data, piece, sizeof piece);
    if (got == 0) {
      if (skIOerror != 0) result = SK_IO_ERROR;
      break;
    }
    if ((result = lines.feed(piece, got, hash)) >= 16) break;
  }
  if (result < 16) lines.finish(hash);
  wipe(piece, sizeof piece);
  return result;
}

}  // namespace

uint32_t session_for_key_id(SkSession* named, const uint8_t key_id[8], bool secret, SkSession** use,
                            SkSession** opened, bool* filled) noexcept {
  *use = nullptr;
  *opened = nullptr;
  *filled = false;
  if (named != nullptr) {
    if (live_session(named) == nullptr) return SK_BAD_HANDLE;
    if (!has_user(*named)) {
      if (secret) return SK_BAD_HANDLE;
      uint32_t result = skGetUser(nullptr, nullptr, 0, key_id, &named->user, 0, nullptr, 6);
      if (result >= 16) {
        skIniUser(&named->user);
        return result;
      }
      *filled = true;
      *use = named;
      return result;
    }
    if (std::memcmp(named->user.keyId, key_id, 8) == 0 && (!secret || named->user.d != nullptr)) {
      *use = named;
      return SK_OK;
    }
  }
  SkFindChanFunction finder = find_channel_function();
  if (finder == nullptr) return SK_NOT_FOUND;
  void* found = nullptr;
  uint32_t result = finder(&found, key_id, nullptr, secret ? skAskWhenNeed : nullptr);
  SkSession* session = live_session(found);
  *opened = session;
  if (result >= 16) return result;
  if (session == nullptr || session->user.n == nullptr || (secret && session->user.d == nullptr) ||
      std::memcmp(session->user.keyId, key_id, 8) != 0)
    return SK_BAD_ARGUMENT;
  *use = session;
  return result;
}

void finish_digest(const SkMd5Context& running, uint8_t signature_class, uint32_t time, uint8_t digest[16]) noexcept {
  SkMd5Context copy = running;
  uint8_t tail[5] = {signature_class, uint8_t(time >> 24), uint8_t(time >> 16), uint8_t(time >> 8), uint8_t(time)};
  md5_update(copy, tail, sizeof tail);
  md5_final(digest, copy);
  wipe(&copy, sizeof copy);
}

uint32_t write_signatures(SkStream* out, uint32_t flags, SkSession* sender, const SkMd5Context& running) noexcept {
  uint8_t digest[16];
  finish_digest(running, 0, time_now(), digest);
  uint32_t result = SK_OK;
  if ((flags & kSign) != 0) {
    if (sender == nullptr || sender->user.d == nullptr) {
      result = SK_NO_SECRET_PART;
    } else {
      SignaturePacket packet;
      packet.time = time_now();
      std::memcpy(packet.key_id, sender->user.keyId, 8);
      packet.check[0] = digest[0];
      packet.check[1] = digest[1];
      result = make_signature_block(rsa_key_of(sender->user), digest, packet.block, &packet.count);
      if (result < 16) result = write_signature_packet(out, packet);
      wipe(&packet, sizeof packet);
    }
  }
  if (result < 16 && (flags & kDigestPacket) != 0) {
    DigestPacket packet;
    packet.time = time_now();
    std::memcpy(packet.digest, digest, 16);
    result = write_digest_packet(out, packet);
  }
  wipe(digest, sizeof digest);
  return result;
}

SignatureOutcome::~SignatureOutcome() {
  for (SkSession* s : opened) LogOut(s);
}

uint32_t SignatureOutcome::result() const noexcept {
  if (error >= 16) return error;
  if (failed_signature) return SK_BAD_SIGNATURE;
  if (failed_digest) return kDigestMismatch;
  if (missing_key && !verified_any) return SK_NOT_FOUND;
  return SK_OK;
}

void check_signatures(const uint8_t* packets, std::size_t length, const SkMd5Context& running, uint32_t hashed,
                      SkSession* named, SkSignatureCallback callback, SignatureOutcome& outcome) noexcept {
  if (length == 0) return;
  StreamHandle in(view_stream(packets, uint32_t(length)));
  if (!in) {
    outcome.error = SK_NO_MEMORY;
    return;
  }
  for (;;) {
    uint32_t start = stream_position(in.get());
    uint32_t type = 0;
    int32_t size = 0;
    thread_status() = kNoMorePackets;
    uint32_t result = read_packet_header(in.get(), &type, &size, nullptr);
    thread_status() = SK_BAD_FORMAT;
    if (result == kNoMorePackets) return;
    if (result >= 16) {
      outcome.error = result;
      return;
    }
    SkSession* signer = nullptr;
    if (type == kPacketSignature) {
      SignaturePacket packet;
      result = read_signature_body(in.get(), size, &packet);
      if (result >= 16) {
        outcome.error = result;
        return;
      }
      result = check_one_signature(packet, running, named ? named : outcome.first_signer, &signer, outcome);
      wipe(&packet, sizeof packet);
      if (result != SK_OK && result != SK_BAD_SIGNATURE && result != SK_NOT_FOUND) {
        outcome.error = result;
        return;
      }
    } else if (type == kPacketDigest) {
      DigestPacket packet;
      result = read_digest_body(in.get(), size, &packet);
      if (result >= 16) {
        outcome.error = result;
        return;
      }
      uint8_t digest[16];
      finish_digest(running, packet.signature_class, packet.time, digest);
      result = std::memcmp(digest, packet.digest, 16) == 0 ? SK_OK : kDigestMismatch;
      wipe(digest, sizeof digest);
    } else {
      outcome.error = SK_BAD_FORMAT;
      return;
    }
    uint32_t answer = callback != nullptr ? callback(signer, result, hashed, start, stream_position(in.get())) : 1;
    if (type == kPacketDigest) {
      if (result == SK_OK) outcome.found |= kDigestPacket;
      else outcome.failed_digest = true;
      continue;
    }
    if (result == SK_NOT_FOUND) {
      outcome.missing_key = true;
    } else if (result != SK_OK) {
      outcome.failed_signature = true;
    } else {
      outcome.verified_any = true;
      if (named != nullptr ? signer == named : answer != 0) outcome.found |= kSign;
      if (named == nullptr && outcome.first_signer == nullptr) outcome.first_signer = signer;
    }
  }
}

}  // namespace kelda::sekura32

using namespace kelda::sekura32;

SK_API uint32_t CheckSignStream(SkSession** signers, uint32_t flags, SkStream* data, SkStream* signature,
                                SkSignatureCallback callback) {
  SkSession* signer = signers != nullptr ? signers[0] : nullptr;
  if (signer != nullptr && live_session(signer) == nullptr) return SK_BAD_HANDLE;
  if ((flags & (kEncipher | kFreshKey | 0x10u | kNumbered)) != 0) return kFlagsNotAllowed;
  if (data == nullptr || signature == nullptr) return SK_BAD_ARGUMENT;
  thread_status() = SK_BAD_FORMAT;
  SkMd5Context running;
  md5_init(running);
  StreamHandle collected(skTempMemStream());
  if (!collected) return SK_NO_MEMORY;
  char line[1024];
  uint32_t result = SK_OK;
  uint32_t found_armour = 0;
  if ((flags & kClearSigned) != 0) {
    result = armour_read(&found_armour, data, nullptr, nullptr, collected.get(), &running, line, sizeof line);
  } else if ((flags & kText) != 0) {
    result = hash_text(data, running);
  } else {
    result = skCopyStream(data, nullptr, -1, &running);
  }
  if (result < 16) {
    if ((flags & kArmouredSignature) != 0)
      result = armour_read(&found_armour, signature, nullptr, nullptr, collected.get(), nullptr, line, sizeof line);
    else
      result = skCopyStream(signature, collected.get(), -1, nullptr);
  }
  wipe(line, sizeof line);
  if (result >= 16) return result;
  uint8_t* packets = nullptr;
  uint32_t length = 0;
  skLookMemStream(collected.get(), &packets, nullptr, &length, nullptr);
  uint32_t hashed = running.count[0] / 8 + running.count[1] * (1u << 29);
  SignatureOutcome outcome;
  check_signatures(packets, length, running, hashed, signer, callback, outcome);
  wipe(&running, sizeof running);
  if (outcome.filled != nullptr && outcome.result() >= 16) {
    skBurnUser(&outcome.filled->user);
    skIniUser(&outcome.filled->user);
  }
  outcome.first_signer = nullptr;  // a detached check keeps no session it opened
  if (outcome.result() >= 16) return outcome.result();
  if ((flags & kSign) != 0 && (outcome.found & kSign) == 0) return kNoSignature;
  if ((flags & kDigestPacket) != 0 && (outcome.found & kDigestPacket) == 0) return kNoDigest;
  return SK_OK;
}
