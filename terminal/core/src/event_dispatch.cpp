// Marshalling of the client library's events to the user-interface thread,
// and their dispatch there.
#include <cstring>
#include <memory>

#include "terminal/data_feed_manager.h"
#include "terminal/main_frame.h"
#include "terminal/main_view.h"
#include "terminal/text_log.h"
#include "ui/services.h"
#include "ui/window.h"

namespace kelda::terminal {
namespace {

// A copy of a current-values event: the header with its own value array.
struct ValueEventCopy {
  KelapiDataEvent header{};
  std::unique_ptr<KelapiValueRecord[]> values;
};

char* copy_text_block(uintptr_t lparam) {
  const char* text = reinterpret_cast<const char*>(lparam);
  const std::size_t n = text == nullptr ? 0 : std::strlen(text);
  auto copy = std::make_unique<char[]>(n + 1);
  if (n != 0) std::memcpy(copy.get(), text, n);
  copy[n] = '\0';
  return copy.release();
}

bool carries_text(uint32_t code, uintptr_t wparam) {
  return (code == KELAPI_EVENT_NEWSTATUS && wparam == 1) || code == KELAPI_EVENT_TRANSREPLY ||
         (code == KELAPI_EVENT_DLIFILE && (wparam >> 16) == 1);
}

bool carries_record(uint32_t code, uintptr_t wparam) {
  return (code == KELAPI_EVENT_KILLMONEYLIMIT || code == KELAPI_EVENT_KILLDEPOLIMIT) && wparam != 0;
}

// Deleted limits come as their 88-byte (money) and 112-byte (securities) forms.
std::size_t deleted_record_size(uint32_t code) { return code == KELAPI_EVENT_KILLMONEYLIMIT ? 88 : 112; }

void release_copy(uint32_t code, WPARAM wparam, LPARAM lparam) {
  if (carries_text(code, wparam)) {
    std::unique_ptr<char[]>(reinterpret_cast<char*>(lparam));
  } else if (carries_record(code, wparam)) {
    std::unique_ptr<unsigned char[]>(reinterpret_cast<unsigned char*>(wparam));
  } else if (code == KELAPI_EVENT_NEWDATAEX) {
    std::unique_ptr<ValueEventCopy>(reinterpret_cast<ValueEventCopy*>(wparam));
  }
}

template <uint32_t Code>
void release_posted(WPARAM wparam, LPARAM lparam) {
  release_copy(Code, wparam, lparam);
}

using Release = void (*)(WPARAM, LPARAM);
Release release_for(uint32_t code) {
  switch (code) {
    case KELAPI_EVENT_NEWSTATUS: return &release_posted<KELAPI_EVENT_NEWSTATUS>;
    case KELAPI_EVENT_TRANSREPLY: return &release_posted<KELAPI_EVENT_TRANSREPLY>;
    case KELAPI_EVENT_DLIFILE: return &release_posted<KELAPI_EVENT_DLIFILE>;
    case KELAPI_EVENT_KILLMONEYLIMIT: return &release_posted<KELAPI_EVENT_KILLMONEYLIMIT>;
    case KELAPI_EVENT_KILLDEPOLIMIT: return &release_posted<KELAPI_EVENT_KILLDEPOLIMIT>;
    case KELAPI_EVENT_NEWDATAEX: return &release_posted<KELAPI_EVENT_NEWDATAEX>;
    default: return nullptr;
  }
}

}  // namespace

int DataFeedManager::on_client_event(uint32_t code, uintptr_t wparam, uintptr_t lparam) {
  if (code == KELAPI_EVENT_NEWMINUTES || code == 0 || code > kClientEventLast) return 0;
  DataFeedManager* m = manager();
  if (m == nullptr) return 0;
  WPARAM w = wparam;
  LPARAM l = static_cast<LPARAM>(lparam);
  if (code == KELAPI_EVENT_START) {
    // The handler reads the trade date; the record itself stays behind.
    const auto* info = reinterpret_cast<const KelapiStartInfo*>(wparam);
    w = info != nullptr ? info->trade_date : 0;
  } else if (carries_text(code, wparam)) {
    l = reinterpret_cast<LPARAM>(copy_text_block(lparam));
  } else if (carries_record(code, wparam)) {
    const std::size_t size = deleted_record_size(code);
    auto copy = std::make_unique<unsigned char[]>(size);
    std::memcpy(copy.get(), reinterpret_cast<const void*>(wparam), size);
    w = reinterpret_cast<WPARAM>(copy.release());
  } else if (code == KELAPI_EVENT_NEWDATAEX) {
    const auto* header = reinterpret_cast<const KelapiDataEvent*>(wparam);
    auto copy = std::make_unique<ValueEventCopy>();
    if (header != nullptr) {
      copy->header = *header;
      const uint32_t count = header->values != nullptr ? header->count : 0;
      copy->values = std::make_unique<KelapiValueRecord[]>(count);
      if (count != 0) std::memcpy(copy->values.get(), header->values, count * sizeof(KelapiValueRecord));
      copy->header.count = count;
    }
    copy->header.values = copy->values.get();
    w = reinterpret_cast<WPARAM>(copy.release());
  } else if (code == KELAPI_EVENT_TRANSREPLYEX || code == KELAPI_EVENT_NEWTRADER ||
             code == KELAPI_EVENT_NEWTRADERMSG || code == KELAPI_EVENT_SERVERMESSAGE ||
             code == KELAPI_EVENT_DATABLOCK || code == KELAPI_EVENT_NEWTRADERMSGEX) {
    return 0;  // events with library pointers that the terminal does not handle
  }
  if (!ui::post_message(m->frame(), kClientEventBase + code, w, l, release_for(code))) {
    release_copy(code, w, l);
  }
  return 0;
}

LRESULT DataFeedManager::dispatch_client_event(uint32_t code, WPARAM wparam, LPARAM lparam) {
  if (connecting_) {
    deferred_.push_back({code, wparam, lparam});
    return 0;
  }
  if (!batch && view_ != nullptr) {
    view_->light_lamp();
    ui::set_timer(view_->hwnd(), kActivityTimer, 250);
    batch = true;
  }
  return handle_event(code, wparam, lparam);
}

LRESULT DataFeedManager::handle_event(uint32_t code, WPARAM wparam, LPARAM lparam) {
  const auto number = static_cast<uint32_t>(lparam);
  switch (code) {
    case KELAPI_EVENT_START: on_start_event(static_cast<uint32_t>(wparam)); break;
    case KELAPI_EVENT_NEWSTATUS:
      on_status_event(wparam, wparam == 1 ? reinterpret_cast<char*>(lparam) : nullptr);
      break;
    case KELAPI_EVENT_NEWTRADE: on_trade(number); break;
    case KELAPI_EVENT_NEWORDER: on_order(number); break;
    case KELAPI_EVENT_NEWTRDACCOUNT: on_account(number); break;
    case KELAPI_EVENT_NEWTRANSACTION: update_new_order_command(frame()); break;
    case KELAPI_EVENT_TRANSREPLY: show_transaction_reply(reinterpret_cast<char*>(lparam)); break;
    case KELAPI_EVENT_NEWCLASS: on_new_class(number); break;
    case KELAPI_EVENT_NEWPRICE: on_price(static_cast<uint32_t>(wparam), number); break;
    case KELAPI_EVENT_NEWSTOPORDER: on_stop_order(number); break;
    case KELAPI_EVENT_DLIFILE: {
      const bool failed = (wparam >> 16) == 1;
      margin_.on_rule_file(failed, static_cast<uint16_t>(wparam & 0xFFFF),
                           failed ? reinterpret_cast<char*>(lparam) : nullptr);
      break;
    }
    case KELAPI_EVENT_NEWDATAEX: {
      std::unique_ptr<ValueEventCopy> copy(reinterpret_cast<ValueEventCopy*>(wparam));
      if (copy) on_values(copy->header);
      break;
    }
    case KELAPI_EVENT_NEWMONEYLIMIT: on_money_limit(number); break;
    case KELAPI_EVENT_NEWDEPOLIMIT: on_depo_limit(number); break;
    case KELAPI_EVENT_KILLMONEYLIMIT: on_money_limit_deleted(reinterpret_cast<unsigned char*>(wparam)); break;
    case KELAPI_EVENT_KILLDEPOLIMIT: on_depo_limit_deleted(reinterpret_cast<unsigned char*>(wparam)); break;
    case KELAPI_EVENT_NEWFUTURESLIMIT: on_futures_limit(number); break;
    case KELAPI_EVENT_KILLFUTURESLIMIT: on_futures_limit_removed(static_cast<int32_t>(lparam)); break;
    case KELAPI_EVENT_NEWFUTURESHOLDING: on_futures_holding(number); break;
    case KELAPI_EVENT_NEWNEWS: on_news(static_cast<uint32_t>(wparam), number); break;
    default:
      release_copy(code, wparam, lparam);
      break;
  }
  return 0;
}

void DataFeedManager::show_transaction_reply(char* text) {
  std::unique_ptr<char[]> owned(text);
  const std::string reply = owned ? std::string(owned.get()) : std::string();
  ui::message_box(frame(), to_wide(reply), u"Результат транзакции", ui::mb::ok | ui::mb::icon_information);
}

void DataFeedManager::update_menu() { update_menu_state(frame()); }

bool DataFeedManager::new_order_available() {
  if (!connected_) return false;
  for (const auto& [code, cls] : tables_.classes) {
    if (client_.is_transaction_available(code.c_str(), 4) == KELAPI_OK) return true;
  }
  return false;
}

}  // namespace kelda::terminal
