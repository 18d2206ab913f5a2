// The two choosers of the edit panel: a folder dialog, the rules the chosen
// directory must pass, and the boxes filled when it does. A refused choice is
// told and the dialog opens again.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "backup/check/path_rules.h"
#include "backup/ui/program_state.h"

namespace kavrel {

// What a chooser asks of the user, the system and the panel.
class ChooserHost {
 public:
  virtual ~ChooserHost() = default;
  // Folder dialogs; "" when cancelled.
  virtual std::string BrowseMonitorDir() = 0;
  virtual std::string BrowseBackupDir(const std::string& start, const std::string& title) = 0;
  virtual void Tell(const std::string& message) = 0;   // OK box
  virtual bool Ask(const std::string& question) = 0;   // Yes/No box; true on Yes

  virtual std::string FileSystemName(const std::string& root) = 0;
  virtual std::string SystemDirectory() = 0;
  virtual bool IsSystemFolder(const std::string& directory) = 0;
  virtual int64_t DirectorySize(const std::string& directory) = 0;
  virtual bool SameRoot(const std::string& a, const std::string& b) = 0;

  virtual std::string MonitorBox() = 0;
  virtual void SetMonitorBox(const std::string& text) = 0;
  virtual void SetBackupBox(const std::string& text) = 0;
  virtual void EnableBackupButton() = 0;
  virtual void EnableConfirm() = 0;
  virtual void DisableConfirm() = 0;
  virtual void CancelEdit() = 0;
  // Every project of the list but the one the panel edits.
  virtual std::vector<ProjectDirs> OtherProjects() = 0;
};

// Runs the monitored-directory chooser until a directory passes or the user
// gives up; projects are the monitored directories of the list.
void ChooseMonitorDir(ChooserHost& host, const std::vector<std::string>& projects, const std::string& suffix);
// Runs the backup-directory chooser for the monitored directory in the panel.
void ChooseBackupDir(ChooserHost& host, const std::string& suffix);

void OnPickMonitorDirClicked(ProgramState& state);
void OnPickBackupDirClicked(ProgramState& state);

}  // namespace kavrel
