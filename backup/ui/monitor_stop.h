// The stop request of the start button while monitoring runs.
#pragma once

namespace kavrel {

// Disables 开始监控按钮, shows " 正在停止" and raises the stop flag; the
// running check and the scheduler see the flag and end the run.
void RequestMonitoringStop();

}  // namespace kavrel
