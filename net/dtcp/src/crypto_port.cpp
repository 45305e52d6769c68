#include "crypto_port.h"

#include <atomic>
#include <mutex>

namespace kelda::dtcp {

std::shared_ptr<CryptoPort> make_dispatcher_port();  // cipherhub_port.cpp

namespace {

// The port in use is read on every block, so reads take no lock; the owner
// changes only when a test installs a port between its connections.
std::mutex g_port_mutex;
std::atomic<CryptoPort*> g_port{nullptr};
std::shared_ptr<CryptoPort>& port_owner() {
  static auto* owner = new std::shared_ptr<CryptoPort>;
  return *owner;
}

}  // namespace

CryptoPort& crypto_port() {
  if (CryptoPort* port = g_port.load(std::memory_order_acquire)) return *port;
  std::lock_guard<std::mutex> lock(g_port_mutex);
  if (!port_owner()) port_owner() = make_dispatcher_port();
  g_port.store(port_owner().get(), std::memory_order_release);
  return *port_owner();
}

void set_crypto_port(std::shared_ptr<CryptoPort> port) {
  std::lock_guard<std::mutex> lock(g_port_mutex);
  port_owner() = std::move(port);
  g_port.store(port_owner().get(), std::memory_order_release);
}

}  // namespace kelda::dtcp
