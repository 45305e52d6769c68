#include "crypto_port.h"

#include <mutex>

namespace kelda::dtcp {

std::shared_ptr<CryptoPort> make_dispatcher_port();  // cipherhub_port.cpp

namespace {

std::mutex g_port_mutex;
std::shared_ptr<CryptoPort>& port_slot() {
  static auto* slot = new std::shared_ptr<CryptoPort>;
  return *slot;
}

}  // namespace

CryptoPort& crypto_port() {
  std::lock_guard<std::mutex> lock(g_port_mutex);
  std::shared_ptr<CryptoPort>& slot = port_slot();
  if (!slot) slot = make_dispatcher_port();
  return *slot;
}

void set_crypto_port(std::shared_ptr<CryptoPort> port) {
  std::lock_guard<std::mutex> lock(g_port_mutex);
  port_slot() = std::move(port);
}

}  // namespace kelda::dtcp
