// Data lines through the client library.
#include "terminal_chart/data_lines.h"

#include <atomic>
#include <cstring>
#include <memory>

#include "keldaapi/keldaapi.h"
#include "keldaapi/keldaapi_feeds.h"
#include "terminal/data_feed_manager.h"
#include "terminal/text_log.h"
#include "terminal/window_protocol.h"
#include "ui/window.h"

namespace kelda::terminal {
namespace {

// Where the bars go; read by the library's threads.
std::atomic<uintptr_t> g_fan_out{0};

void release_bar(WPARAM, LPARAM lparam) { std::unique_ptr<unsigned char[]>(reinterpret_cast<unsigned char*>(lparam)); }

int on_data_line(int32_t line_id, const KelapiDataLineBar* bar, uintptr_t, const void*) {
  const ui::Hwnd target(g_fan_out.load());
  if (bar == nullptr || !target) return 0;
  auto copy = std::make_unique<unsigned char[]>(sizeof(KelapiDataLineBar));
  std::memcpy(copy.get(), bar, sizeof(KelapiDataLineBar));
  if (ui::post_message(target, UM_DATALINE, static_cast<WPARAM>(line_id), reinterpret_cast<LPARAM>(copy.get()),
                       release_bar)) {
    copy.release();
  }
  return 0;
}

class ClientDataLines final : public DataLines {
 public:
  bool register_line(int32_t class_id, int32_t security_id, int32_t minutes, bool archive, ui::Hwnd fan_out,
                     int32_t& line_id) override {
    DataFeedManager* m = manager();
    if (m == nullptr || !m->connected() || !m->started()) return false;
    g_fan_out.store(fan_out.value());
    int32_t id = -1;
    const KelapiResult r =
        KelapiRegisterDataLineEx(static_cast<uint32_t>(class_id), static_cast<uint32_t>(security_id), minutes,
                                 on_data_line, 0, &id, archive ? 1 : 0);
    log_line("KelapiRegisterDataLine(%d,%d,%d) returned %d.", class_id, security_id, minutes, static_cast<int>(r));
    if (r != KELAPI_OK) return false;
    // A line that cannot start is not kept registered behind the window.
    if (KelapiDataLineStart(id) != KELAPI_OK) {
      KelapiUnregisterDataLine(id);
      return false;
    }
    line_id = id;
    return true;
  }
  // The library keeps its lines while the link is down and through a
  // reconnect, so a line is given back whatever the connection's state.
  void unregister_line(int32_t line_id) override {
    if (manager() == nullptr) return;
    log_line("KelapiUnRegisterDataLine returned %d.", static_cast<int>(KelapiUnregisterDataLine(line_id)));
  }
};

DataLines* g_service = nullptr;

}  // namespace

DataLines& data_lines() {
  static ClientDataLines client;
  return g_service != nullptr ? *g_service : client;
}

void set_data_lines(DataLines* service) { g_service = service; }

}  // namespace kelda::terminal
