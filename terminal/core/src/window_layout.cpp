// The main view's window layout: saving the open windows and the column
// sections of their kinds, restoring them, and the commands that save to and
// load from another pair of files.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "kit/files.h"
#include "kit/paths.h"
#include "platform/time.h"
#include "terminal/data_feed_manager.h"
#include "terminal/layout_files.h"
#include "terminal/main_frame.h"
#include "terminal/main_view.h"
#include "terminal/profile.h"
#include "terminal/save_failures.h"
#include "terminal/text_log.h"
#include "terminal/window_kinds.h"
#include "ui/services.h"

namespace kelda::terminal {
namespace {

// More sections than this are not read from a hand-edited file: only 20
// windows can be open, and sections of unknown kinds are skipped.
constexpr int kMaxLayoutSections = 200;
constexpr char16_t kLayoutFilter[] = u"Файлы настроек (*.tcf)|*.tcf";

// Switches the manager's pair of layout paths for the length of a command.
class LayoutPathsSwitch {
 public:
  explicit LayoutPathsSwitch(DataFeedManager& m)
      : m_(m), tcf_(m.window_kinds_path()), awf_(m.open_windows_path()) {}
  ~LayoutPathsSwitch() { m_.set_layout_paths(tcf_, awf_); }
  LayoutPathsSwitch(const LayoutPathsSwitch&) = delete;
  LayoutPathsSwitch& operator=(const LayoutPathsSwitch&) = delete;
  void use(const std::u16string& chosen) {
    const std::string tcf = to_narrow(chosen);
    m_.set_layout_paths(tcf, open_windows_path_for(tcf));
  }

 private:
  DataFeedManager& m_;
  std::string tcf_, awf_;
};

ui::FileDialogRequest layout_file_request(ui::Hwnd owner, bool save) {
  ui::FileDialogRequest request;
  request.owner = owner;
  request.save = save;
  request.filter = kLayoutFilter;
  if (save) {
    request.default_ext = u"tcf";
    request.flags = ui::ofn::hide_read_only | ui::ofn::overwrite_prompt;
  }
  return request;
}

}  // namespace

void MainView::save_window_layout(bool destroy) {
  DataFeedManager* m = manager();
  const uint32_t start = platform::tick_count();
  const std::string awf = open_windows_path();
  const std::string tcf = window_table_path();
  log_line("Saving active windows...");
  const uint64_t failures_before = save_failure_count();
  int active_position = 0;
  int position = 0;
  for (int i = 0; i < kSlotCount; ++i) {
    if (slot(i) == nullptr) continue;
    ++position;
    if (i == active_slot_) active_position = position;
  }
  if (active_slot_ < 0) active_position = open_count_;
  char general[128];
  std::snprintf(general, sizeof general, "[general]\nversion=1\nnum=%d\nactive=%d\n\n", open_count_,
                active_position);
  std::string text = general;
  std::vector<std::string> kind_sections;
  int n = 0;
  for (int i = 0; i < kSlotCount; ++i) {
    TerminalWindow* w = slot(i);
    if (w == nullptr) continue;
    ++n;
    const int window_kind = static_cast<int>(ui::send_message(w->hwnd(), UM_GETKIND));
    if (const std::string_view name = kind_section_name(window_kind); !name.empty()) {
      kind_sections.push_back("[" + std::string(name) + "]");
    }
    ui::send_message(w->hwnd(), UM_SAVESTATE, static_cast<WPARAM>(n), reinterpret_cast<LPARAM>(&text));
  }
  if (!write_user_file(awf, text)) {
    log_line("ERROR: Can not save configuration to files %s, %s", awf.c_str(), tcf.c_str());
    return;
  }
  if (!kind_sections.empty()) profile_delete_sections(kind_sections, tcf);
  if (m != nullptr) m->bulk_saved = true;
  std::vector<int> kinds_met;
  for (int i = kSlotCount - 1; i >= 0; --i) {
    TerminalWindow* w = slot(i);
    if (w == nullptr) continue;
    const int window_kind = static_cast<int>(ui::send_message(w->hwnd(), UM_GETKIND));
    const bool met = std::find(kinds_met.begin(), kinds_met.end(), window_kind) != kinds_met.end();
    if (!met) kinds_met.push_back(window_kind);
    if (m != nullptr) m->write_kind_section = !met;
    if (destroy) {
      remove_window_menu_item(kFirstSelectCommand + static_cast<UINT>(i));
      w->destroy();
      slots_[static_cast<std::size_t>(i)].reset();
      --open_count_;
    } else {
      ui::send_message(w->hwnd(), UM_SAVECOLUMNS);
    }
    if (m != nullptr) m->write_kind_section = true;
  }
  if (destroy) active_slot_ = -1;
  // The flag only tells the windows of this save that their sections are
  // gone; left set, a window closed later would add a second section of its
  // kind instead of replacing the first.
  if (m != nullptr) m->bulk_saved = false;
  // A save of which a write failed (a column section, the window table) is
  // not done, and the log does not say it is.
  if (save_failure_count() != failures_before) {
    log_line("ERROR: Can not save configuration to files %s, %s", awf.c_str(), tcf.c_str());
    return;
  }
  log_line("Saving done. Time: %ld.", static_cast<long>(platform::tick_count() - start));
}

void MainView::load_window_layout() {
  const std::string awf = open_windows_path();
  restoring_ = true;
  const SavedSection general(awf, "general");
  int num = general.get_int("num", -1);
  restore_slot_ = general.get_int("active", 0) - 1;
  if (num > kMaxLayoutSections) {
    log_line("ERROR: The layout file %s lists %d windows; the first %d are read.", awf.c_str(), num,
             kMaxLayoutSections);
    num = kMaxLayoutSections;
  }
  for (int i = 1; i <= num && open_count_ < kSlotCount; ++i) {
    const SavedSection section(awf, "ActiveWnd" + std::to_string(i));
    const int type = section.get_int("type", -1);
    const WindowKind* kind = type >= kind::quotes && type <= kind::news ? find_window_kind(type) : nullptr;
    if (kind == nullptr) {
      log_line("ERROR: Section [%s] of %s has no window type that can be opened (%d); skipped.",
               section.name().c_str(), awf.c_str(), type);
      continue;
    }
    restore_section_ = &section;
    create_window(*kind);
    restore_section_ = nullptr;
  }
  restoring_ = false;
}

void MainView::save_layout_command() {
  DataFeedManager* m = manager();
  if (m == nullptr) return;
  LayoutPathsSwitch paths(*m);
  m->input_panel_button = true;
  show_sip_button();
  if (const auto chosen = ui::get_save_file_name(layout_file_request(hwnd(), true))) {
    paths.use(chosen->path);
    save_window_layout(false);
  }
  m->input_panel_button = false;
  show_sip_button();
}

void MainView::load_layout_command() {
  DataFeedManager* m = manager();
  if (m == nullptr) return;
  const auto chosen = ui::get_open_file_name(layout_file_request(hwnd(), false));
  if (!chosen) return;
  LayoutPathsSwitch paths(*m);
  paths.use(chosen->path);
  for (int i = 0; i < kSlotCount && open_count_ > 0; ++i) {
    if (active_slot_ < 0) {
      for (int s = 0; s < kSlotCount && active_slot_ < 0; ++s) activate_slot(s);
    }
    close_active_window();
  }
  load_window_layout();
  activate_restored_window();
  log_line("Window configuration loaded from file.");
}

}  // namespace kelda::terminal
