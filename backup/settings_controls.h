// The main window's controls that the settings file stores, in file order.
#pragma once
#include "apps/kavrel/main_window.h"
#include "backup/settings_text.h"

namespace kavrel {

inline constexpr int kOptionBoxes[kOptionCount] = {kExcludeSystemDirs, kExcludeHiddenDirs, kExcludeEmptyDirs,
                                                   kHideBackupDir};
inline constexpr int kScheduleBoxes[kScheduleCount] = {kStartHours,    kStartMinutes,    kStartSeconds,
                                                       kIntervalHours, kIntervalMinutes, kIntervalSeconds};

}  // namespace kavrel
