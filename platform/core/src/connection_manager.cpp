// The connection manager stand-in: links are tokens in a table; what a
// request gets is set by tests.
#include "platform/connection_manager.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>

#include "platform/last_error.h"
#include "platform/no_destroy.h"

namespace kelda::platform {
namespace {

using connection_manager_test::Outcome;

struct Pending {
  bool done = false;
  uint32_t status = conn_status::waiting_connection;
};

struct State {
  std::mutex mutex;
  std::condition_variable finished;
  std::map<ConnectionHandle, uint32_t> links;  // handle -> status
  ConnectionHandle next = 1;
  Outcome outcome = Outcome::connects;
  uint32_t failure_status = conn_status::connection_failed;
  std::vector<Pending*> pending;
  std::vector<connection_manager_test::Asked> asked;
};

State& state() {
  static NoDestroy<State> s;  // a link thread may still ask at process exit
  return s.get();
}

uint32_t fail(uint32_t result, uint32_t last_error) {
  set_last_error(last_error);
  return result;
}

// Waits (lock held by `lock`) until a test finishes the request or the
// time-out passes; answers the final status.
uint32_t wait_pending(State& s, std::unique_lock<std::mutex>& lock, uint32_t timeout_ms) {
  Pending p;
  s.pending.push_back(&p);
  s.finished.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return p.done; });
  std::erase(s.pending, &p);
  return p.done ? p.status : conn_status::waiting_connection;
}

}  // namespace

uint32_t establish_connection(const ConnectionRequest* request, ConnectionHandle* handle,
                              uint32_t timeout_ms, uint32_t* status) {
  if (request == nullptr || handle == nullptr || request->size != sizeof(ConnectionRequest))
    return fail(kConnInvalidArg, error::invalid_parameter);
  State& s = state();
  std::unique_lock lock(s.mutex);
  s.asked.push_back({*request, timeout_ms});
  *handle = 0;
  uint32_t result_status = conn_status::connected;
  if (s.outcome == Outcome::fails) result_status = s.failure_status;
  if (s.outcome == Outcome::pending) result_status = wait_pending(s, lock, timeout_ms);
  if (status != nullptr) *status = result_status;
  if (result_status == conn_status::waiting_connection) return fail(kConnTimedOut, error::timeout);
  if (result_status != conn_status::connected) return fail(kConnFailed, error::operation_aborted);
  *handle = s.next++;
  s.links[*handle] = conn_status::connected;
  return 0;
}

uint32_t connection_status(ConnectionHandle handle, uint32_t* status) {
  if (status == nullptr) return fail(kConnInvalidArg, error::invalid_parameter);
  State& s = state();
  std::lock_guard lock(s.mutex);
  auto it = s.links.find(handle);
  if (it == s.links.end()) return fail(kConnInvalidArg, error::invalid_handle);
  *status = it->second;
  return 0;
}

uint32_t release_connection(ConnectionHandle handle, bool /*cache*/) {
  State& s = state();
  std::lock_guard lock(s.mutex);
  if (s.links.erase(handle) == 0) return fail(kConnInvalidArg, error::invalid_handle);
  return 0;
}

namespace connection_manager_test {

void reset() {
  State& s = state();
  std::lock_guard lock(s.mutex);
  for (Pending* p : s.pending) p->done = true, p->status = conn_status::connection_canceled;
  s.finished.notify_all();
  s.links.clear();
  s.outcome = Outcome::connects;
  s.failure_status = conn_status::connection_failed;
  s.asked.clear();
}

void set_outcome(Outcome outcome, uint32_t status) {
  State& s = state();
  std::lock_guard lock(s.mutex);
  s.outcome = outcome;
  s.failure_status = status == conn_status::connected ? conn_status::connection_failed : status;
}

int finish_pending(uint32_t status) {
  State& s = state();
  std::lock_guard lock(s.mutex);
  int n = 0;
  for (Pending* p : s.pending)
    if (!p->done) p->done = true, p->status = status, ++n;
  s.finished.notify_all();
  return n;
}

bool set_link_status(ConnectionHandle handle, uint32_t status) {
  State& s = state();
  std::lock_guard lock(s.mutex);
  auto it = s.links.find(handle);
  if (it == s.links.end()) return false;
  it->second = status;
  return true;
}

std::vector<Asked> requests() {
  State& s = state();
  std::lock_guard lock(s.mutex);
  return s.asked;
}

int open_links() {
  State& s = state();
  std::lock_guard lock(s.mutex);
  return static_cast<int>(s.links.size());
}

int pending_requests() {
  State& s = state();
  std::lock_guard lock(s.mutex);
  int n = 0;
  for (Pending* p : s.pending) n += p->done ? 0 : 1;
  return n;
}

}  // namespace connection_manager_test
}  // namespace kelda::platform
