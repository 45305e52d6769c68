// A dialog service that answers from a script, for tests.
//
// Message boxes take the next queued answer (each answer may name a piece of
// text the box must contain); file dialogs the next queued path; pop-up menus
// the next queued command; a modal dialog runs the next script queued for its
// template (or for any template), which drives the dialog's controls with the
// input helpers of testing.h while the dialog is really open. What is not
// scripted is answered "cancelled": id::cancel (id::no for Yes/No boxes,
// id::ok for boxes with only OK), no file, no command; a modal dialog without
// a script is ended with id::cancel right after its initialisation, and so is
// one whose script returns leaving it open. Everything asked is recorded.
//
// Threading: set up and read on the test's user-interface thread.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/export.h"
#include "ui/resources.h"
#include "ui/services.h"

namespace kelda::ui {

class DialogDriver;

class KELDA_UI_API ScriptedServices : public Services {
 public:
  struct Asked {
    enum class Kind { message_box, file_dialog, modal_dialog, popup_menu } kind;
    std::u16string text;     // message text, file dialog title, menu's first item
    std::u16string caption;  // message caption
    std::string name;        // template name of a modal dialog
    UINT type = 0;           // message box type, menu flags
    int answer = 0;          // what was answered (dialog result, command, button)
    bool scripted = false;
  };

  // Answers the next message box; with `must_contain` the box's text must
  // contain it, else the box is answered "cancelled" and the mismatch recorded.
  void answer_message_box(int answer, std::u16string must_contain = {});
  void answer_file_dialog(std::optional<std::u16string> path, int filter_index = 1);
  void choose_menu_command(UINT command);
  // Runs `script` in the next modal dialog made from `template_name`
  // ("" matches any template), in queue order.
  void on_dialog(const ResourceName& template_name, std::function<void(DialogDriver&)> script);
  void on_any_dialog(std::function<void(DialogDriver&)> script);

  const std::vector<Asked>& asked() const { return asked_; }
  std::vector<Asked> asked(Asked::Kind kind) const;
  std::vector<std::u16string> message_texts() const;
  // Notes of what did not go as scripted (unmatched texts, dialogs left open).
  const std::vector<std::string>& problems() const { return problems_; }
  bool all_used() const;

  int message_box(const MessageBoxRequest& request) override;
  std::optional<FileDialogResult> file_dialog(const FileDialogRequest& request) override;
  void run_modal(ModalSession& session) override;
  UINT track_popup_menu(const PopupMenuRequest& request) override;

 private:
  struct BoxAnswer {
    int answer;
    std::u16string must_contain;
  };
  struct DialogScript {
    std::string name;  // "" any
    std::function<void(DialogDriver&)> script;
  };
  std::deque<BoxAnswer> boxes_;
  std::deque<std::pair<std::optional<std::u16string>, int>> files_;
  std::deque<UINT> menus_;
  std::deque<DialogScript> dialogs_;
  std::vector<Asked> asked_;
  std::vector<std::string> problems_;
};

}  // namespace kelda::ui
