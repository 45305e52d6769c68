// Parser of a firm's rule text: sections of key=value lines in square-bracket
// headers. Parsing never fails on content (lines that break the rules are
// skipped); it throws only std::bad_alloc. The result's class lists are not
// yet resolved: the caller runs refresh_rules() on it.
#pragma once

#include <string_view>

#include "rules.h"

namespace kelda::margin {

Owned<FirmRules> parse_rule_text(const Code& firm_id, std::string_view text);

}  // namespace kelda::margin
