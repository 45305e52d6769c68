// The look-ups of the ping dialog, each on a short-lived thread of its own so
// that the dialog never blocks on the name service or the interface list.
//
// resolve() looks a host up and posts msg_resolved to the window: wParam is a
// heap ResolvedHost (the receiver takes it, see take_resolved()), carrying the
// caller's tag so that the receiver can drop an answer that comes after a
// newer request. find_own_address() posts msg_own_address with a heap
// std::u16string (take_own_address()); while one is running a new one is not
// started. Payloads are freed when the window is gone.
//
// Threading: construct, call and destroy on the user-interface thread. The
// destructor waits for the look-ups still running (a name look-up ends by the
// name service's own time-out). The look-up functions are injectable for
// tests. No exceptions.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <thread>

#include "ui/types.h"
#include "ui/window.h"

namespace kelda::ping {

inline constexpr UINT msg_resolved = 1035;
inline constexpr UINT msg_own_address = 1038;

struct ResolvedHost {
  std::uint32_t tag = 0;
  std::uint32_t address = 0;  // network byte order, or no_address
};

using ResolveFunction = std::function<std::uint32_t(std::u16string_view)>;
using OwnAddressFunction = std::function<std::u16string()>;

class LookupThreads {
 public:
  LookupThreads();
  LookupThreads(ResolveFunction resolve, OwnAddressFunction own_address);
  ~LookupThreads();
  LookupThreads(const LookupThreads&) = delete;
  LookupThreads& operator=(const LookupThreads&) = delete;

  void resolve(ui::Hwnd reply_to, std::uint32_t tag, std::u16string host);
  void find_own_address(ui::Hwnd reply_to);

  static std::unique_ptr<ResolvedHost> take_resolved(WPARAM wparam);
  static std::unique_ptr<std::u16string> take_own_address(WPARAM wparam);

 private:
  struct Worker {
    std::thread thread;
    std::atomic<bool> done{false};
  };
  void start(std::function<void()> work);
  void join_finished();

  ResolveFunction resolve_;
  OwnAddressFunction own_address_;
  std::shared_ptr<std::atomic<bool>> own_address_busy_;
  std::list<Worker> workers_;
};

}  // namespace kelda::ping
