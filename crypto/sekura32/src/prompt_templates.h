// The library's dialog templates (questions, password, message, activity,
// random bits),
// registered with the ui layer under the module name "sekura32" and their
// numeric ids, and the control ids the prompts use.
//
// Threading: registration happens once, from any thread.
#pragma once

namespace kelda::sekura32 {

inline constexpr const char* kDialogModule = "sekura32";

enum PromptTemplate : int {
  kTemplateQuestion = 1501,  // text prompt
  kTemplateYesNo = 1502,     // yes/no question with a read-only detail field
  kTemplatePassword = 1503,
  kTemplateActivity = 1504,
  kTemplateRandomBits = 1505,  // carried, never shown (skAskRandom asks nothing)
  kTemplateMessage = 1506,
};

enum PromptControl : int {
  kControlOk = 1,
  kControlCancel = 2,
  kControlAnswer = 1510,
  kControlAbort = 1511,
  kControlNo = 1512,
  kControlYes = 1513,
  kControlIcon = 1514,
  kControlPrompt = 1515,
  kControlChoice = 1516,
  kControlBitCount = 1517,  // the count of the random-bits template
};

void register_prompt_templates();

}  // namespace kelda::sekura32
