#include "backup/project_list.h"

#include "apps/kavrel/main_window.h"
#include "backup/program_globals.h"

namespace kavrel {

ProjectList ProjectList::Main() { return ProjectList(MainWindow().List(kProjectList)); }

int ProjectList::Append(const std::string& monitorDir, const std::string& backupDir, const std::string& sizeText,
                        bool checked) {
  const int index = list_.RowCount();
  list_.InsertRow(index, std::to_string(index + 1), kImageResting);
  ProjectRow row(list_, index);
  row.SetCell(kColumnSize, sizeText);
  row.SetCell(kColumnMonitorDir, monitorDir);
  row.SetCell(kColumnBackupDir, backupDir);
  row.SetChecked(checked);
  MonitorDirList.push_back(monitorDir);
  return index;
}

std::string CountText(int32_t checkedCount) { return " 当前选中" + std::to_string(checkedCount) + "个项目"; }

void ShowCountText() { MainWindow().SetText(kProgressBox, CountText(CheckedProjectCount)); }

}  // namespace kavrel
