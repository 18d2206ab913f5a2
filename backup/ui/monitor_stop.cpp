#include "backup/ui/monitor_stop.h"

#include "backup/ui/main_window_controls.h"
#include "backup/check/check_state.h"

namespace kavrel {

void RequestMonitoringStop() {
  ui::Form& window = MainWindow();
  window.SetEnabled(kStartMonitorButton, false);
  window.SetText(kStatusBox, " 正在停止");
  InterlockedExchange(&Counters().stop, 1);
}

}  // namespace kavrel
