// The program's message boxes: caption "提示信息", exclamation icon.
#pragma once
#include <windows.h>

#include <string>

namespace kavrel {

constexpr UINT kNoticeStyle = MB_OK | MB_ICONEXCLAMATION;        // 48
constexpr UINT kQuestionStyle = MB_YESNO | MB_ICONEXCLAMATION;   // 52

// Shows text in a box owned by the main window; returns the button pressed.
int ShowNotice(const std::string& text, UINT style = kNoticeStyle);
// True when the user answers Yes.
inline bool AskYesNo(const std::string& question) { return ShowNotice(question, kQuestionStyle) == IDYES; }

}  // namespace kavrel
