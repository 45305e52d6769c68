#include "library.h"

#include <shared_mutex>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <condition_variable>

#include "platform/no_destroy.h"

namespace kelda::dtcp {

namespace {
std::atomic<uint32_t> g_second_ms{1000};

// The count of connection objects alive. A connection still held when the
// exit handler's wait ends dies later, on a thread of its own, while the
// process runs its static destructors: the count is never destroyed.
struct LiveConnections {
  std::mutex mutex;
  std::condition_variable gone;
  int count = 0;
};
LiveConnections& live() {
  static platform::NoDestroy<LiveConnections> state;
  return *state;
}
}  // namespace

void connection_born() {
  LiveConnections& l = live();
  std::lock_guard<std::mutex> lock(l.mutex);
  ++l.count;
}

void connection_died() {
  LiveConnections& l = live();
  {
    std::lock_guard<std::mutex> lock(l.mutex);
    --l.count;
  }
  l.gone.notify_all();
}

bool wait_connections_gone(uint32_t timeout_ms) {
  LiveConnections& l = live();
  std::unique_lock<std::mutex> lock(l.mutex);
  return l.gone.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&l] { return l.count == 0; });
}

Library& library() {
  static Library* lib = new Library;  // outlives every thread at process exit
  return *lib;
}

std::shared_ptr<Connection> find_connection(const zn_tcp_connection* handle, std::string& error) {
  Library& lib = library();
  std::shared_lock<std::shared_mutex> lock(lib.mutex);
  if (handle == nullptr) {
    error = "Wrong tcp connection handle info was set, connections list is empty.";
    return nullptr;
  }
  auto it = lib.connections.find(handle);
  if (it == lib.connections.end()) {
    error = "Wrong tcp connection handle info was set.";
    return nullptr;
  }
  return it->second;
}

void link_connection(const std::shared_ptr<Connection>& c) {
  Library& lib = library();
  std::lock_guard<std::shared_mutex> lock(lib.mutex);
  lib.connections[c.get()] = c;
}

void unlink_connection(const Connection* c) {
  std::shared_ptr<Connection> keep;  // released after the mutex
  Library& lib = library();
  std::lock_guard<std::shared_mutex> lock(lib.mutex);
  auto it = lib.connections.find(c);
  if (it != lib.connections.end()) {
    keep = std::move(it->second);
    lib.connections.erase(it);
  }
}

void retire_threads(std::vector<std::unique_ptr<platform::Thread>> threads) {
  std::vector<std::unique_ptr<platform::Thread>> done;  // destroyed after the mutex
  Library& lib = library();
  std::lock_guard<std::shared_mutex> lock(lib.mutex);
  for (auto& t : lib.retired) {
    if (t->finished()) done.push_back(std::move(t));
  }
  std::erase(lib.retired, nullptr);
  for (auto& t : threads) {
    if (t) lib.retired.push_back(std::move(t));
  }
}

void join_retired_threads() {
  std::vector<std::unique_ptr<platform::Thread>> all;
  Library& lib = library();
  {
    std::lock_guard<std::shared_mutex> lock(lib.mutex);
    all.swap(lib.retired);
  }
  std::vector<std::unique_ptr<platform::Thread>> own;
  for (auto& t : all) {
    if (t->id() == platform::current_thread_id()) {
      own.push_back(std::move(t));  // cannot wait for itself
    } else {
      t->join(platform::kInfinite);
    }
  }
  all.clear();
  if (!own.empty()) retire_threads(std::move(own));
}

void stop_all_connections() {
  std::map<const void*, std::shared_ptr<Connection>> all;
  Library& lib = library();
  {
    std::lock_guard<std::shared_mutex> lock(lib.mutex);
    all.swap(lib.connections);
  }
  for (auto& [handle, c] : all) c->stop_quietly();
  all.clear();
  // Calls still inside the library keep their connection until they return;
  // a connection still held after the wait is reported.
  if (!wait_connections_gone(5000)) {
    std::fprintf(stderr, "zn_dtcp: connections still in use at the library's end\n");
  }
  join_retired_threads();
}

void stop_connections_at_exit() {
  static std::once_flag once;
  std::call_once(once, [] {
    // Exit handlers run in the reverse order of registration: registered
    // now, this one runs before the destructors of every module loaded so far.
    std::atexit([] {
      try {
        stop_all_connections();
      } catch (...) {
      }
    });
  });
}

uint32_t second_ms() { return g_second_ms.load(); }
void set_second_ms(uint32_t ms) { g_second_ms.store(ms == 0 ? 1000 : ms); }

}  // namespace kelda::dtcp
