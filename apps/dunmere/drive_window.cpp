#include "apps/dunmere/drive_window.h"

#include <iterator>

#include "apps/common/pictures.h"
#include "shelltool/icon.h"

namespace spacemon {

namespace {

const ui::ListColumn kDriveColumns[] = {
    {"盘符", 50, ui::Align::Left},
    {"总空间", 100, ui::Align::Centre},
    {"已用空间", 100, ui::Align::Centre},
    {"可用空间", 100, ui::Align::Centre},
    {"可用空间变动", 100, ui::Align::Centre},
    {"次数", 50, ui::Align::Centre},
    {"变动累计", 100, ui::Align::Centre},
    {"初始可用空间", 100, ui::Align::Centre},
};

const ui::ControlDef kControls[] = {
    {.id = kDriveList, .name = "列表框", .kind = ui::ControlKind::ListView, .left = 8, .top = 9, .width = 704,
     .height = 39, .flags = ui::kGridLines | ui::kCheckBoxes | ui::kSingleSelection | ui::kStaticHeader,
     .columns = kDriveColumns, .columnCount = int(std::size(kDriveColumns)), .background = RGB(247, 247, 247)},
};

}  // namespace

const ui::WindowDef kDriveSpaceWindowDef = {
    .className = "DunmereDriveSpaceWindow",
    .caption = "Dunmere   by Tolvane",
    .left = 50, .top = 50, .width = 727, .height = 266,
    .minimiseBox = true,
    .centred = true,
    .controls = kControls,
    .controlCount = std::size(kControls),
    .quitOnDestroy = true,
};

ui::Form& DriveSpaceWindow() {
  static ui::Form form(kDriveSpaceWindowDef);
  return form;
}

HICON DriveTrackerIcon() {
  static HICON icon = ui::IconFromFileBytes(kDunmereIconFile, sizeof kDunmereIconFile);
  return icon;
}

}  // namespace spacemon
