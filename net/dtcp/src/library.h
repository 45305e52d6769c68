// The transport library's process-wide state: settings from zn_tcp_init, the
// list of live connections and the connection counter, under one mutex that
// is never held while an event callback runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <vector>

#include "connection.h"

namespace kelda::dtcp {

struct Library {
  std::shared_mutex mutex;  // shared by handle lookups
  bool initialized = false;
  std::string ini_path;
  Locale locale;
  uintptr_t owner = 0;
  std::string further_text;
  std::map<const void*, std::shared_ptr<Connection>> connections;
  uint32_t counter = 0;
  // Threads of freed connections that may still be running out; joined at
  // the library's end so that none outlives it.
  std::vector<std::unique_ptr<platform::Thread>> retired;
};

Library& library();

inline zn_tcp_connection* handle_of(const Connection* c) {
  return reinterpret_cast<zn_tcp_connection*>(const_cast<Connection*>(c));
}

// The live connection of a handle (a reference the caller holds while it
// uses it), or null with the refusal text in `error`.
std::shared_ptr<Connection> find_connection(const zn_tcp_connection* handle, std::string& error);
void link_connection(const std::shared_ptr<Connection>& c);
void unlink_connection(const Connection* c);
// Counts connection objects alive; the library's end waits for the last.
void connection_born();
void connection_died();
// true when every connection object is gone within the time-out.
bool wait_connections_gone(uint32_t timeout_ms);
// Hands a freed connection's threads to the library (finished ones are let go).
void retire_threads(std::vector<std::unique_ptr<platform::Thread>> threads);
// Waits for every retired thread except the caller's own.
void join_retired_threads();
// Stops every live connection without events and waits for all their threads.
void stop_all_connections();
// Arranges, once, that the process's exit stops the connections still open and
// waits for their threads. Called when a connection is made, after the crypto
// providers are loaded, so that it runs before their modules are finalised.
void stop_connections_at_exit();

// Length in milliseconds of one second of the check time-out (tests shorten it).
uint32_t second_ms();
void set_second_ms(uint32_t ms);

}  // namespace kelda::dtcp
