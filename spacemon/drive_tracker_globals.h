// Dunmere's process-wide variables, created at start and freed at exit.
#pragma once
#include <atomic>
#include <cstdint>

#include "spacemon/enabled_flag_array.h"

namespace spacemon {

// 1 asks the monitor thread to clear and rebuild the list.
extern std::atomic<int32_t> RebuildRequested;
// Element k for list row k - 1: 1 when that drive is polled.
extern EnabledFlagArray DriveEnabledFlags;

void InitDriveTrackerGlobals();
void AllocateDriveTrackerGlobals();
void ReleaseDriveTrackerGlobals();
void FreeDriveTrackerGlobals();

}  // namespace spacemon
