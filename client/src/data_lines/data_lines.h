// Data lines: series of price bars of one security that the library builds
// and pushes to its caller's callbacks (one line per chart). Tick lines
// (period 0) are built from the all-trades feed, bar lines (any other
// period) from the security's minute bars on top of the price-bar archive,
// parameter lines from the value records of one current-value parameter
// (on top of the parameter's archive for periods other than 0).
// Registrations of the same series share a line; each registration is a
// subscriber with its own callback, context word, start mark and window.
//
// A subscriber that starts on a line that is already built gets every bar
// of the line (the history), after the changed bars have gone to the
// subscribers started before it; later it gets the bars that change. A bar
// handed out as the last bar after an update is no longer marked changed,
// so no bar reaches a subscriber twice for one change, also across a
// reconnect (a rebuilt series marks only bars that differ).
//
// Everything runs under the library lock; callbacks run with the lock held
// and may call the library (a registration removed from inside a callback is
// cleaned up once the delivery ends). Allocation failure throws
// std::bad_alloc; exports turn it into a result code.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "bars/bar_building.h"
#include "keldaapi/keldaapi.h"

namespace kelda::kelapi {

class Library;

struct DataLineSubscriber {
  KelapiDataLineCallback callback = nullptr;
  uintptr_t context = 0;
  int32_t id = 0;
  bool started = false;
  bool removed = false;  // unregistered during a delivery
  int32_t from_date = -1;
  int32_t from_time = -1;
  int32_t to_date = -1;
  int32_t to_time = -1;
};

struct DataLine {
  int32_t security = 0;
  int32_t param = 0;  // bar lines: 0 until started, then -1; parameter lines: the slot
  LineKind kind = LineKind::tick;
  int32_t period = 0;
  std::vector<DataLineSubscriber> subscribers;
  bool started = false;         // its requests went out on this link
  bool ready = false;           // bars complete enough to deliver
  bool holds_minutes = false;   // counted in its security's minute store
  bool archive_request = false;
  BarSeries bars;
  BarSeries history;  // parameter lines: the archive bars taken
};

struct DataLines {
  std::vector<std::unique_ptr<DataLine>> lines;
  int32_t last_id = 0;
  int32_t archive_size = 3000;
  int32_t delivering = 0;  // nesting depth of deliveries under way
  bool purge_pending = false;
  void reset() {
    lines.clear();
    last_id = 0;
    archive_size = 3000;
    purge_pending = false;
  }
};

// ---- the session ----
void data_lines_link_lost(Library& lib);
void data_lines_session_started(Library& lib);

// ---- exports (lock taken inside) ----
KelapiResult register_data_line(Library& lib, uint32_t class_number, uint32_t security_number, int32_t period,
                                KelapiDataLineCallback callback, uintptr_t context, int32_t* line_id,
                                bool archive_request);
// A parameter line of the parameter named (period as above; always with the
// archive).
KelapiResult register_param_line(Library& lib, uint32_t class_number, uint32_t security_number, int32_t period,
                                 const char* param_name, KelapiDataLineCallback callback, uintptr_t context,
                                 int32_t* line_id);
KelapiResult set_data_line_option(Library& lib, int32_t line_id, uint32_t option, int32_t value);
KelapiResult start_data_line(Library& lib, int32_t line_id);
KelapiResult unregister_data_line(Library& lib, int32_t line_id);
KelapiResult set_data_line_archive_size(Library& lib, int32_t count);

}  // namespace kelda::kelapi
