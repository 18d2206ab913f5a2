// The main window as the handlers know it: the ids of its controls and menu
// items, and its form. Declared here, filled by the program's window table
// (apps/kavrel/main_window.cpp), so that the handlers need nothing of apps/.
#pragma once
#include "shelltool/form.h"

namespace kavrel {

enum MainControl : int {
  kGroupBox1 = 100,      // 分组框1, the edit panel
  kMonitorDirBox,        // 监控目录框
  kBackupDirBox,         // 备份目录框
  kMonitorDirButton,     // 监控目录按钮
  kBackupDirButton,      // 备份目录按钮
  kConfirmButton,        // 确定
  kCancelButton,         // 取消
  kPanelLabel,           // 标签4
  kProjectList,          // 列表框
  kHintLabel,            // 透明标签1
  kAddProjectButton,     // 添加项目按钮
  kScheduleLabel,        // 标签1
  kStartHours,           // 小时数1
  kStartMinutes,         // 分钟数1
  kStartSeconds,         // 秒数1
  kIntervalHours,        // 小时数2
  kIntervalMinutes,      // 分钟数2
  kIntervalSeconds,      // 秒数2
  kExcludeSystemDirs,    // 排除系统目录
  kExcludeHiddenDirs,    // 排除隐藏目录
  kExcludeEmptyDirs,     // 排除空目录
  kHideBackupDir,        // 隐藏属性
  kStartMonitorButton,   // 开始监控按钮
  kThreadsCaption,       // 标签3
  kThreadSlider,         // 线程滑块
  kThreadLabel,          // 线程标签
  kHelpButton,           // 使用说明
  kHintCaption,          // 编辑框1
  kProgressBox,          // 过程框
  kStateCaption,         // 编辑框3
  kStatusBox,            // 状态框
  kReportBox,            // 报告框
};

// Items of the pop-up menu 右键.
enum MainMenuItem : int {
  kMenuNewProject = 1000,
  kMenuEditProject,
  kMenuSelectAll,
  kMenuClearAll,
  kMenuInvertSelection,
  kMenuMoveToTop,
  kMenuMoveUp,
  kMenuMoveDown,
  kMenuMoveToBottom,
  kMenuDeleteCurrent,
  kMenuDeleteSelected,
  kMenuDeleteAll,
  kMenuWindowTopmost,
  kMenuHelp,
  kMenuOpenMonitorDir,
  kMenuOpenBackupDir,
  kMenuSeparator1,  // after 修改项目
  kMenuSeparator2,  // after 反选
  kMenuSeparator3,  // after 置底
  kMenuSeparator4,  // after 删除全部项目
  kMenuSeparator5,  // after 使用帮助
};

// The program's one main window, built from the table that uses these ids.
ui::Form& MainWindow();

}  // namespace kavrel
