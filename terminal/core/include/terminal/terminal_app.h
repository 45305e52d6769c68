// TerminalApp: the terminal program's application object. It creates the one
// DataFeedManager (settings read, client callback registered) and publishes
// it through manager(); init_instance() binds the margin library, registers
// the resources and window kinds, creates and shows the main frame.
//
// Threading: user-interface thread; one TerminalApp per process.
#pragma once

#include <memory>

#include "terminal/client_api.h"
#include "terminal/data_feed_manager.h"
#include "terminal/main_frame.h"

namespace kelda::terminal {

// Registers the menus, tool bars, dialogs and pictures of the terminal core
// (idempotent).
void register_terminal_resources();

class TerminalApp {
 public:
  explicit TerminalApp(ClientApi& client = kelapi_client());
  ~TerminalApp();
  TerminalApp(const TerminalApp&) = delete;
  TerminalApp& operator=(const TerminalApp&) = delete;

  // False when the program must end (the margin library could not be bound,
  // or the frame could not be made).
  bool init_instance();
  DataFeedManager& data() { return *manager_; }
  CMainFrame* frame() { return frame_.get(); }

 private:
  std::unique_ptr<DataFeedManager> manager_;
  std::unique_ptr<CMainFrame> frame_;
};

}  // namespace kelda::terminal
