// The main dialog of the ping utility: takes a host (recent hosts offered),
// resolves it on a look-up thread, sends one ICMP echo request a second, prints
// one line per request and the statistics when the run stops; shows the
// machine's own address.
//
// Start and stop: the Enter key anywhere in the dialog or a tap on the
// start/stop picture. Repeat modes 1, 4 (default) and 8 (continuous) by
// command. A resolve that takes longer than the resolve time-out, or a host
// that does not resolve, ends the run with "Error: invalid host."; an answer
// that comes after a newer request is dropped (each request is tagged). When
// the system allows no ICMP socket the run ends with the reason.
//
// Threading: user-interface thread; the look-ups run on threads of their own
// and come back as posted messages. The echo sender, the look-up functions and
// the time-outs are injectable for tests. Ownership: the dialog owns its
// sender and look-up threads; the profile must outlive it.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "ping/echo_sender.h"
#include "ping/lookup_threads.h"
#include "ping/recent_hosts.h"
#include "ping/statistics.h"
#include "platform/user_profile.h"
#include "ui/dialog.h"
#include "ui/gdi.h"

namespace kelda::ping {

namespace ping_id {
inline constexpr int dialog = 102;
inline constexpr int about_dialog = 136;
inline constexpr int output = 1002;
inline constexpr int own_address = 1003;
inline constexpr int picture = 1008;
inline constexpr int about_history = 1009;
inline constexpr int host = 1013;
inline constexpr int toolbar = 129;
inline constexpr int menu = 130;
inline constexpr int idle_picture = 134;
inline constexpr int running_picture = 135;
inline constexpr UINT mode_once = 32771;
inline constexpr UINT mode_four = 32772;
inline constexpr UINT mode_continuous = 32773;
inline constexpr UINT about = 57664;
inline constexpr UINT exit = 57665;
inline constexpr uintptr_t timer_echo = 13531;
inline constexpr uintptr_t timer_own_address = 13532;
inline constexpr uintptr_t timer_resolve = 13533;
}  // namespace ping_id

// Registers the dialogs, menu, tool bar and pictures of the program (once).
void register_ping_resources();

struct PingDialogOptions {
  std::unique_ptr<EchoSender> sender;  // null: an IcmpEchoSender
  ResolveFunction resolve;             // empty: resolve_host
  OwnAddressFunction own_address;      // empty: own_address_text
  std::chrono::milliseconds echo_timeout{2000};
  unsigned resolve_timeout_ms = 2000;
};

class PingDialog : public ui::Dialog {
 public:
  explicit PingDialog(platform::UserProfile& profile, PingDialogOptions options = {});
  ~PingDialog() override;

  int repeat_mode() const { return repeat_mode_; }
  bool running() const { return running_; }
  const RoundTrips& round_trips() const { return round_trips_; }
  const RecentHosts& recent_hosts() const { return recent_; }

  LRESULT window_proc(UINT msg, WPARAM wparam, LPARAM lparam) override;
  bool pre_translate_message(ui::Message& msg) override;

 protected:
  bool on_init_dialog() override;
  bool on_command(UINT id, UINT code, ui::Hwnd control) override;
  void on_ok() override {}
  void on_cancel() override;

 private:
  void toggle();
  void start_ping();
  void stop_ping();
  void on_resolved(const ResolvedHost& answer);
  void on_resolve_timeout();
  void ping_once();
  void append_line(std::u16string_view line);
  void append_text(std::u16string_view text);
  void keep_keyboard();
  void set_output(std::u16string_view text);
  void show_picture(int picture);
  void fill_host_combo(std::u16string_view edit_text);
  void set_repeat_mode(int mode);
  void paint();
  void fail_invalid_host();

  platform::UserProfile& profile_;
  std::unique_ptr<EchoSender> sender_;
  LookupThreads lookups_;
  std::chrono::milliseconds echo_timeout_;
  unsigned resolve_timeout_ms_;
  RecentHosts recent_;
  ui::Font bold_font_;
  std::u16string own_address_;
  std::u16string host_;
  int repeat_mode_ = 4;
  bool running_ = false;
  bool resolving_ = false;
  int counter_ = 0;
  std::uint32_t destination_ = 0xFFFFFFFFu;
  std::uint32_t request_tag_ = 0;
  RoundTrips round_trips_;
};

}  // namespace kelda::ping
