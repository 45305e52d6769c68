// Private: the forms of the extra-parameter dialogs (which fields each kind's
// dialog shows, where they live in the parameter block, how they are edited).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kelda::terminal {

enum class Widget { period, real32, real64, method, method2, price, chart_kind, colour, percent };

struct ParamField {
  const char16_t* caption;
  Widget widget;
  uint16_t offset;  // byte offset in the parameter block
  int page = 0;     // tab page of a tabbed form
  const char16_t* group = nullptr;  // heading shown above the field
  const char16_t* title = nullptr;  // caption of the field's error message (default: caption)
};

struct ParamForm {
  int dialog_id;
  std::vector<int32_t> kinds;
  std::vector<ParamField> fields;
  bool tabbed = false;
};

const std::vector<ParamForm>& param_forms();
const ParamForm* param_form(int32_t kind);
// Fields that a kind shows greyed: the price field of ADX and CCI, the
// signal's chart kind and colour of the MACD histogram.
bool field_disabled(int32_t kind, const ParamField& field);
// The control id of the n-th field.
int field_control_id(int n);
void register_param_form_templates();

}  // namespace kelda::terminal
