#include "backup/ui/monitoring_scheduler.h"

#include <windows.h>

#include <string>

#include "backup/ui/main_window_controls.h"
#include "backup/check/check_run.h"
#include "backup/check/check_state.h"
#include "backup/check/worker_slots.h"
#include "backup/ui/main_check_window.h"
#include "backup/ui/close_query.h"
#include "backup/ui/settings_controls.h"
#include "backup/ui/project_editor.h"
#include "backup/ui/project_list.h"
#include "backup/check/report_line.h"
#include "backup/ui/duration_text.h"
#include "backup/ui/monitor_stop.h"
#include "backup/ui/notice_box.h"
#include "base/utilities.h"
#include "backup/ui/window_icons.h"
#include "backup/ui/window_topmost.h"
#include "base/owned.h"

namespace kavrel {

namespace {

constexpr char kStartCaption[] = "开始监控";
constexpr char kStopCaption[] = "停止监控";
constexpr int32_t kCountdownStepMs = 900;
constexpr int32_t kFinishedPollMs = 1000;

ui::Form& Window() { return MainWindow(); }

bool StopRequested() { return Counters().stop != 0; }

void SetProgress(const std::string& text) { Window().SetText(kProgressBox, text); }

// Counts `total` seconds down in 900 ms steps, the last second never waited;
// text(remaining) is shown after each wait. Returns early on a stop.
template <typename TextOf>
void CountDown(int32_t total, TextOf text) {
  for (int32_t counter = 1; counter <= total; ++counter) {
    if (counter == total || StopRequested()) return;
    DelayWithMessages(kCountdownStepMs);
    SetProgress(text(total - counter));
  }
}

// Ends a finished check thread. The check has only its own clean-up left, so
// it is waited for rather than terminated; the wait keeps messages flowing
// because the check may still write to the window.
void EndCheckThread() {
  if (!Counters().checkThread) return;
  const shell::OwnedHandle thread(Counters().checkThread);  // closed once the counters let go of it
  WaitWithMessages(thread.Get());
  Counters().checkThread = nullptr;
}

// Checks one ticked project on its own thread and waits for its end.
void CheckProject(ProjectRow row) {
  const std::string dir = row.MonitorDir();
  if (!IsDirectory(dir)) {
    row.SetImage(kImageSkipped);
    std::string line = " >> 目录无效，请检查：" + dir;
    ReportLine(line);
    return;
  }
  if (IsDirectoryEmpty(dir)) {
    row.SetImage(kImageSkipped);
    std::string line = " >> 目录为空，已跳过：" + dir;
    ReportLine(line);
    return;
  }
  StartWorkerThread(IncrementalCheckThreadEntry, row.Index() + 1, Counters().checkThread);
  if (!Counters().checkThread) {
    // It would never raise finished: skip the project instead of waiting for ever.
    row.SetImage(kImageSkipped);
    return;
  }
  // A check thread that ended without raising finished is not waited for either.
  while (Counters().finished == 0 && WaitForSingleObject(Counters().checkThread, 0) == WAIT_TIMEOUT)
    DelayWithMessages(kFinishedPollMs);
  const bool ranToItsEnd = Counters().finished != 0;
  EndCheckThread();
  // A check thread the crash guard ended left its workers running on its
  // slots, its backup directory and its counters: they end before the next
  // check takes those up. After a check that finished, nothing is left here.
  EndWorkerSlots();
  // A check that left files out, or that the crash guard ended before its
  // end, keeps the error image until one that does not.
  row.SetImage(Counters().failed > 0 || !ranToItsEnd ? kImageSkipped : kImageResting);
  Counters().finished = 0;
}

// A project whose backup directory meets its own monitored tree or an
// earlier project's backups is never checked: its check would rename and
// replace files there. Read afresh, as rows may be edited during the run.
bool MayBeChecked(const ProjectList& projects, ProjectRow row) {
  if (FindProjectConflict(projects.Directories(), row.Index()).fault == ProjectFault::kNone) return true;
  row.SetImage(kImageSkipped);
  ReportLine(" >> 备份目录与其他目录重叠，已跳过：" + row.BackupDir());
  return false;
}

// What one pass did: the links its checks made and the files they left out.
struct PassCount {
  LONG links = 0;
  LONG failed = 0;
};

// Checks the ticked projects.
PassCount RunPass() {
  ProjectList projects = ProjectList::Main();
  const int count = projects.Count();
  PassCount pass;
  for (int k = 0; k < count; ++k) {
    ProjectRow row = projects.Row(k);
    if (!row.Checked() || !MayBeChecked(projects, row)) continue;
    // A project skipped before its check adds nothing.
    Counters().linked = 0;
    Counters().failed = 0;
    CheckProject(row);
    pass.links += Counters().linked;
    pass.failed += Counters().failed;
    if (StopRequested()) break;
  }
  return pass;
}

// Said after every count of files backed up, when the pass left some out.
std::string UnsavedText(LONG failed) {
  return failed == 0 ? std::string() : "，" + std::to_string(failed) + "个文件未能备份";
}

// backedUp ends the text when the pass made links: "(已备份)" while
// monitoring goes on, "并已备份" at the end of the run.
std::string PassText(const PassCount& pass, const char* backedUp) {
  if (pass.links == 0) return " 本次检查未发现增量文件" + UnsavedText(pass.failed);
  return " 本次检查共发现" + std::to_string(pass.links) + "个增量文件" + backedUp + UnsavedText(pass.failed);
}

std::string CountdownText(const PassCount& pass, int32_t left) {
  if (pass.links == 0)
    return " 无增量文件" + UnsavedText(pass.failed) + "，程序将在" + std::to_string(left) + "秒后重新检查";
  return " 已备份" + std::to_string(pass.links) + "个增量文件" + UnsavedText(pass.failed) + "，" +
         FormatDuration(left) + "后重新检查";
}

void EndRun(ProgramState& state, const PassCount& pass) {
  ui::Form& window = Window();
  window.SetText(kStatusBox, " 监控停止");
  window.SetWindowIcon(IdleIcon());
  SetProgress(StopRequested() ? std::string(" 手动终止检查") : PassText(pass, "并已备份"));
  window.SetEnabled(kStartMonitorButton, true);
  window.SetText(kStartMonitorButton, kStartCaption);
  state.monitoring = false;
  if (state.exitPending != 0) OnMainWindowCloseQuery(state);
}

}  // namespace

void ReadScheduleSeconds(int32_t& startDelay, int32_t& interval) {
  const ScheduleFields fields = NormaliseTimeFields();
  auto seconds = [&fields](int hours, int minutes, int secs) {
    return fields.Value(hours) * 3600 + fields.Value(minutes) * 60 + fields.Value(secs);
  };
  startDelay = seconds(kDelayHours, kDelayMinutes, kDelaySeconds);
  interval = seconds(kPauseHours, kPauseMinutes, kPauseSeconds);
}

void OnStartMonitorClicked(ProgramState& state) {
  ui::Form& window = Window();
  if (state.monitoring) {
    RequestMonitoringStop();
    return;
  }
  ProjectList projects = ProjectList::Main();
  if (projects.Count() == 0) {
    OpenNewProjectPanel(state);
    return;
  }
  bool anyTicked = false;
  for (int k = 0; k < projects.Count() && !anyTicked; ++k) anyTicked = projects.Row(k).Checked();
  if (!anyTicked) {
    ReleaseTopmost(state);
    ShowNotice("请先勾选需要进行监控的项目。");
    return;
  }

  int32_t startDelay = 0, interval = 0;
  ReadScheduleSeconds(startDelay, interval);
  state.monitoring = true;
  window.SetText(kStartMonitorButton, kStopCaption);
  window.SetText(kReportBox, " >> 如有错误信息，请及时更正。");
  Counters().stop = 0;

  if (startDelay > 0) window.SetText(kStatusBox, " 计时等待");
  CountDown(startDelay, [](int32_t left) { return " " + FormatDuration(left) + "后开始进行增量检查"; });
  SetProgress(" 程序已进入工作状态，正在检查监控目录增量文件");

  PassCount pass;
  while (!StopRequested()) {
    pass = RunPass();
    window.SetWindowIcon(IdleIcon());
    if (StopRequested() || interval == 0) break;
    SetProgress(PassText(pass, "(已备份)"));
    Counters().stop = 0;
    window.SetText(kStatusBox, " 计时等待");
    CountDown(interval, [&pass](int32_t left) { return CountdownText(pass, left); });
  }
  EndRun(state, pass);
}

}  // namespace kavrel
