// Bounded cell texts of the table windows.
#include "terminal/table_cells.h"

#include <cmath>
#include <cstdio>

#include "terminal/data_feed_manager.h"
#include "terminal/tables.h"
#include "terminal/text_log.h"

namespace kelda::terminal {
namespace {

constexpr std::size_t kCell = 128;

struct NumberStyle {
  int decimal = -1;
  int group = -1;
  bool grouping = false;
};

NumberStyle style() {
  NumberStyle s;
  if (DataFeedManager* m = manager()) {
    const Settings& settings = m->settings();
    s.decimal = static_cast<unsigned char>(settings.decimal_separator);
    s.group = static_cast<unsigned char>(settings.group_separator);
    s.grouping = settings.digit_grouping;
  }
  return s;
}

}  // namespace

std::string cell_real(double value, int decimals) {
  if (!std::isfinite(value)) return {};
  char out[kCell];
  const NumberStyle s = style();
  return format_real(out, sizeof out, value, decimals, s.decimal, s.group, s.grouping);
}

std::string cell_integer(long long value) { return cell_real(static_cast<double>(value), 0); }

std::string cell_number(double value) {
  if (!std::isfinite(value)) return {};
  char out[kCell];
  std::snprintf(out, sizeof out, "%.0f", value);
  return out;
}

std::string cell_time(int32_t t) {
  const long hours = t / 10000;
  const long minutes = t / 100 - hours * 100;
  const long seconds = t % 100;
  char out[kCell];
  std::snprintf(out, sizeof out, "%02ld:%02ld:%02ld", hours, minutes, seconds);
  return out;
}

std::string cell_date(int32_t yyyymmdd) { return format_date_ymd(yyyymmdd); }

std::string cell_security(const ClassRecord& cls, const SecurityRecord& sec) {
  DataFeedManager* m = manager();
  const bool with_class = m != nullptr && m->settings().class_names;
  char out[256];
  if (with_class) {
    std::snprintf(out, sizeof out, "%s [%s]", std::string(field_text(sec.record.name)).c_str(),
                  std::string(field_text(cls.record.name)).c_str());
  } else {
    std::snprintf(out, sizeof out, "%s", std::string(field_text(sec.record.name)).c_str());
  }
  return out;
}

int price_decimals(const SecurityRecord& sec) {
  const int scale = sec.record.scale;
  return scale < 0 ? 0 : scale > 10 ? 10 : scale;
}

}  // namespace kelda::terminal
