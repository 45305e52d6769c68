// Reader and writer of the server list file.
#include "terminal/server_list.h"

#include <fstream>
#include <string_view>

#include "kit/files.h"
#include "kit/paths.h"
#include "terminal/save_failures.h"
#include "terminal/text_log.h"

namespace kelda::terminal {
namespace {

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return s;
}

}  // namespace

std::string server_list_path() { return program_file("IP.CFG"); }

bool parse_server_line(const std::string& line, ConnectionRecord& out) {
  out = ConnectionRecord{};
  const std::size_t open = line.find('[');
  if (open == std::string::npos) return false;
  const std::size_t colon1 = line.find(':', open + 1);
  if (colon1 == std::string::npos) return false;
  const std::size_t colon2 = line.find(':', colon1 + 1);
  if (colon2 == std::string::npos) return false;
  const std::size_t close = line.find(']', colon2 + 1);
  if (close == std::string::npos) return false;
  const std::string_view text(line);
  copy_text(out.description, trimmed(text.substr(0, open)));
  copy_text(out.address, trimmed(text.substr(open + 1, colon1 - open - 1)));
  copy_text(out.port, trimmed(text.substr(colon1 + 1, colon2 - colon1 - 1)));
  copy_text(out.key, trimmed(text.substr(colon2 + 1, close - colon2 - 1)));
  copy_text(out.line, line);
  return true;
}

std::string format_server_line(const ConnectionRecord& r) {
  return std::string(field_text(r.description)) + " [" + std::string(field_text(r.address)) + ":" +
         std::string(field_text(r.port)) + ":" + std::string(field_text(r.key)) + "]";
}

bool load_server_list(std::vector<ConnectionRecord>& records, const std::string& path) {
  records.clear();
  std::ifstream in(kit::path_from_ansi(path.c_str()), std::ios::binary);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    ConnectionRecord record;
    if (parse_server_line(line, record)) records.push_back(record);
  }
  return true;
}

bool save_server_list(const std::vector<ConnectionRecord>& records, const std::string& path) {
  std::string bytes;
  for (const ConnectionRecord& r : records) bytes += format_server_line(r) + "\n";
  return write_user_file(path, bytes);
}

}  // namespace kelda::terminal
