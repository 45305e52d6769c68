#include "ping/lookup_threads.h"

#include "ping/host_lookup.h"

namespace kelda::ping {
namespace {

void release_resolved(WPARAM wparam, LPARAM) {
  delete reinterpret_cast<ResolvedHost*>(wparam);  // NOLINT(cppcoreguidelines-owning-memory)
}

void release_own_address(WPARAM wparam, LPARAM) {
  delete reinterpret_cast<std::u16string*>(wparam);  // NOLINT(cppcoreguidelines-owning-memory)
}

}  // namespace

LookupThreads::LookupThreads() : LookupThreads(resolve_host, own_address_text) {}

LookupThreads::LookupThreads(ResolveFunction resolve, OwnAddressFunction own_address)
    : resolve_(std::move(resolve)),
      own_address_(std::move(own_address)),
      own_address_busy_(std::make_shared<std::atomic<bool>>(false)) {}

LookupThreads::~LookupThreads() {
  for (Worker& worker : workers_) worker.thread.join();
}

void LookupThreads::start(std::function<void()> work) {
  join_finished();
  Worker& worker = workers_.emplace_back();
  worker.thread = std::thread([&worker, work = std::move(work)] {
    work();
    worker.done.store(true, std::memory_order_release);
  });
}

void LookupThreads::join_finished() {
  for (auto it = workers_.begin(); it != workers_.end();) {
    if (it->done.load(std::memory_order_acquire)) {
      it->thread.join();
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

void LookupThreads::resolve(ui::Hwnd reply_to, std::uint32_t tag, std::u16string host) {
  start([reply_to, tag, host = std::move(host), resolve = resolve_] {
    auto answer = std::make_unique<ResolvedHost>(ResolvedHost{tag, resolve(host)});
    if (ui::post_message(reply_to, msg_resolved, reinterpret_cast<WPARAM>(answer.get()), 0,
                         release_resolved))
      answer.release();
  });
}

void LookupThreads::find_own_address(ui::Hwnd reply_to) {
  if (own_address_busy_->exchange(true)) return;
  start([reply_to, busy = own_address_busy_, own_address = own_address_] {
    auto text = std::make_unique<std::u16string>(own_address());
    busy->store(false);
    if (ui::post_message(reply_to, msg_own_address, reinterpret_cast<WPARAM>(text.get()), 0,
                         release_own_address))
      text.release();
  });
}

std::unique_ptr<ResolvedHost> LookupThreads::take_resolved(WPARAM wparam) {
  return std::unique_ptr<ResolvedHost>(reinterpret_cast<ResolvedHost*>(wparam));
}

std::unique_ptr<std::u16string> LookupThreads::take_own_address(WPARAM wparam) {
  return std::unique_ptr<std::u16string>(reinterpret_cast<std::u16string*>(wparam));
}

}  // namespace kelda::ping
