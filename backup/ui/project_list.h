// The projects: the rows of the main window's list 列表框, with MonitorDirList
// kept parallel to them.
#pragma once
#include <cstdint>
#include <string>

#include "backup/check/check_window.h"
#include "backup/check/path_rules.h"
#include "backup/ui/program_state.h"
#include "shelltool/form.h"

namespace kavrel {

enum ProjectColumn : int {
  kColumnId = 0,          // 1-based position
  kColumnFileCount = 1,   // files the last check found
  kColumnSize = 2,        // size text of the monitored directory
  kColumnMonitorDir = 3,  // ends with "\"
  kColumnBackupDir = 4,   // ends with "\"
};

constexpr int kMaxProjects = 100;

// The size column's text for a monitored directory's measured size. One that
// could not be measured (-1) reads as an empty one, not as "-0K".
std::string SizeColumnText(int64_t folderSize);

// One row of the list.
class ProjectRow {
 public:
  ProjectRow(ui::ListView list, int index) : list_(list), index_(index) {}
  int Index() const { return index_; }
  std::string Cell(int column) const { return list_.Cell(index_, column); }
  void SetCell(int column, const std::string& text) { list_.SetCell(index_, column, text); }
  std::string MonitorDir() const { return Cell(kColumnMonitorDir); }
  std::string BackupDir() const { return Cell(kColumnBackupDir); }
  bool Checked() const { return list_.Checked(index_); }
  void SetChecked(bool checked) { list_.SetChecked(index_, checked); }  // raises no event
  int Image() const { return list_.Image(index_); }
  void SetImage(int image) { list_.SetImage(index_, image); }

 private:
  ui::ListView list_;
  int index_;
};

// The list of the main window.
class ProjectList {
 public:
  static ProjectList Main();
  explicit ProjectList(ui::ListView list) : list_(list) {}

  int Count() const { return list_.RowCount(); }
  ProjectRow Row(int index) const { return ProjectRow(list_, index); }
  ui::ListView View() const { return list_; }
  // Columns 3 and 4 of every row, top to bottom.
  std::vector<ProjectDirs> Directories() const;

  // Appends a project at the end, with its position in column 0, image 1
  // and its MonitorDirList entry; returns its index. Column 1 stays empty.
  int Append(const std::string& monitorDir, const std::string& backupDir, const std::string& sizeText,
             bool checked);

  // Moves carry the whole project (columns 1-4, check, image) and its
  // MonitorDirList entry; column 0 keeps the positions. cur is 0-based and
  // must have the neighbour the move needs. Check changes raise no event.
  void MoveUp(int cur);
  void MoveDown(int cur);
  void MoveToTop(int cur);
  void MoveToBottom(int cur);

  // Deletes a row with its MonitorDirList entry and renumbers the rest;
  // true when the row was ticked.
  bool Delete(int row);
  // Deletes every ticked row; returns how many went.
  int DeleteTicked();
  void DeleteAll();

  void SetAllChecked(bool checked);
  void InvertChecks();

  // Column 0 of rows from..end := their 1-based positions.
  void Renumber(int from = 0);

 private:
  // Inserts a copy of row `from` at `at`; returns the index `from` has afterwards.
  int InsertCopy(int from, int at);

  ui::ListView list_;
};

// " 当前选中" + count + "个项目".
std::string CountText(int32_t checkedCount);
// Writes the count text of the ticked projects to 过程框.
void ShowCountText(const ProgramState& state);

}  // namespace kavrel
