#include "backup/check/link_writer.h"

#include "backup/check/check_state.h"
#include "backup/check/file_search.h"
#include "backup/check/report_line.h"
#include "backup/check/tree_scanner.h"
#include "base/gbk_text.h"
#include "base/owned.h"

namespace kavrel {

bool FileIdentity::Read(const std::string& path) {
  // Access 0 reads attributes only and leaves the last-access time alone.
  shell::OwnedHandle file(CreateFileW(WidePath(path).c_str(), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  return file.Valid() && GetFileInformationByHandle(file.Get(), &info_) != FALSE;
}

bool FileIdentity::SameAs(const FileIdentity& other) const {
  const BY_HANDLE_FILE_INFORMATION& a = info_;
  const BY_HANDLE_FILE_INFORMATION& b = other.info_;
  // The size's high part is not compared.
  return a.nNumberOfLinks == b.nNumberOfLinks && a.nFileSizeLow == b.nFileSizeLow &&
         a.dwFileAttributes == b.dwFileAttributes && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
         a.ftLastAccessTime.dwLowDateTime == b.ftLastAccessTime.dwLowDateTime &&
         a.ftLastAccessTime.dwHighDateTime == b.ftLastAccessTime.dwHighDateTime &&
         a.ftLastWriteTime.dwLowDateTime == b.ftLastWriteTime.dwLowDateTime &&
         a.ftLastWriteTime.dwHighDateTime == b.ftLastWriteTime.dwHighDateTime &&
         a.ftCreationTime.dwLowDateTime == b.ftCreationTime.dwLowDateTime &&
         a.ftCreationTime.dwHighDateTime == b.ftCreationTime.dwHighDateTime;
}

namespace {

// One file of a worker's list: left alone, linked anew, or counted as not
// backed up.
void BackUpFile(const std::string& source, int prefixLength) {
  CheckCounters& counters = Counters();
  if (source.size() < static_cast<size_t>(prefixLength)) return;  // not below the monitored directory
  // The list names the source as it is on disk; its entry's file name is lower case.
  const std::string destination = counters.backupDir + gbk::ToLowerFileName(source.substr(prefixLength));
  const DWORD found = FoundAttributes(destination);
  if (found != INVALID_FILE_ATTRIBUTES) {
    // A folder there is the backup of a folder the source file replaced:
    // superseded like an older file.
    if (!(found & FILE_ATTRIBUTE_DIRECTORY) && IsUnchangedLink(source, destination)) return;
    // The entry of a file removed since the scan keeps its own name.
    if (SourceVanished(source)) return;
    if (!RenameOldBackup(destination)) {
      AtomicIncrement(counters.failed);  // reported by the rename
      return;
    }
  }
  if (counters.linkPauseMs > 0) Sleep(counters.linkPauseMs);
  // The security attributes are reserved here and must be null.
  const bool made = CreateHardLinkW(WidePath(destination).c_str(), WidePath(source).c_str(), nullptr) != FALSE;
  PumpMessages();
  if (made) AtomicIncrement(counters.linked);
  else if (!SourceVanished(source)) ReportLinkFailure(destination);
}

}  // namespace

void BackupWorker(const std::vector<std::string>& fileList, volatile LONG& running, int prefixLength) {
  CheckCounters& counters = Counters();
  running = 1;
  for (const std::string& source : fileList) {
    AtomicIncrement(counters.checked);
    if (counters.stop == 1) break;
    BackUpFile(source, prefixLength);
    AtomicIncrement(counters.settled);
  }
  running = 0;
}

bool IsUnchangedLink(const std::string& source, const std::string& destination) {
  FileIdentity entry;
  if (!entry.Read(destination)) {
    ReportUnsaved(" >> 文件读取失败，请检查文件：" + destination);
    return true;
  }
  if (entry.Links() <= 1) return false;  // no other name: replace it
  PumpMessages();
  FileIdentity original;
  if (!original.Read(source)) {
    if (!SourceVanished(source)) ReportUnsaved(" >> 文件读取失败，请检查文件：" + gbk::ToLowerFileName(source));
    return true;
  }
  if (entry.SameAs(original)) return true;
  // The two names were read a moment apart: a reader of the file meanwhile
  // moves the one inode's access time. Read after the source, the entry of
  // the same file agrees with it.
  FileIdentity entryAgain;
  return entryAgain.Read(destination) && entryAgain.SameAs(original);
}

bool RenameOldBackup(const std::string& destination) {
  std::string candidate = destination + ".old";
  for (int n = 1; n <= 50 && PathExists(candidate); ++n) candidate = destination + ".old" + std::to_string(n);
  YieldIfInputPending();
  // MoveFileA never replaces an existing name, so no old entry is lost.
  if (MoveFileW(WidePath(destination).c_str(), WidePath(candidate).c_str())) return true;
  ReportLineLocked(" >> 文件更名失败，请检查文件：" + destination);
  return false;
}

bool SourceVanished(const std::string& source) {
  // What the source's folder holds now, whatever the failed call's error: a
  // file that is there and cannot be backed up is still counted. A search of
  // the name itself comes first, so that its folder is listed only for a
  // name that search does not find.
  if (shell::FileSearch(WidePath(source)).Found() || !GoneFromItsFolder(source)) return false;
  ReportLineLocked(" >> 文件已不存在，已跳过：" + gbk::ToLowerFileName(source));
  return true;
}

void AtomicIncrement(volatile LONG& counter) { InterlockedIncrement(&counter); }

void ReportLinkFailure(const std::string& destination) {
  ReportUnsaved(" >> 硬链接创建失败，请检查文件或分区容量：" + destination);
}

void YieldIfInputPending() {
  if (GetInputState()) PumpMessages();
}

}  // namespace kavrel
