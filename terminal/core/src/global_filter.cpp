// The global instrument filter: its section of the window-kind file and its
// entries applied to a class.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "kit/files.h"
#include "kit/paths.h"
#include "terminal/data_feed_manager.h"
#include "terminal/profile.h"
#include "terminal/save_failures.h"
#include "terminal/text_log.h"

namespace kelda::terminal {

void DataFeedManager::load_global_filter() {
  std::ifstream in(kit::path_from_ansi(tcf_path_.c_str()), std::ios::binary);
  auto give_up = [&] {
    settings_.global_filter = 0;
    profile_set_string("settings", "global_filter", "0", settings_path_);
    log_line("ERROR: Can not open file %s to read global filter settings. Global filter not used.",
             tcf_path_.c_str());
  };
  if (!in) return give_up();
  std::string line;
  bool found = false;
  while (std::getline(in, line)) {
    if (!line.starts_with(';') && line.find("[global_filter]") != std::string::npos) {
      found = true;
      break;
    }
  }
  if (!found) return;
  // Whitespace-separated numbers regardless of line breaks; a malformed
  // section drops the filter.
  std::vector<FilterEntry> entries;
  long count = 0;
  if (!(in >> count) || count < 0 || count > 100000) return give_up();
  for (long i = 0; i < count; ++i) {
    FilterEntry e;
    int sec_on = 0, nsecs = 0, par_on = 0, npars = 0;
    if (!(in >> e.class_number >> sec_on >> nsecs >> par_on >> npars) || nsecs < 0 || npars < 0 ||
        nsecs > 1000000 || npars > 65536) {
      return give_up();
    }
    e.security_filter = sec_on != 0;
    e.param_filter = par_on != 0;
    for (int k = 0; k < nsecs; ++k) {
      uint32_t v = 0;
      if (!(in >> v)) return give_up();
      e.secs.push_back(v);
    }
    for (int k = 0; k < npars; ++k) {
      int v = 0;
      if (!(in >> v)) return give_up();
      e.params.push_back(static_cast<int16_t>(v));
    }
    entries.push_back(std::move(e));
  }
  filter_entries_ = std::move(entries);
  log_line("Global classes filter read.");
}

void DataFeedManager::save_global_filter() {
  profile_delete_section("global_filter", tcf_path_);
  std::ifstream in(kit::path_from_ansi(tcf_path_.c_str()), std::ios::binary);
  std::error_code ec;
  if (!in && std::filesystem::exists(kit::path_from_ansi(tcf_path_.c_str()), ec)) {
    log_line("ERROR: Can not open file %s.", tcf_path_.c_str());
    return;
  }
  std::ostringstream out;
  if (in) out << in.rdbuf();
  out.clear();  // an empty file leaves the stream failed, which would drop the section
  in.close();
  out << "[global_filter]\n" << filter_entries_.size() << "\n";
  for (const FilterEntry& e : filter_entries_) {
    out << e.class_number << ' ' << (e.security_filter ? 1 : 0) << ' ' << e.secs.size() << ' '
        << (e.param_filter ? 1 : 0) << ' ' << e.params.size() << "\n";
    for (const uint32_t sec : e.secs) out << sec << ' ';
    out << "\n";
    for (const int16_t par : e.params) out << par << ' ';
    out << "\n";
  }
  if (!write_user_file(tcf_path_, out.str())) {
    log_line("ERROR: Can not open file %s.", tcf_path_.c_str());
  }
}

void DataFeedManager::set_current_filter_lists(ClassRecord& cls, std::vector<int16_t> params,
                                               std::vector<uint32_t> secs) {
  cls.global_params = std::move(params);
  cls.global_secs = std::move(secs);
}

void DataFeedManager::apply_filter_entry(ClassRecord& cls, const FilterEntry& entry) {
  if (!entry.param_filter) {
    cls.global_params.clear();
    for (const auto& [number, param] : cls.params) cls.global_params.push_back(static_cast<int16_t>(number));
  } else if (!entry.params.empty()) {
    cls.global_params = entry.params;
  }
  if (!entry.security_filter) {
    cls.global_secs.clear();
    for (const auto& [code, sec] : cls.securities) cls.global_secs.push_back(sec->record.security_number);
  } else if (!entry.secs.empty()) {
    cls.global_secs = entry.secs;
  }
}

}  // namespace kelda::terminal
