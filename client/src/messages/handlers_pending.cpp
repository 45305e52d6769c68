// Placeholder handlers: each drops its message until the code of its table
// defines it. When a table is built, its handlers move out of this file into
// the table's code.
#include "handlers.h"

namespace kelda::kelapi {

}  // namespace kelda::kelapi
