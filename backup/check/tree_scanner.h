// The first half of a check: walks the monitored tree under the skip rules,
// mirrors every kept directory under the backup root and collects the full
// path of every kept file as it is on disk. The backup's entries, and the
// report lines that name a listed file, lower-case its file name.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "backup/check/check_window.h"

namespace kavrel {

class TreeScanner {
 public:
  TreeScanner(const CheckOptions& options, CheckWindow& window) : options_(options), window_(window) {}

  // Appends every kept file below scanDir to fileList and returns its size.
  // scanDir ends without a backslash unless it is a drive root; a longer one
  // gets a backslash here. backupRoot ends with a backslash.
  int EnumerateProjectFiles(std::string& scanDir, std::vector<std::string>& fileList,
                            const std::string& backupRoot, int rowIndex);
  // The kept files directly in directory; replaces files.
  void ListFilesFiltered(const std::string& directory, std::vector<std::string>& files) const;
  // Appends the kept directories below directory in walk order: a level's
  // kept children together, then the subtree of each in turn. Returns how
  // many it kept, 0 after a stop.
  int EnumerateSubdirectories(std::string& directory, std::vector<std::string>& directoryList) const;

 private:
  bool KeepDirectory(const std::string& name, const std::string& path, bool reachable) const;

  CheckOptions options_;
  CheckWindow& window_;
};

// Replaces output with directory + name of every non-directory entry that
// pattern matches, as it is on disk: under Wine on a case-sensitive file
// system, a name opened in any other case costs a search of its whole
// folder. Returns how many. A name no path reaches and a directory that
// cannot be read are reported and counted as not backed up; a directory
// gone from its folder since the walk is not.
int FindFiles(const std::string& directory, const std::string& pattern, std::vector<std::string>& output);
bool HasSubdirectories(const std::string& directory);
// True when the folder holding path can still be listed and no longer holds
// path's name, looked up as the walk found it: only then is path gone. A
// folder, monitored directory or drive no longer reached tells nothing.
bool GoneFromItsFolder(const std::string& path);
// Folders the scanner passes over silently, with everything below them: a
// name beginning with "." or ending in "_backupx" (compared exactly).
bool PassedOverSilently(const std::string& name);
int64_t GetFileSize64(const std::string& path);  // -1 when it cannot be read
void PumpMessages();

}  // namespace kavrel
