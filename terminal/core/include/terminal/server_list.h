// The server list file "IP.CFG" in the program folder: one server per line,
// "description [address:port:key]".
//
// Reading takes whole lines (any length; the writer's lines run to about 135
// characters); a line without '[', or without its two ':' and the closing ']'
// after it, is skipped (and so disappears at the next write). Each part is
// trimmed and cut to its field. Writing replaces the file whole.
//
// Threading: any thread, no shared state. Errors: answered as false.
#pragma once

#include <string>
#include <vector>

namespace kelda::terminal {

struct ConnectionRecord {
  char line[256] = {};
  char description[64] = {};
  char address[30] = {};  // [connect] trade-server-ip-address
  char port[20] = {};     // [connect] port
  char key[20] = {};      // [connect] auth-name
};

std::string server_list_path();
// Parses one line (without its line break); false when malformed.
bool parse_server_line(const std::string& line, ConnectionRecord& out);
// "description [address:port:key]".
std::string format_server_line(const ConnectionRecord& record);
// Replaces `records` with the file's well-formed lines; false when the file
// cannot be opened (records then empty).
bool load_server_list(std::vector<ConnectionRecord>& records, const std::string& path = server_list_path());
bool save_server_list(const std::vector<ConnectionRecord>& records, const std::string& path = server_list_path());

}  // namespace kelda::terminal
