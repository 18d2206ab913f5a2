#include "backup/ui/window_topmost.h"

#include "backup/ui/program_globals.h"

namespace kavrel {

namespace {
constexpr int kTopmostEntry = 12;
const char kTopmostCaption[] = "窗口置顶";
const char kReleaseCaption[] = "取消置顶";
}  // namespace

void ReleaseTopmost(ProgramState& state) {
  const MenuItemRef& item = MenuItemTable[kTopmostEntry];
  item.window->SetTopmost(false);
  item.window->SetMenuCaption(item.item, kTopmostCaption);
  state.topmost = false;
}

void OnMenuWindowTopmost(ProgramState& state) {
  const MenuItemRef& item = MenuItemTable[kTopmostEntry];
  if (!state.topmost) {
    item.window->SetTopmost(true);
    item.window->SetMenuCaption(item.item, kReleaseCaption);
    state.topmost = true;
  } else {
    ReleaseTopmost(state);
  }
}

}  // namespace kavrel
