#include "apps/kavrel/main_window.h"

#include <iterator>

namespace kavrel {

using ui::ControlKind;

namespace {

const ui::ListColumn kProjectColumns[] = {
    {"ID", 70, ui::Align::Left},
    {"文件数量", 70, ui::Align::Centre},
    {"文件体积", 70, ui::Align::Centre},
    {"监控目录", 180, ui::Align::Left},
    {"备份目录", 213, ui::Align::Left},
};

constexpr uint32_t kStatusField = ui::kDisabled;
constexpr uint32_t kScheduleBox = ui::kCentred | ui::kDigitsAndMinus | ui::kTabStop;

const ui::ControlDef kControls[] = {
    {.id = kGroupBox1, .name = "分组框1", .kind = ControlKind::GroupBox, .left = 14, .top = 8, .width = 626, .height = 146},
    {.id = kMonitorDirBox, .name = "监控目录框", .kind = ControlKind::Edit, .left = 10, .top = 18, .width = 528, .height = 22,
     .parent = kGroupBox1, .flags = ui::kReadOnly},
    {.id = kBackupDirBox, .name = "备份目录框", .kind = ControlKind::Edit, .left = 10, .top = 51, .width = 528, .height = 22,
     .parent = kGroupBox1, .flags = ui::kReadOnly},
    {.id = kMonitorDirButton, .name = "监控目录按钮", .kind = ControlKind::Button, .text = "监控目录", .left = 545, .top = 17,
     .width = 70, .height = 24, .parent = kGroupBox1, .flags = ui::kTabStop},
    {.id = kBackupDirButton, .name = "备份目录按钮", .kind = ControlKind::Button, .text = "备份目录", .left = 545, .top = 50,
     .width = 70, .height = 24, .parent = kGroupBox1, .flags = ui::kDisabled | ui::kTabStop},
    {.id = kConfirmButton, .name = "确定", .kind = ControlKind::Button, .text = "确定", .left = 545, .top = 81, .width = 70,
     .height = 24, .parent = kGroupBox1, .flags = ui::kDisabled | ui::kTabStop},
    {.id = kCancelButton, .name = "取消", .kind = ControlKind::Button, .text = "取消", .left = 545, .top = 110, .width = 70,
     .height = 24, .parent = kGroupBox1, .flags = ui::kTabStop},
    {.id = kPanelLabel, .name = "标签4", .kind = ControlKind::Label,
     .text = "    可以直接备份整个分区，不建议备份系统盘区或目录，监控目录与备份目录必须位于同一分区，\r\n\r\n"
             "不支持跨区备份，仅支持NTFS格式分区，目录不应以.%$开头或含有某些特殊字符(例如法文韩文)。",
     .left = 13, .top = 90, .width = 533, .height = 43, .parent = kGroupBox1},
    {.id = kProjectList, .name = "列表框", .kind = ControlKind::ListView, .left = 640, .top = 14, .width = 624, .height = 138,
     .flags = ui::kGridLines | ui::kCheckBoxes | ui::kSingleSelection | ui::kTabStop,
     .columns = kProjectColumns, .columnCount = int(std::size(kProjectColumns))},
    {.id = kHintLabel, .name = "透明标签1", .kind = ControlKind::TransparentLabel,
     .text = "双击表格可新建项目，双击已有项目可进行修改，右击可调用操作菜单。", .left = 640, .top = 88, .width = 418,
     .height = 12, .flags = ui::kHidden},
    {.id = kAddProjectButton, .name = "添加项目按钮", .kind = ControlKind::Button, .text = "新建项目", .left = 560, .top = 163,
     .width = 80, .height = 28, .flags = ui::kTabStop},
    {.id = kScheduleLabel, .name = "标签1", .kind = ControlKind::Label,
     .text = "时       分       秒后开始监控，检查完成后每间隔       时       分       秒循环检查", .left = 51, .top = 165,
     .width = 501, .height = 24},
    {.id = kStartHours, .name = "小时数1", .kind = ControlKind::Edit, .left = 14, .top = 166, .width = 30, .height = 22,
     .flags = kScheduleBox, .textLimit = 3},
    {.id = kStartMinutes, .name = "分钟数1", .kind = ControlKind::Edit, .left = 68, .top = 166, .width = 30, .height = 22,
     .flags = kScheduleBox, .textLimit = 2},
    {.id = kStartSeconds, .name = "秒数1", .kind = ControlKind::Edit, .left = 122, .top = 166, .width = 30, .height = 22,
     .flags = kScheduleBox, .textLimit = 2},
    {.id = kIntervalHours, .name = "小时数2", .kind = ControlKind::Edit, .left = 345, .top = 166, .width = 30, .height = 22,
     .flags = kScheduleBox, .textLimit = 3},
    {.id = kIntervalMinutes, .name = "分钟数2", .kind = ControlKind::Edit, .left = 398, .top = 166, .width = 30, .height = 22,
     .flags = kScheduleBox, .textLimit = 2},
    {.id = kIntervalSeconds, .name = "秒数2", .kind = ControlKind::Edit, .left = 452, .top = 166, .width = 30, .height = 22,
     .flags = kScheduleBox, .textLimit = 2},
    {.id = kExcludeSystemDirs, .name = "排除系统目录", .kind = ControlKind::CheckBox, .text = "排除系统属性目录", .left = 14,
     .top = 201, .width = 122, .height = 24, .flags = ui::kChecked | ui::kTabStop},
    {.id = kExcludeHiddenDirs, .name = "排除隐藏目录", .kind = ControlKind::CheckBox, .text = "排除隐藏属性目录/文件",
     .left = 142, .top = 201, .width = 153, .height = 24, .flags = ui::kChecked | ui::kTabStop},
    {.id = kExcludeEmptyDirs, .name = "排除空目录", .kind = ControlKind::CheckBox, .text = "排除空目录/文件", .left = 300,
     .top = 201, .width = 117, .height = 24, .flags = ui::kChecked | ui::kTabStop},
    {.id = kHideBackupDir, .name = "隐藏属性", .kind = ControlKind::CheckBox, .text = "置备份目录隐藏属性", .left = 423,
     .top = 201, .width = 131, .height = 24, .flags = ui::kChecked | ui::kTabStop},
    {.id = kStartMonitorButton, .name = "开始监控按钮", .kind = ControlKind::Button, .text = "开始监控", .left = 560,
     .top = 198, .width = 80, .height = 28, .flags = ui::kDisabled | ui::kTabStop},
    {.id = kThreadsCaption, .name = "标签3", .kind = ControlKind::Label, .text = "多线程设置：", .left = 14, .top = 236,
     .width = 72, .height = 24},
    {.id = kThreadSlider, .name = "线程滑块", .kind = ControlKind::Slider, .left = 86, .top = 241, .width = 438, .height = 18,
     .flags = ui::kTabStop, .rangeMin = 1, .rangeMax = 100, .position = 100},
    {.id = kThreadLabel, .name = "线程标签", .kind = ControlKind::Label, .text = "100", .left = 527, .top = 236, .width = 20,
     .height = 24},
    {.id = kHelpButton, .name = "使用说明", .kind = ControlKind::Button, .text = "使用说明", .left = 560, .top = 232,
     .width = 80, .height = 28, .flags = ui::kTabStop},
    {.id = kHintCaption, .name = "编辑框1", .kind = ControlKind::Edit, .text = " 提示：", .left = 1, .top = 275, .width = 50,
     .height = 24, .flags = kStatusField},
    {.id = kProgressBox, .name = "过程框", .kind = ControlKind::Edit, .left = 51, .top = 275, .width = 472, .height = 24,
     .flags = kStatusField},
    {.id = kStateCaption, .name = "编辑框3", .kind = ControlKind::Edit, .text = " 状态：", .left = 523, .top = 275,
     .width = 50, .height = 24, .flags = kStatusField},
    {.id = kStatusBox, .name = "状态框", .kind = ControlKind::Edit, .text = " 就绪", .left = 573, .top = 275, .width = 80,
     .height = 24, .flags = kStatusField},
    {.id = kReportBox, .name = "报告框", .kind = ControlKind::Edit, .text = " >> 如有错误信息，请及时更正。", .left = 14,
     .top = 274, .width = 626, .height = 100, .flags = ui::kHidden | ui::kMultiLine | ui::kReadOnly},
};

// Display order of 右键.
const ui::MenuItemDef kMenu[] = {
    {kMenuNewProject, "新建项目"},
    {kMenuEditProject, "修改项目"},
    {kMenuSeparator1, nullptr, true},
    {kMenuSelectAll, "全选"},
    {kMenuClearAll, "全清"},
    {kMenuInvertSelection, "反选"},
    {kMenuSeparator2, nullptr, true},
    {kMenuMoveToTop, "置顶"},
    {kMenuMoveUp, "上移"},
    {kMenuMoveDown, "下移"},
    {kMenuMoveToBottom, "置底"},
    {kMenuSeparator3, nullptr, true},
    {kMenuDeleteCurrent, "删除当前项目"},
    {kMenuDeleteSelected, "删除选择项目"},
    {kMenuDeleteAll, "删除全部项目"},
    {kMenuSeparator4, nullptr, true},
    {kMenuWindowTopmost, "窗口置顶"},
    {kMenuHelp, "使用帮助"},
    {kMenuSeparator5, nullptr, true},
    {kMenuOpenMonitorDir, nullptr},
    {kMenuOpenBackupDir, nullptr},
};

}  // namespace

const ui::WindowDef kMainWindowDef = {
    .className = kMainWindowClass,
    .caption = "Kavrel　　by Tolvane",
    .left = 50, .top = 50, .width = 660, .height = 330,
    .minimiseBox = true,
    .centred = true,
    .controls = kControls,
    .controlCount = std::size(kControls),
    .menu = kMenu,
    .menuCount = std::size(kMenu),
    .quitOnDestroy = true,
};

ui::Form& MainWindow() {
  static ui::Form form(kMainWindowDef);
  return form;
}

}  // namespace kavrel
