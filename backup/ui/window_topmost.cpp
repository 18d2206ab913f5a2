#include "backup/ui/window_topmost.h"

#include "backup/ui/program_globals.h"
#include "backup/ui/program_state.h"

namespace kavrel {

namespace {
constexpr int kTopmostEntry = 12;
const char kTopmostCaption[] = "窗口置顶";
const char kReleaseCaption[] = "取消置顶";
}  // namespace

void ReleaseTopmost() {
  const MenuItemRef& item = MenuItemTable[kTopmostEntry];
  item.window->SetTopmost(false);
  item.window->SetMenuCaption(item.item, kTopmostCaption);
  Program().topmost = false;
}

void OnMenuWindowTopmost() {
  const MenuItemRef& item = MenuItemTable[kTopmostEntry];
  if (!Program().topmost) {
    item.window->SetTopmost(true);
    item.window->SetMenuCaption(item.item, kReleaseCaption);
    Program().topmost = true;
  } else {
    ReleaseTopmost();
  }
}

}  // namespace kavrel
