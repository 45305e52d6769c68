// The registry of a provider plug-in's live crypto contexts. The handle a
// caller holds is the context's address; every call looks it up here before
// it reads anything through it, so a stale or foreign handle is refused
// without being touched, and a context whose tag word no longer holds the
// provider's tag is not handed out.
//
// Ownership: the registry owns each context from add() until take() hands it
// back. Threading: any thread; the registry's lock guards its map, not the
// contexts (a caller serialises its use of one context). Errors: add() may
// throw std::bad_alloc (the context is then released); nothing else throws.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "cipherhub/cpapi.h"

namespace kelda::cpapi {

// `Context` has a 32-bit `tag` member, the context record's first word.
template <class Context, uint32_t Tag>
class LiveContexts {
 public:
  // Registers the context; its address becomes the caller's handle.
  CpapiContext* add(std::unique_ptr<Context> context) {
    auto* handle = reinterpret_cast<CpapiContext*>(context.get());
    std::lock_guard lock(lock_);
    live_.emplace(handle, std::move(context));
    return handle;
  }

  // The live context behind a handle that still carries the tag, or null.
  Context* find(const CpapiContext* handle) const {
    std::lock_guard lock(lock_);
    const auto found = live_.find(handle);
    return found != live_.end() && found->second->tag == Tag ? found->second.get() : nullptr;
  }

  // Unregisters the context behind a handle and hands it back; null when the
  // handle is not live.
  std::unique_ptr<Context> take(const CpapiContext* handle) {
    std::lock_guard lock(lock_);
    const auto found = live_.find(handle);
    if (found == live_.end()) return nullptr;
    std::unique_ptr<Context> context = std::move(found->second);
    live_.erase(found);
    return context;
  }

 private:
  mutable std::mutex lock_;
  std::map<const void*, std::unique_ptr<Context>> live_;
};

}  // namespace kelda::cpapi
