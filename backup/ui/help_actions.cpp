#include "backup/ui/help_actions.h"

#include <shellapi.h>

#include <cstring>

#include "backup/ui/help_window_controls.h"
#include "backup/ui/main_window_controls.h"
#include "backup/ui/window_icons.h"
#include "backup/ui/window_topmost.h"

namespace kavrel {

void OnHelpButtonClicked(ProgramState& state) {
  ReleaseTopmost(state);
  ui::Form& help = HelpWindow();
  BindHelpWindowHandlers(help);
  help.ShowModal(MainWindow().Window());
}

void BindHelpWindowHandlers(ui::Form& window) {
  using ui::Event;
  window.Bind(ui::kWindow, Event::Created, OnHelpWindowCreated);
  window.Bind(kBilibiliBox, Event::LeftButtonUp, OnVideoLinkBox1MouseUp);
  window.Bind(kIxiguaBox, Event::LeftButtonUp, OnVideoLinkBox2MouseUp);
  window.Bind(kBilibiliButton, Event::Clicked, OnOpenVideoLink1Clicked);
  window.Bind(kIxiguaButton, Event::Clicked, OnOpenVideoLink2Clicked);
}

void OnHelpWindowCreated() {
  HelpWindow().RemoveMinimiseBox();
  HelpWindow().SetWindowIcon(BusyIcon());
}

void OnVideoLinkBox1MouseUp() { CopyTextToClipboard(HelpWindow().Window(), kBilibiliLink); }
void OnVideoLinkBox2MouseUp() { CopyTextToClipboard(HelpWindow().Window(), kIxiguaLink); }
void OnOpenVideoLink1Clicked() { ShellOpenUrl(kBilibiliLink); }
void OnOpenVideoLink2Clicked() { ShellOpenUrl(kIxiguaLink); }

void ShellOpenUrl(const std::string& url) {
  ShellExecuteA(nullptr, "open", url.c_str(), "", "", SW_SHOWNORMAL);
}

void CopyTextToClipboard(HWND owner, const std::string& text) {
  if (!OpenClipboard(owner)) return;
  EmptyClipboard();
  if (HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
    if (void* bytes = GlobalLock(block)) {
      std::memcpy(bytes, text.c_str(), text.size() + 1);
      GlobalUnlock(block);
      if (!SetClipboardData(CF_TEXT, block)) GlobalFree(block);
    } else {
      GlobalFree(block);
    }
  }
  CloseClipboard();
}

}  // namespace kavrel
