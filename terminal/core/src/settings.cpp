// The data manager's construction: file paths, the settings file's keys and
// the registration of the client library's event callback.
#include <cstdio>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <optional>
#include <string_view>

#include "kit/files.h"
#include "kit/paths.h"
#include "terminal/data_feed_manager.h"
#include "terminal/main_view.h"
#include "terminal/profile.h"
#include "terminal/text_log.h"

namespace kelda::terminal {
namespace {

DataFeedManager* g_manager = nullptr;

bool readable(const std::string& path) {
  std::FILE* f = std::fopen(kit::path_from_ansi(path.c_str()).c_str(), "rb");
  if (f == nullptr) return false;
  std::fclose(f);
  return true;
}

// A key the terminal reads from its settings file, with its default.
struct KeyDefault {
  const char* key;
  const char* value;
  bool integer;
};

// Whether the whole text is an integer as the profile writes it (blanks
// before, an optional sign, digits).
bool is_integer_text(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// Logs what of a section the terminal writes itself could not be read from
// the settings file: a missing section with the defaults taken for it, and
// each integer key whose value is not a number with what was taken instead.
void log_section_state(const std::string& ini, const char* section, std::initializer_list<KeyDefault> keys) {
  if (profile_section_state(section, ini) != ProfileSection::present) {
    std::string defaults;
    for (const KeyDefault& k : keys) {
      if (!defaults.empty()) defaults += ", ";
      defaults += std::string(k.key) + "=" + k.value;
    }
    log_line("Settings file %s has no section [%s]; defaults taken: %s.", ini.c_str(), section, defaults.c_str());
    return;
  }
  for (const KeyDefault& k : keys) {
    if (!k.integer) continue;
    const std::optional<std::string> value = profile_find(section, k.key, ini);
    if (value && !is_integer_text(*value)) {
      log_line("ERROR: Settings file %s, section [%s]: %s=%s is not a number; %d taken.", ini.c_str(), section,
               k.key, value->c_str(), std::atoi(value->c_str()));
    }
  }
}

// Says when the settings file cannot give what the terminal keeps in it, so
// that a damaged file is named rather than silently read as defaults.
void log_settings_file_state(const std::string& ini, const std::string& provider_ini) {
  switch (profile_section_state("settings", ini)) {
    case ProfileSection::no_file:
      log_line("Settings file %s not found; every setting takes its default.", ini.c_str());
      return;
    case ProfileSection::unreadable_file:
      log_line("ERROR: Can not read settings file %s; every setting takes its default.", ini.c_str());
      return;
    default:
      break;
  }
  log_section_state(ini, "connect", {{"name", "", false}, {"save", "0", true}, {"password", "", false}});
  log_section_state(ini, "settings",
                    {{"classname", "0", true}, {"digit_grouping", "0", true}, {"vert_display_limits", "1", true},
                     {"fontsize", "18", true}, {"alignment", "1", true}, {"quotes_depth", "5", true},
                     {"buy_on_top", "0", true}, {"autoreconnect", "0", true}, {"reqarchive", "0", true},
                     {"default_connection", "0", true}, {"global_filter", "0", true}});
  log_section_state(ini, "CryptoProviders",
                    {{"SignalComMessagePro", "0", true}, {"IniFile", provider_ini.c_str(), false}});
  // Read by the crypto-provider dispatcher, which then takes its own choice.
  log_section_state(ini, "CryptoProvidersSettings",
                    {{"CipherCryptoProvider", "(the dispatcher's default)", false},
                     {"SignCryptoProvider", "(the dispatcher's default)", false}});
}

int normalised_font_size(int size) {
  if (size < 8 || size > 36) return 18;
  if (size == 13) return 12;
  if (size == 15) return 14;
  return size;
}

}  // namespace

DataFeedManager* manager() { return g_manager; }
void set_manager(DataFeedManager* m) { g_manager = m; }

DataFeedManager::DataFeedManager(ClientApi& client) : client_(client) {
  client_.set_event_callback(&DataFeedManager::on_client_event);
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char date[64];
  std::snprintf(date, sizeof date, "%02d.%02d.%04d", utc.tm_mday, utc.tm_mon + 1, utc.tm_year + 1900);
  trade_date_ = date;
  folder_ = program_folder();
  settings_path_ = folder_ + "/KeldaMobile.txt";
  awf_path_ = folder_ + "/pdainfo.awf";
  tcf_path_ = folder_ + "/pdainfo.tcf";
  migrate_layout_file("activewnd.txt", "pdainfo.awf", awf_path_);
  migrate_layout_file("wnd.txt", "pdainfo.tcf", tcf_path_);
  load_settings();
}

DataFeedManager::~DataFeedManager() {
  client_.set_event_callback(nullptr);
  tables_.clear();
}

void DataFeedManager::migrate_layout_file(const char* old_name, const char* new_name, std::string& path) {
  const std::string old_path = folder_ + "/" + old_name;
  if (readable(path) || !readable(old_path)) return;
  if (std::rename(kit::path_from_ansi(old_path.c_str()).c_str(), kit::path_from_ansi(path.c_str()).c_str()) != 0) {
    log_line("ERROR: Can not rename %s to %s. Reason: %d", old_path.c_str(), path.c_str(), errno);
    path = old_path;
  }
  (void)new_name;
}

void DataFeedManager::load_settings() {
  const std::string& ini = settings_path_;
  Settings& s = settings_;
  log_settings_file_state(ini, folder_ + "/signalcom.ini");
  copy_text(s.user_name, profile_get_string("connect", "name", "", ini, 63));
  s.save_password = profile_get_int("connect", "save", 0, ini) != 0;
  if (s.save_password) {
    copy_text(s.password, profile_get_string("connect", "password", "", ini, 63));
  } else {
    s.password[0] = '\0';
    profile_set_string("connect", "password", "", ini);
  }
  std::memcpy(session_password_, s.password, sizeof session_password_);
  s.class_names = profile_get_int("settings", "classname", 0, ini) != 0;
  s.digit_grouping = profile_get_int("settings", "digit_grouping", 0, ini) != 0;
  s.vertical_limits = profile_get_int("settings", "vert_display_limits", 1, ini) != 0;
  s.font_size = profile_get_int("settings", "fontsize", 18, ini);
  s.alignment = profile_get_int("settings", "alignment", 1, ini);
  s.quotes_depth = profile_get_int("settings", "quotes_depth", 5, ini);
  s.buy_on_top = profile_get_int("settings", "buy_on_top", 0, ini) != 0;
  s.autoreconnect = profile_get_int("settings", "autoreconnect", 0, ini) != 0;
  s.request_archive = profile_get_int("settings", "reqarchive", 0, ini) != 0;
  s.default_connection = profile_get_int("settings", "default_connection", 0, ini);
  s.global_filter = profile_get_int("settings", "global_filter", 0, ini);
  if (s.global_filter != 0) load_global_filter();
  s.signing = profile_get_int("CryptoProviders", "SignalComMessagePro", 0, ini) != 0;
  s.provider_ini_path = profile_get_string("CryptoProviders", "IniFile", folder_ + "/signalcom.ini", ini, 259);
  s.font_size = normalised_font_size(s.font_size);
}

void DataFeedManager::create_table_font() {
  ui::LogFont lf;
  lf.height = -settings_.font_size;
  lf.weight = ui::fw::normal;
  lf.charset = ui::kRussianCharset;
  lf.out_precision = 1;
  lf.clip_precision = 2;
  lf.quality = 1;
  lf.pitch_and_family = 0x22;
  const std::u16string_view face = u"MS Sans Serif";
  std::copy(face.begin(), face.end(), lf.face_name);
  table_font_ = std::make_unique<ui::Font>(lf);
}

void DataFeedManager::set_frame(ui::Hwnd frame) { frame_.store(frame.value()); }

void DataFeedManager::set_view(MainView* view) { view_ = view; }

}  // namespace kelda::terminal
