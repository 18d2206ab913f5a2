// The main window's controls that the settings file stores, in file order,
// and the normalising of its schedule boxes.
#pragma once
#include "backup/ui/main_window_controls.h"
#include "backup/settings/schedule_fields.h"
#include "backup/settings/settings_text.h"

namespace kavrel {

inline constexpr int kOptionBoxes[kOptionCount] = {kExcludeSystemDirs, kExcludeHiddenDirs, kExcludeEmptyDirs,
                                                   kHideBackupDir};
inline constexpr int kScheduleBoxes[kScheduleCount] = {kStartHours,    kStartMinutes,    kStartSeconds,
                                                       kIntervalHours, kIntervalMinutes, kIntervalSeconds};

// Applies the schedule carries and caps to the six boxes and returns their values.
ScheduleFields NormaliseTimeFields();

}  // namespace kavrel
