// The rules a chosen directory must pass and the backup directory names made
// from it. Plain text in, text out: no dialog, no file system.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kavrel {

constexpr size_t kDriveRootLength = 3;  // "D:\"

// 1-based byte position of the first match of part in text at or after start,
// or -1. A-Z compare case-blind; a match never starts on the second byte of a
// double-byte character, and the part's second bytes must match exactly.
int32_t FindSubstring(const std::string& text, const std::string& part, int32_t start);

// Nesting test of directory against every listed monitored directory except
// previous: 1 when directory is an entry or lies below it, 2 when an entry
// lies below directory, else 0. conflicting receives the entry. directory
// gets its trailing backslash. Case counts.
int32_t CheckPathConflict(const std::vector<std::string>& list, std::string& directory, const std::string& previous,
                          std::string& conflicting);

// The directory's own name: the last component without the trailing "\".
std::string GetDirectoryTitle(const std::string& directory);

// The refusal message of the first failed rule for a monitored directory d
// (ending with "\") on a volume with file system fileSystem; empty when all pass.
std::string MonitorDirRefusal(const std::string& d, const std::string& fileSystem, const std::string& suffix);
// The same for a chosen backup folder g of the monitored directory.
std::string BackupDirRefusal(const std::string& g, bool sameRootAsMonitorDir, const std::string& suffix);
// The nesting message for a CheckPathConflict result of 1 or 2.
std::string NestingRefusal(int32_t conflict, const std::string& d, const std::string& entry);

// Backup directory generated for the accepted monitored directory d.
std::string GeneratedBackupDir(const std::string& d, const std::string& suffix);
// Backup directory under the chosen folder g for the monitored directory m.
std::string FinalBackupDir(const std::string& g, const std::string& m, const std::string& suffix);

// A project's two directories, as its row holds them.
struct ProjectDirs {
  std::string monitorDir;
  std::string backupDir;
};

// What keeps a project from being checked.
enum class ProjectFault : int32_t {
  kNone = 0,
  kNotFullPath,        // a directory named without drive or share: where it lies cannot be told
  kBackupInMonitored,  // the backup directory is, holds or lies inside the monitored tree
  kSharedBackup,       // the backup directory is, holds or lies inside an earlier project's
};

struct ProjectConflict {
  ProjectFault fault = ProjectFault::kNone;
  std::string other;  // the earlier project's backup directory, for kSharedBackup
};

// Whether project `index` of the list may be checked. A backup directory
// inside the monitored tree is allowed only below a folder the scanner passes
// over; of two projects whose backup directories meet, the earlier keeps its
// own. Paths compare as the system resolves them: A-Z case-blind, "." and
// ".." taken, doubled separators and trailing dots and blanks of names ignored.
ProjectConflict FindProjectConflict(const std::vector<ProjectDirs>& projects, size_t index);

// The chooser's refusal of backup directory b for monitored directory m.
std::string ProjectConflictRefusal(const ProjectConflict& conflict, const std::string& b, const std::string& m);

}  // namespace kavrel
