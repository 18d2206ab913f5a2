#include "backup/monitor_stop.h"

#include "apps/kavrel/main_window.h"
#include "backup/check_state.h"

namespace kavrel {

void RequestMonitoringStop() {
  ui::Form& window = MainWindow();
  window.SetEnabled(kStartMonitorButton, false);
  window.SetText(kStatusBox, " 正在停止");
  InterlockedExchange(&Counters().stop, 1);
}

}  // namespace kavrel
