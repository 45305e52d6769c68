// Sections of the layout files: writing a section's text, reading a saved
// section once, and the per-kind column sections of the window-table file.
#include "terminal/layout_files.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "kit/files.h"
#include "kit/paths.h"
#include "terminal/data_feed_manager.h"
#include "terminal/profile.h"
#include "terminal/save_failures.h"
#include "terminal/text_log.h"
#include "terminal/window_protocol.h"

namespace kelda::terminal {
namespace {

constexpr std::size_t kReadLineLimit = 1999;

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return s;
}

// The whole file; `opened` tells whether it could be read (a path that names
// a folder opens but fails at the first read, which the stream throws).
std::string read_file(const std::string& path, bool* opened = nullptr) {
  if (opened != nullptr) *opened = false;
  std::ifstream in(kit::path_from_ansi(path.c_str()), std::ios::binary);
  if (!in) return {};
  std::string bytes;
  try {
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::ios_base::failure&) {
    return {};
  }
  if (opened != nullptr) *opened = true;
  return bytes;
}

}  // namespace

void SectionText::put(std::string_view key, std::string_view value) {
  text_.append(key);
  text_ += '=';
  // A line break inside a value would start a line of its own.
  for (const char c : value) text_ += c == '\n' || c == '\r' ? ' ' : c;
  text_ += '\n';
}

void SectionText::put_int(std::string_view key, long long value) { put(key, std::to_string(value)); }

SavedSection::SavedSection(const std::string& path, std::string_view name) : name_(name) {
  const std::string bytes = read_file(path);
  const std::string header = "[" + std::string(name) + "]";
  std::size_t pos = 0;
  auto next_line = [&](std::string_view& line) {
    if (pos >= bytes.size()) return false;
    std::size_t end = bytes.find('\n', pos);
    if (end == std::string::npos) end = bytes.size();
    line = std::string_view(bytes).substr(pos, end - pos).substr(0, kReadLineLimit);
    pos = end + 1;
    return true;
  };
  std::string_view line;
  while (next_line(line)) {
    if (!line.starts_with(';') && line.find(header) != std::string_view::npos) {
      exists_ = true;
      break;
    }
  }
  if (!exists_) return;
  while (next_line(line)) {
    if (line.starts_with('[')) break;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    values_.emplace(std::string(trim(line.substr(0, eq))), std::string(trim(line.substr(eq + 1))));
  }
}

bool SavedSection::has(std::string_view key) const { return values_.find(key) != values_.end(); }

std::string SavedSection::get(std::string_view key, std::string_view fallback, std::size_t limit) const {
  const auto it = values_.find(key);
  std::string value = it != values_.end() ? it->second : std::string(fallback);
  if (value.size() > limit) value.resize(limit);
  return value;
}

int SavedSection::get_int(std::string_view key, int fallback) const {
  const auto it = values_.find(key);
  return it != values_.end() ? std::atoi(it->second.c_str()) : fallback;
}

int SavedSection::get_int_in(std::string_view key, int fallback, int low, int high) const {
  const int value = get_int(key, fallback);
  if (value >= low && value <= high) return value;
  log_line("ERROR: Bad value %d of %s in section [%s] (allowed %d to %d); %d used.", value,
           std::string(key).c_str(), name_.c_str(), low, high, fallback);
  return fallback;
}

std::string window_table_path() {
  const DataFeedManager* m = manager();
  return m != nullptr ? m->window_kinds_path() : program_file("pdainfo.tcf");
}

std::string open_windows_path() {
  const DataFeedManager* m = manager();
  return m != nullptr ? m->open_windows_path() : program_file("pdainfo.awf");
}

std::string_view kind_section_name(int kind) {
  switch (kind) {
    case kind::quotes: return "QuotesWnd";
    case kind::current_params: return "DataWnd";
    case kind::trades: return "TradesWnd";
    case kind::orders: return "OrdersWnd";
    case kind::stop_orders: return "StopOrdersWnd";
    case kind::money_limits: return "MoneyLimitsWnd";
    case kind::depo_limits: return "DepoLimitsWnd";
    case kind::futures_limits: return "FuturesLimitsWnd";
    case kind::futures_holdings: return "FuturesHoldingsWnd";
    case kind::portfolio: return "MarginalRowsWnd";
    default: return {};
  }
}

void write_kind_section(std::string_view section, const SectionText& body) {
  DataFeedManager* m = manager();
  const std::string path = window_table_path();
  const bool bulk_saved = m != nullptr && m->bulk_saved;
  if (!bulk_saved) profile_delete_section(section, path);
  if (m != nullptr && !m->write_kind_section) return;
  bool opened = false;
  std::string bytes = read_file(path, &opened);
  std::error_code ec;
  if (!opened && std::filesystem::exists(kit::path_from_ansi(path.c_str()), ec)) {
    log_line("ERROR: Can not open file %s.", path.c_str());
    return;
  }
  bytes += "[" + std::string(section) + "]\n";
  bytes += body.text();
  bytes += "\n";
  if (!write_user_file(path, bytes)) {
    log_line("ERROR: Can not open file %s.", path.c_str());
  }
}

std::string open_windows_path_for(const std::string& window_table_file) {
  const std::size_t keep = window_table_file.size() >= 4 ? window_table_file.size() - 4 : 0;
  return window_table_file.substr(0, keep) + ".awf";
}

}  // namespace kelda::terminal
