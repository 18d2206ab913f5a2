// The handler of 开始监控按钮: a monitoring run of start countdown, passes over
// the ticked projects and interval countdowns, until a stop or one pass.
#pragma once
#include <cstdint>

#include "backup/ui/program_state.h"

namespace kavrel {

void OnStartMonitorClicked(ProgramState& state);

// Normalises the six schedule boxes and gives both values in seconds.
void ReadScheduleSeconds(int32_t& startDelay, int32_t& interval);

}  // namespace kavrel
