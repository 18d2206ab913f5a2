// The second half of a check: a worker's pass over its chunk of the file
// list. An entry still linked to its source is left alone; a superseded one
// is moved aside under a free ".old" name; then a new hard link is made.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace kavrel {

// What GetFileInformationByHandle tells of a file, compared in a fixed order.
class FileIdentity {
 public:
  FileIdentity() = default;
  explicit FileIdentity(const BY_HANDLE_FILE_INFORMATION& info) : info_(info) {}
  // False when the file cannot be opened or read.
  bool Read(const std::string& path);
  DWORD Links() const { return info_.nNumberOfLinks; }
  bool SameAs(const FileIdentity& other) const;

 private:
  BY_HANDLE_FILE_INFORMATION info_ = {};
};

// One worker's pass; running is 1 from its start to its end.
void BackupWorker(const std::vector<std::string>& fileList, volatile LONG& running, int prefixLength);
// True: leave the destination alone (still the source, or unreadable, which
// is counted as not backed up).
bool IsUnchangedLink(const std::string& source, const std::string& destination);
// True when the old entry (a file or a folder) was moved aside under ".old",
// ".old1" ... ".old50".
bool RenameOldBackup(const std::string& destination);
// True, with a report line, when the source's folder no longer holds its
// name: a file removed or moved since the scan is skipped, not counted as
// left out. One whose folder or drive is no longer reached is counted.
bool SourceVanished(const std::string& source);
void AtomicIncrement(volatile LONG& counter);
// Reports the failed link and counts the file as not backed up.
void ReportLinkFailure(const std::string& destination);
void YieldIfInputPending();

}  // namespace kavrel
