// Typed transaction builders: each makes a transaction text from its
// arguments by walking the fields of the kind that its code names in the
// class, choosing each field's value by the field's roles, and sends it as
// any caller's text would be sent.
//
// Runs under the library lock (the export takes it). Allocation failure
// throws.
#pragma once

#include <cstdint>
#include <string>

#include "keldaapi/keldaapi.h"

namespace kelda::kelapi {

class Library;

enum class Builder : uint8_t {
  new_order,
  new_stop_order,
  new_address_order,
  kill_order,
  kill_stop_order,
  kill_address_order,
  kill_report,
  new_report,
  set_futures_limit,
  del_futures_limit,
};

// The arguments a builder takes; texts not used by a builder stay null.
struct BuilderArgs {
  uint32_t trans_id = 0;
  const char* class_code = nullptr;
  const char* security = nullptr;
  const char* account = nullptr;
  const char* stop_price = nullptr;
  const char* price = nullptr;
  const char* quantity = nullptr;
  const char* client_code = nullptr;
  const char* number = nullptr;  // order, stop-order or report number; the value of a new report
  const char* extra1 = nullptr;
  const char* extra2 = nullptr;
  const char* extra3 = nullptr;
  uint32_t options = 0;  // side of a new report
  uint32_t futures_limit = 0;  // caller number of the futures limit (set and delete)
};

// The export of a builder: state, argument checks, the text, the send.
// The futures-limit builders take their kind from the limit: the first kind
// of any class (classes in index order, present or not) whose kind id is
// the limit's W1 word (set) or W2 word (delete); the delete builder takes
// the account and the type from the limit itself.
KelapiResult do_built_transaction(Library& lib, Builder builder, const BuilderArgs& args);

}  // namespace kelda::kelapi
