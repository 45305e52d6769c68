// The encrypted receive path: 100,000 small application messages from the
// server double through the socket, the transport, the dispatcher with the
// real Sekura32_Pr in channel mode, and the codec to a handler; in the same
// run the same messages through the null-cipher test plug-in. The counter
// "x_null_cipher" is the ratio of the two times (the cipher's cost per
// message shows as the excess over 1); "exchange_ms" is the connection set-up
// with Sekura32_Pr less the one with the null cipher: the key exchange.
// The server's blocks are enciphered before the clock starts.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "sekura32_pr/sekura32_pr.h"
#include "server_double/sekura_channel.h"
#include "server_double/server_double.h"
#include "zn_de/zn_de.h"
#include "zn_receiver.h"

namespace sd = kelda::server_double;
namespace fs = std::filesystem;

namespace {

constexpr int kMessages = 100000;
constexpr uint32_t kTick = 0x0301;

MessageLayout g_int32[] = {0, ZN_FIELD_INT32, 0};
MessageLayout g_empty[] = {0, 0};
MessageLayoutEntry g_registry[] = {
    {0xF006, g_int32, 0}, {0xF002, g_empty, 0}, {kTick, g_int32, 0}, {0, nullptr, 0}};

std::atomic<int> g_handled{0};
void on_tick(uint16_t, const void*) { g_handled.fetch_add(1, std::memory_order_relaxed); }
MessageHandlerEntry g_handlers[] = {{kTick, &on_tick}, {0, nullptr}};

using kelda::bench::Receiver;

void write_text(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// The settings: both providers, and one provider file per cipher.
struct Settings {
  fs::path folder;
  Settings() {
    char pattern[] = "/tmp/sekura32-pr-bench-XXXXXX";
    folder = ::mkdtemp(pattern);
    write_text(folder / "KeldaMobile.txt",
               "[CryptoProviders]\r\nNullCipher=1\r\nSekura32=1\r\n"
               "[NullCipher]\r\nModule=NullCipher.DLL\r\nIniFile=\r\n"
               "[Sekura32]\r\nModule=Sekura32_Pr.DLL\r\nIniFile=\r\n");
    for (const char* name : {"NullCipher", "Sekura32"}) {
      write_text(folder / (std::string(name) + ".ini"),
                 std::string("[CryptoProvidersSettings]\r\nCipherCryptoProvider=") + name + "\r\n");
    }
    sd::use_test_key_rings(SEKURA32_TEST_RINGS, folder);
  }
  ~Settings() {
    std::error_code ec;
    fs::remove_all(folder, ec);
  }
};

struct Run {
  double receive_seconds = 0;
  double connect_seconds = 0;
};

// One connection with the named cipher: set-up, then kMessages ticks.
bool receive_through(const Settings& settings, bool sekura, Run& run) {
  char error[512] = "";
  sd::ServerDouble server;
  Receiver receiver;
  zn_conn_params params{1, 0, sd::ServerDouble::address(), server.port(), nullptr};
  zn_conn_setup setup{};
  setup.mode = ZN_SETUP_RECORD;
  setup.params = &params;
  zn_crypto_params crypto{};
  crypto.version = 1;
  crypto.open_context = 1;
  crypto.selection_mode = 2;
  const std::string ini = (settings.folder / (sekura ? "Sekura32.ini" : "NullCipher.ini")).string();
  std::snprintf(crypto.ini_path, sizeof crypto.ini_path, "%s", ini.c_str());
  Sekura32ConnectParams credentials{SEKURA32_PR_CONNECT_PARAMS_V1, "demo", "demo", "KeldaServer"};
  crypto.provider_words[4] = 4;
  crypto.provider_words[5] = sekura ? 4 : 2;
  crypto.context_words[0] = reinterpret_cast<uintptr_t>(&credentials);
  std::unique_ptr<sd::SekuraChannel> channel = sd::SekuraChannel::open("KeldaServer", "server");
  if (!channel) return false;

  const auto connect_start = std::chrono::steady_clock::now();
  zn_connection* c = zn_connect_ex(nullptr, nullptr, "bench", nullptr, &crypto, 0, 0, 0, 0, &setup,
                                   &Receiver::callback, reinterpret_cast<uintptr_t>(&receiver), 0, 0, 0, 0, error,
                                   sizeof error);
  std::unique_ptr<sd::Session> session = server.accept();
  if (c == nullptr || !session) return false;
  sd::HandshakeScript script;
  if (sekura) script.key_exchange = [&](sd::Session& s) { return channel->exchange(s); };
  if (!session->handshake(script)) return false;
  while (!receiver.permitted.load()) std::this_thread::yield();
  run.connect_seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - connect_start).count();
  zn_set_connection_param(c, 8, 0, 0, 0, error, sizeof error);

  // The framed blocks, enciphered in the order they go out.
  std::vector<uint8_t> wire;
  for (int i = 0; i < kMessages; ++i) {
    sd::Bytes body;
    sd::put32(body, static_cast<uint32_t>(i));
    const sd::Bytes message = sd::message_bytes(static_cast<uint16_t>(kTick), body);
    const sd::Bytes block = sekura ? channel->encrypt(message) : message;
    if (block.empty()) return false;
    sd::put16(wire, static_cast<uint16_t>(block.size()));
    wire.insert(wire.end(), block.begin(), block.end());
  }
  g_handled.store(0);
  const auto start = std::chrono::steady_clock::now();
  std::thread writer([&] { session->write(wire); });
  receiver.drain(c, g_handled, kMessages);
  run.receive_seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  writer.join();
  zn_disconnect(c, 1, error, sizeof error);
  return true;
}

void BM_EncryptedReceive(benchmark::State& state) {
  static Settings settings;
  char error[512] = "";
  if (!zn_is_initialized()) {
    const std::string ini = (settings.folder / "KeldaMobile.txt").string();
    zn_init(ini.c_str(), g_registry, g_handlers, 0, 0, 0, 0, 0, 0, 0, 0, error, sizeof error);
  }
  Run sekura, null_cipher;
  for (auto _ : state) {
    if (!receive_through(settings, true, sekura)) {
      state.SkipWithError("no encrypted connection");
      break;
    }
    state.PauseTiming();
    const bool plain = receive_through(settings, false, null_cipher);
    state.ResumeTiming();
    if (!plain) {
      state.SkipWithError("no null-cipher connection");
      break;
    }
  }
  const double n = static_cast<double>(state.iterations());
  state.SetItemsProcessed(state.iterations() * kMessages);
  state.counters["x_null_cipher"] =
      null_cipher.receive_seconds > 0 ? sekura.receive_seconds / null_cipher.receive_seconds : 0;
  state.counters["exchange_ms"] = n > 0 ? 1000 * (sekura.connect_seconds - null_cipher.connect_seconds) / n : 0;
}

}  // namespace

BENCHMARK(BM_EncryptedReceive)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();
