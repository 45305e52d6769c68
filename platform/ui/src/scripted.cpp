// The scripted dialog service of tests.
#include "ui/scripted_services.h"

#include "core.h"
#include "ui/testing.h"

namespace kelda::ui {

using namespace detail;

void ScriptedServices::answer_message_box(int answer, std::u16string must_contain) {
  boxes_.push_back(BoxAnswer{answer, std::move(must_contain)});
}

void ScriptedServices::answer_file_dialog(std::optional<std::u16string> path, int filter_index) {
  files_.emplace_back(std::move(path), filter_index);
}

void ScriptedServices::choose_menu_command(UINT command) { menus_.push_back(command); }

void ScriptedServices::on_dialog(const ResourceName& template_name, std::function<void(DialogDriver&)> script) {
  dialogs_.push_back(DialogScript{template_name.to_string(), std::move(script)});
}

void ScriptedServices::on_any_dialog(std::function<void(DialogDriver&)> script) {
  dialogs_.push_back(DialogScript{std::string(), std::move(script)});
}

std::vector<ScriptedServices::Asked> ScriptedServices::asked(Asked::Kind kind) const {
  std::vector<Asked> out;
  for (const auto& a : asked_)
    if (a.kind == kind) out.push_back(a);
  return out;
}

std::vector<std::u16string> ScriptedServices::message_texts() const {
  std::vector<std::u16string> out;
  for (const auto& a : asked_)
    if (a.kind == Asked::Kind::message_box) out.push_back(a.text);
  return out;
}

bool ScriptedServices::all_used() const {
  return boxes_.empty() && files_.empty() && menus_.empty() && dialogs_.empty();
}

namespace {
int cancelled_answer(UINT type) {
  switch (type & mb::type_mask) {
    case mb::ok: return id::ok;
    case mb::yes_no: return id::no;
    case mb::abort_retry_ignore: return id::abort;
    default: return id::cancel;
  }
}
}  // namespace

int ScriptedServices::message_box(const MessageBoxRequest& request) {
  Asked a{Asked::Kind::message_box, request.text, request.caption, {}, request.type, 0, false};
  if (!boxes_.empty()) {
    BoxAnswer ans = boxes_.front();
    boxes_.pop_front();
    if (!ans.must_contain.empty() && request.text.find(ans.must_contain) == std::u16string::npos) {
      problems_.push_back(concat("message box text \"", to_utf8(request.text), "\" lacks \"", to_utf8(ans.must_contain), "\""));
      a.answer = cancelled_answer(request.type);
    } else {
      a.answer = ans.answer;
      a.scripted = true;
    }
  } else {
    a.answer = cancelled_answer(request.type);
  }
  asked_.push_back(a);
  return a.answer;
}

std::optional<FileDialogResult> ScriptedServices::file_dialog(const FileDialogRequest& request) {
  Asked a{Asked::Kind::file_dialog, request.title, {}, {}, request.save ? 1u : 0u, 0, false};
  std::optional<FileDialogResult> out;
  if (!files_.empty()) {
    auto [path, index] = files_.front();
    files_.pop_front();
    a.scripted = true;
    if (path) out = FileDialogResult{*path, index};
  }
  a.answer = out ? 1 : 0;
  asked_.push_back(a);
  return out;
}

void ScriptedServices::run_modal(ModalSession& session) {
  Asked a{Asked::Kind::modal_dialog, get_window_text(session.dialog), {}, session.template_name, 0, 0, false};
  process_pending();
  for (auto it = dialogs_.begin(); it != dialogs_.end(); ++it) {
    if (!it->name.empty() && it->name != session.template_name) continue;
    auto script = std::move(it->script);
    dialogs_.erase(it);
    a.scripted = true;
    DialogDriver driver(session.dialog);
    if (!session.ended()) script(driver);
    process_pending();
    if (!session.ended()) {
      problems_.push_back(concat("dialog ", session.template_name, " left open by its script"));
    }
    break;
  }
  if (!session.ended()) session.end(id::cancel);
  if (WindowData* w = lookup(session.dialog)) a.answer = static_cast<int>(w->dialog_result);
  asked_.push_back(a);
}

UINT ScriptedServices::track_popup_menu(const PopupMenuRequest& request) {
  std::u16string first;
  if (get_menu_item_count(request.menu) > 0) first = get_menu_string(request.menu, 0, mf::by_position);
  Asked a{Asked::Kind::popup_menu, first, {}, {}, request.flags, 0, false};
  if (!menus_.empty()) {
    UINT cmd = menus_.front();
    menus_.pop_front();
    int state = get_menu_state(request.menu, cmd, mf::by_command);
    if (state < 0) {
      problems_.push_back(concat("menu has no command ", std::to_string(cmd)));
    } else if (state & (mf::grayed | mf::disabled)) {
      problems_.push_back(concat("menu command ", std::to_string(cmd), " is greyed"));
    } else {
      a.answer = static_cast<int>(cmd);
      a.scripted = true;
    }
  }
  asked_.push_back(a);
  return static_cast<UINT>(a.answer);
}

}  // namespace kelda::ui
