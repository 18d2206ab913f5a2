// What the help window does: its creation, the copy and open of its links.
#pragma once
#include <string>

#include "backup/ui/program_state.h"
#include "shelltool/form.h"

namespace kavrel {

// Shows the help window modally over the main window; returns when it is closed.
void OnHelpButtonClicked(ProgramState& state);
inline void OnMenuHelp(ProgramState& state) { OnHelpButtonClicked(state); }

void BindHelpWindowHandlers(ui::Form& window);
void OnHelpWindowCreated();
void OnVideoLinkBox1MouseUp();
void OnVideoLinkBox2MouseUp();
void OnOpenVideoLink1Clicked();
void OnOpenVideoLink2Clicked();

// Opens a web address with the shell's default program; the result is ignored.
void ShellOpenUrl(const std::string& url);
// Puts text on the clipboard as CF_TEXT; a failure is not reported.
void CopyTextToClipboard(HWND owner, const std::string& text);

}  // namespace kavrel
