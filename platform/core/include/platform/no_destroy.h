// NoDestroy<T>: a value built in place on first use and never destroyed.
//
// The lifetime rule for library state: state that a library's exit handler,
// a module's unload hook, or a library thread still running at process exit
// can reach lives in a NoDestroy. Process exit then never runs its destructor
// while such code may still use it, and a late uninitialise call (a provider
// unloaded after the kit's statics would have gone, a detach guard running
// once more) finds the state whole and leaves it in its "not initialised"
// shape. The memory is returned by the operating system with the process.
//
// Threading: construction is as thread-safe as the static or member that
// holds the NoDestroy (a function-local static is built once, under the
// compiler's guard); access to T is T's own business.
// Ownership: the NoDestroy owns T for the process's life; it is neither
// copyable nor movable.
// Errors: whatever T's constructor throws.
#pragma once

#include <new>
#include <utility>

namespace kelda::platform {

template <class T>
class NoDestroy {
 public:
  template <class... Args>
  explicit NoDestroy(Args&&... args) {
    ::new (static_cast<void*>(storage_)) T(std::forward<Args>(args)...);
  }
  NoDestroy(const NoDestroy&) = delete;
  NoDestroy& operator=(const NoDestroy&) = delete;
  ~NoDestroy() = default;  // deliberately leaves T alive

  T& get() noexcept { return *std::launder(reinterpret_cast<T*>(storage_)); }
  T* operator->() noexcept { return &get(); }
  T& operator*() noexcept { return get(); }

 private:
  alignas(T) unsigned char storage_[sizeof(T)];
};

}  // namespace kelda::platform
