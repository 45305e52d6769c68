// The server's side of the key exchange and the link's cipher.
#include "server_double/sekura_channel.h"

#include <cstring>

#include "sekura32/sekura32.h"

namespace kelda::server_double {

namespace {

constexpr uint32_t kMessageFlags = 70;    // keyless digest, encipher, numbered
constexpr uint32_t kChannelFlags = 2052;  // channel mode, encipher

// A library output buffer, released with the library's allocator.
struct LibraryBuffer {
  uint8_t* data = nullptr;
  uint32_t capacity = 0;
  ~LibraryBuffer() { skFree(data); }
  Bytes bytes(uint32_t length) const {
    return data != nullptr ? Bytes(data, data + length) : Bytes();
  }
};

}  // namespace

void set_library_setting(int slot, const std::string& value) {
  auto* copy = static_cast<char*>(skCalloc(1, SK_MAX_PATH));
  if (copy == nullptr) return;
  std::memcpy(copy, value.c_str(), std::min<std::size_t>(value.size(), SK_MAX_PATH - 1));
  char* old = skSettings[slot];
  skSettings[slot] = copy;
  skFree(old);
}

void use_test_key_rings(const std::filesystem::path& data, const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  for (const char* ring : {"secring.txk", "pubring.txk"}) {
    fs::copy_file(data / ring, folder / ring, fs::copy_options::overwrite_existing);
  }
  set_library_setting(SK_SETTING_SECRET_RING, (folder / "secring.txk").string());
  set_library_setting(SK_SETTING_PUBLIC_RING, (folder / "pubring.txk").string());
}

std::unique_ptr<SekuraChannel> SekuraChannel::open(const std::string& user, const std::string& password,
                                                   uint32_t* result) {
  std::unique_ptr<SekuraChannel> channel(new SekuraChannel);
  SetRealloc(&skRealloc);  // the library grows the output buffers
  uint32_t r = LogMan(&channel->own_, user.c_str(), nullptr, password.c_str());
  if (r < 16) r = Login(&channel->peer_, channel->own_);
  if (result != nullptr) *result = r;
  return r < 16 ? std::move(channel) : nullptr;
}

SekuraChannel::~SekuraChannel() {
  LogOut(own_);
  LogOut(peer_);
}

int32_t SekuraChannel::peer_user_id() const {
  int32_t id = -1;
  skChanInfo(peer_, nullptr, nullptr, nullptr, nullptr, &id, nullptr, nullptr);
  return id;
}

bool SekuraChannel::send_exchange_message(Session& session, bool corrupt) {
  LibraryBuffer out;
  uint32_t length = 0;
  last_result_ = SystemMessage(own_, peer_, &out.data, &out.capacity, &length);
  if (last_result_ >= 16) return false;
  Bytes block = out.bytes(length);
  if (corrupt && !block.empty()) block[block.size() / 2] ^= 0x5A;
  session.send_block(block);
  return true;
}

bool SekuraChannel::exchange(Session& session, ExchangeFault fault) {
  last_result_ = 0;
  switch (fault) {
    case ExchangeFault::garbage_opening: {
      const Bytes garbage = {0x42, 0x00, 0x13, 0x37};
      session.send_block(garbage);
      break;
    }
    case ExchangeFault::error_frame: session.send_error_frame(3, "Key exchange refused"); return false;
    default:
      if (!send_exchange_message(session, fault == ExchangeFault::forged_opening)) return false;
      break;
  }
  if (fault == ExchangeFault::silent_after_opening) {
    session.drop();
    return false;
  }
  std::optional<Bytes> answer = session.read_data_block();
  if (!answer) return false;
  LibraryBuffer out;
  uint32_t flags = kMessageFlags, written = 0, time = 0;
  SkSession* sender = peer_;
  SkSession* recipient = own_;
  last_result_ = Unprotect(&sender, &recipient, &flags, answer->data(), static_cast<uint32_t>(answer->size()),
                           &out.data, &out.capacity, &written, &time, nullptr, 0, nullptr);
  if (last_result_ >= 16) return false;
  if (!send_exchange_message(session, fault == ExchangeFault::broken_closing)) return false;
  if (fault == ExchangeFault::broken_closing) return false;
  session.set_cipher([this](std::span<const uint8_t> data) { return encrypt(data); },
                     [this](std::span<const uint8_t> data) { return decrypt(data); });
  return true;
}

Bytes SekuraChannel::encrypt(std::span<const uint8_t> data) {
  LibraryBuffer out;
  uint32_t written = 0;
  SkSession* sender = own_;
  SkSession* recipient = peer_;
  const uint32_t r = Protect(&sender, 1, &recipient, 1, kChannelFlags, data.data(), static_cast<uint32_t>(data.size()),
                             &out.data, &out.capacity, &written);
  return r < 16 ? out.bytes(written) : Bytes();
}

Bytes SekuraChannel::decrypt(std::span<const uint8_t> data) {
  LibraryBuffer out;
  uint32_t flags = first_block_in_ ? kMessageFlags : kChannelFlags, written = 0, time = 0;
  first_block_in_ = false;
  SkSession* sender = peer_;
  SkSession* recipient = own_;
  const uint32_t r = Unprotect(&sender, &recipient, &flags, data.data(), static_cast<uint32_t>(data.size()),
                               &out.data, &out.capacity, &written, &time, nullptr, 0, nullptr);
  return r < 16 ? out.bytes(written) : Bytes();
}

}  // namespace kelda::server_double
