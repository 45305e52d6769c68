// Window layout files: the open-windows file (".awf": which windows were open
// and what each needs to be made again) and the window-table file (".tcf":
// the column layout of each window kind, and the global filter). Both are
// profile files (profile.h) in code page 1251.
//
// What a window kind uses:
// - Saving its own keys: override TerminalWindow::write_state(); the base
//   writes the section header, "type" and "caption" around them.
// - Reading them back: while the main view restores a layout it hands the
//   new window a SavedSection of its [ActiveWnd%d] section
//   (TerminalWindow::restore_state()).
// - Its column section in the window-table file: read it with a SavedSection
//   of window_table_path(); write it with write_kind_section(), which obeys
//   the manager's save flags so that a bulk save writes each kind once.
//
// Threading: user-interface thread. Errors: a file that cannot be read reads
// as empty; a file that cannot be written is logged and keeps its old
// contents (files are written whole: temporary file and rename).
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace kelda::terminal {

// The text of one section being written: "key=value\n" lines in order.
class SectionText {
 public:
  void put(std::string_view key, std::string_view value);
  void put_int(std::string_view key, long long value);
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

// One section of a profile file, read once. Reads follow the profile
// reader: the first header line that holds "[name]" and is no comment,
// keys and values trimmed, the first of two equal keys wins.
class SavedSection {
 public:
  SavedSection() = default;
  SavedSection(const std::string& path, std::string_view name);

  bool exists() const { return exists_; }
  const std::string& name() const { return name_; }
  bool has(std::string_view key) const;
  // The value (at most `limit` characters) or `fallback`.
  std::string get(std::string_view key, std::string_view fallback = {}, std::size_t limit = 1999) const;
  // The value converted like atoi, or `fallback`.
  int get_int(std::string_view key, int fallback) const;
  // get_int() kept within [low, high]; a value outside is logged and gives
  // `fallback`.
  int get_int_in(std::string_view key, int fallback, int low, int high) const;

 private:
  std::string name_;
  bool exists_ = false;
  std::map<std::string, std::string, std::less<>> values_;
};

// The current pair of layout files (the manager's paths).
std::string window_table_path();
std::string open_windows_path();

// The window-table section of a window kind ("TradesWnd", ...), empty for
// the kinds without one (order window, chart, news).
std::string_view kind_section_name(int kind);

// Writes a kind's section into the window-table file. Unless a bulk save
// has already removed the sections of the open kinds, the old section goes
// first; nothing is written when the save asked that only the last window of
// a kind write it. `body` holds the "key=value\n" lines.
void write_kind_section(std::string_view section, const SectionText& body);

// The pair that belongs to a chosen window-table file: the path itself and
// the path less its last four characters plus ".awf".
std::string open_windows_path_for(const std::string& window_table_file);

}  // namespace kelda::terminal
