#include "backup/ui/project_list.h"

#include <algorithm>

#include "backup/ui/main_window_controls.h"
#include "backup/ui/program_globals.h"
#include "backup/ui/program_state.h"
#include "base/utilities.h"

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

std::vector<ProjectDirs> ProjectList::Directories() const {
  std::vector<ProjectDirs> dirs;
  for (int r = 0; r < Count(); ++r) dirs.push_back(ProjectDirs{Row(r).MonitorDir(), Row(r).BackupDir()});
  return dirs;
}

int ProjectList::InsertCopy(int from, int at) {
  const ProjectRow source = Row(from);
  list_.InsertRow(at, std::string(), source.Image());
  const int sourceAfter = at <= from ? from + 1 : from;
  ProjectRow copy(list_, at);
  ProjectRow original(list_, sourceAfter);
  for (int column = kColumnFileCount; column <= kColumnBackupDir; ++column) copy.SetCell(column, original.Cell(column));
  copy.SetChecked(original.Checked());
  return sourceAfter;
}

void ProjectList::MoveUp(int cur) {
  std::swap(MonitorDirList[cur - 1], MonitorDirList[cur]);
  list_.DeleteRow(InsertCopy(cur - 1, cur + 1));
  Row(cur - 1).SetCell(kColumnId, std::to_string(cur));
  Row(cur).SetCell(kColumnId, std::to_string(cur + 1));
  list_.Redraw();
}

void ProjectList::MoveDown(int cur) {
  std::swap(MonitorDirList[cur], MonitorDirList[cur + 1]);
  list_.DeleteRow(InsertCopy(cur + 1, cur));
  Row(cur).SetCell(kColumnId, std::to_string(cur + 1));
  Row(cur + 1).SetCell(kColumnId, std::to_string(cur + 2));
  list_.Redraw();
}

void ProjectList::MoveToTop(int cur) {
  std::rotate(MonitorDirList.begin(), MonitorDirList.begin() + cur, MonitorDirList.begin() + cur + 1);
  list_.DeleteRow(InsertCopy(cur, 0));
  Renumber();
  list_.Redraw();
}

void ProjectList::MoveToBottom(int cur) {
  std::rotate(MonitorDirList.begin() + cur, MonitorDirList.begin() + cur + 1, MonitorDirList.end());
  list_.DeleteRow(InsertCopy(cur, Count()));
  Renumber();
  list_.Redraw();
}

bool ProjectList::Delete(int row) {
  const bool ticked = Row(row).Checked();
  list_.DeleteRow(row);
  MonitorDirList.erase(MonitorDirList.begin() + row);
  Renumber(row);
  list_.Redraw();
  return ticked;
}

int ProjectList::DeleteTicked() {
  int deleted = 0;
  for (int row = Count() - 1; row >= 0; --row) {
    if (!Row(row).Checked()) continue;
    list_.DeleteRow(row);
    MonitorDirList.erase(MonitorDirList.begin() + row);
    ++deleted;
  }
  Renumber();
  list_.Redraw();
  return deleted;
}

void ProjectList::DeleteAll() {
  list_.Clear();
  MonitorDirList.clear();
  list_.Redraw();
}

void ProjectList::SetAllChecked(bool checked) {
  for (int row = 0; row < Count(); ++row) Row(row).SetChecked(checked);
}

void ProjectList::InvertChecks() {
  for (int row = 0; row < Count(); ++row) Row(row).SetChecked(!Row(row).Checked());
}

void ProjectList::Renumber(int from) {
  for (int row = from; row < Count(); ++row) Row(row).SetCell(kColumnId, std::to_string(row + 1));
}

std::string SizeColumnText(int64_t folderSize) { return FormatByteSize(folderSize < 0 ? 0 : folderSize); }

std::string CountText(int32_t checkedCount) { return " 当前选中" + std::to_string(checkedCount) + "个项目"; }

void ShowCountText(const ProgramState& state) { MainWindow().SetText(kProgressBox, CountText(state.checkedCount)); }

}  // namespace kavrel
