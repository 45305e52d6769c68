// Context creation: the user, password and target server by initialisation
// mode, the two sessions in the order the usage asks, and the registry.
#include "context.h"

#include <cstring>
#include <memory>
#include <vector>

#include "cipherhub/live_contexts.h"
#include "dialogs.h"
#include "kit/codepage.h"
#include "kit/ini.h"
#include "provider.h"

namespace kelda::sekura32_pr {

namespace {

using Registry = cpapi::LiveContexts<Context, SEKURA32_PR_CONTEXT_TAG>;
Registry& registry() {
  static auto* r = new Registry;
  return *r;
}

constexpr std::size_t kSettingChars = 1023;
constexpr std::size_t kDialogChars = 511;

struct Identity {
  std::string user, password, target;
};

std::u16string wide(const std::string& text) { return kit::decode(kit::CodePage::cp1251, text); }
std::string narrow(const std::u16string& text) { return kit::encode(kit::CodePage::cp1251, text); }

std::string ini_text(const std::u16string& path, const char16_t* key) {
  std::vector<char16_t> value(kSettingChars + 1, u'\0');
  const int n = kit::ini_read_string(u"connect", key, u"", value.data(), value.size(), path.c_str());
  return narrow(std::u16string(value.data(), static_cast<std::size_t>(n > 0 ? n : 0)));
}

bool read_params(const void* params, Identity& who) {
  if (params == nullptr) return false;
  const auto* p = static_cast<const Sekura32ConnectParams*>(params);
  if (p->version != SEKURA32_PR_CONNECT_PARAMS_V1) return false;
  who = {field_text(p->user_name), field_text(p->password), field_text(p->target_server)};
  return true;
}

// The user, password and target server by initialisation mode; false with
// the text written.
bool identity(const CreateRequest& r, Identity& who, char* error, uint32_t size) {
  switch (r.init_mode) {
    case 2: {
      const std::u16string path = wide(r.ini_path != nullptr ? r.ini_path : "");
      who = {ini_text(path, u"user-name"), ini_text(path, u"user-password"), ini_text(path, u"auth-name")};
      return true;
    }
    case 3: {
      std::u16string user, password, target;
      if (choose_user_dialog(r.owner, user, password, target, kDialogChars) != 1) {
        write_error(error, size, "Not defined user password");
        return false;
      }
      who = {narrow(user), narrow(password), narrow(target)};
      return true;
    }
    case 4:
      if (read_params(r.params, who)) return true;
      write_error(error, size, "Wrong initialization params for chiper crypto context was set");
      return false;
    case 5: {
      if (!is_code_address(reinterpret_cast<const void*>(r.callback))) {
        write_error(error, size, "Wrong callback function address was set");
        return false;
      }
      void* out = nullptr;
      uint32_t value = 0;
      if (r.callback(r.provider, r.callback_value, 0, 0, &out, &value, error, size) == 0) return false;
      if (read_params(out, who)) return true;
      write_error(error, size, "Wrong output params in callback function was set");
      return false;
    }
    default:
      write_error(error, size, "Crypto context initialization mode '%ld' not supported", static_cast<long>(r.init_mode));
      return false;
  }
}

// The key base keeps names and passwords in code page 866.
std::string cp866(const std::string& text) {
  std::string converted(text.size() + 1, '\0');
  kit::mbs_cp1251_to_cp866_z(text.c_str(), converted.data());
  converted.resize(text.size());
  return converted;
}

void close_sessions(SkSession*& own, SkSession*& partner) {
  LogOut(own);
  LogOut(partner);
  own = partner = nullptr;
}

// Opens the pair: with usage 4 the peer's session first (this side answers
// the exchange), with usage 3 the user's first (this side opens it).
bool open_sessions(int32_t usage, const Identity& who, SkSession*& own, SkSession*& partner, char* error,
                   uint32_t size) {
  const std::string user = cp866(who.user), password = cp866(who.password), target = cp866(who.target);
  uint32_t result;
  if (usage == 4) {
    result = LogMan(&partner, target.c_str(), nullptr, nullptr);
    if (result < 16) result = LogMan(&own, user.c_str(), partner, password.c_str());
  } else {
    result = LogMan(&own, user.c_str(), nullptr, password.c_str());
    if (result < 16) result = Login(&partner, own);
  }
  if (!library_failed(result, error, size)) return true;
  close_sessions(own, partner);
  return false;
}

}  // namespace

Context* context_of(CpapiContext* handle) { return registry().find(handle); }

CpapiContext* create_context(const CreateRequest& r, char* error, uint32_t size) {
  if (error != nullptr && size > 0) error[0] = '\0';
  if (r.usage != 3 && r.usage != 4) {
    write_error(error, size, "Crypto context usage mode '%ld' not supported", static_cast<long>(r.usage));
    return nullptr;
  }
  Identity who;
  if (!identity(r, who, error, size)) return nullptr;
  auto context = std::make_unique<Context>();
  if (!open_sessions(r.usage, who, context->own, context->partner, error, size)) return nullptr;
  context->usage = r.usage;
  context->provider_id = kProviderId;
  context->provider_name = kProviderName;
  context->locale = kit::current_locale();
  context->owner = r.owner;
  if (r.ini_path != nullptr) context->ini_path.assign(r.ini_path, strnlen(r.ini_path, 511));
  return registry().add(std::move(context));
}

int32_t free_context(CpapiContext* handle) {
  std::unique_ptr<Context> context = registry().take(handle);
  if (context == nullptr) return 0;
  context->tag = 0;
  close_sessions(context->own, context->partner);
  return 1;
}

}  // namespace kelda::sekura32_pr
