#include "backup/check/tree_scanner.h"

#include "backup/check/system_paths.h"

#include <windows.h>
#include <shlwapi.h>

#include <cwchar>
#include <set>

#include "backup/check/check_state.h"
#include "backup/check/link_writer.h"
#include "base/gbk_text.h"
#include "backup/check/report_line.h"
#include "base/utilities.h"
#include "base/owned.h"

namespace kavrel {

namespace {

bool StopRequested() { return Counters().stop != 0; }

bool EndsWith(const std::string& text, const char* tail, size_t tailLength) {
  return text.size() >= tailLength && text.compare(text.size() - tailLength, tailLength, tail) == 0;
}

// One filter pass: keep(path) is false for a file it dropped and reported.
// A stop drops every file not yet looked at.
template <typename Keep>
void FilterFiles(std::vector<std::string>& files, Keep keep) {
  std::vector<std::string> kept;
  for (std::string& path : files) {
    if (StopRequested()) break;
    if (keep(path)) kept.push_back(std::move(path));
  }
  files.swap(kept);
}

constexpr char kInvalidDirectory[] = " >> 跳过非法目录：";

DWORD AttributesOf(const std::string& path) { return GetFileAttributesW(WidePath(path).c_str()); }

bool IsFolder(const std::string& path) {
  const DWORD attributes = AttributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// No path reaches a name that holds a separator, a wildcard or another
// character the platform's paths refuse, all of which a Linux name may hold
// and the search returns as they are.
bool PathReaches(const std::wstring& name) {
  for (const wchar_t c : name)
    if (c < L' ' || std::wcschr(L"\\/<>|\"*?", c)) return false;
  return true;
}

enum class Listing { kRead, kMissing, kFailed };

// Calls visit(name, isDirectory, reachable) for each entry of directory
// (ending in a backslash) but "." and "..", in search order, until visit
// returns false; the name keeps every character (gbk::Narrow). Besides a
// name PathReaches refuses, no path of its own reaches the second of two
// names that a Linux share holds in different case only: the platform's
// names and the backup's are case-blind. kMissing: there was no folder.
template <typename Visit>
Listing ForEachEntry(const std::string& directory, const std::string& pattern, Visit visit) {
  shell::FileSearch search(WidePath(directory + pattern));
  std::set<std::wstring> seen;
  for (bool more = search.Found(); more; more = search.Next()) {
    const WIN32_FIND_DATAW& entry = search.Entry();
    std::wstring key = entry.cFileName;
    if (key == L"." || key == L"..") continue;
    CharUpperBuffW(&key[0], static_cast<DWORD>(key.size()));
    const bool reachable = PathReaches(entry.cFileName) && seen.insert(key).second;
    if (!visit(gbk::Narrow(entry.cFileName), search.IsDirectory(), reachable)) return Listing::kRead;
  }
  if (search.FolderMissing()) return Listing::kMissing;
  return search.Failed() ? Listing::kFailed : Listing::kRead;
}

// A file where the mirror should go is the backup of a file the source
// folder replaced: it is moved aside as a superseded entry is.
bool MakeMirror(const std::string& mirror) {
  if (IsFolder(mirror)) return true;
  if (AttributesOf(mirror) != INVALID_FILE_ATTRIBUTES && !RenameOldBackup(mirror)) return false;
  return CreateDirectoryW(WidePath(mirror).c_str(), nullptr) != FALSE;
}

}  // namespace

int TreeScanner::EnumerateProjectFiles(std::string& scanDir, std::vector<std::string>& fileList,
                                       const std::string& backupRoot, int rowIndex) {
  window_.SetStatus(" 枚举文件");
  ListFilesFiltered(scanDir, fileList);
  if (StopRequested()) return static_cast<int>(fileList.size());

  std::vector<std::string> directoryList;
  const int kept = EnumerateSubdirectories(scanDir, directoryList);
  const size_t prefix = scanDir.size();
  if (kept <= 0) {
    window_.SetFileCount(rowIndex, std::to_string(fileList.size()));
    return static_cast<int>(fileList.size());
  }
  std::vector<std::string> files;
  for (const std::string& directory : directoryList) {
    // Parents come before their children, so each mirror has its parent.
    const std::string mirror = backupRoot + directory.substr(prefix);
    if (!MakeMirror(mirror)) ReportLine(" >> 创建目录：" + mirror + "时发生错误，请检查。");
    ListFilesFiltered(directory, files);
    if (StopRequested()) break;
    fileList.insert(fileList.end(), files.begin(), files.end());
    window_.SetFileCount(rowIndex, std::to_string(fileList.size()));
    PumpMessages();
  }
  return static_cast<int>(fileList.size());
}

void TreeScanner::ListFilesFiltered(const std::string& directory, std::vector<std::string>& files) const {
  FindFiles(directory, "*.*", files);
  if (options_.skipHidden) {
    FilterFiles(files, [](const std::string& path) {
      const DWORD attributes = AttributesOf(path);
      if (attributes == INVALID_FILE_ATTRIBUTES)
        ReportUnsaved(" >> 跳过非法文件，请检查文件名称：" + gbk::ToLowerFileName(path));
      else if ((attributes & 0x37) & FILE_ATTRIBUTE_HIDDEN)
        ReportLine(" >> 跳过隐藏属性文件：" + gbk::ToLowerFileName(path));
      else
        return true;
      return false;
    });
  }
  if (options_.skipEmpty) {
    FilterFiles(files, [](const std::string& path) {
      const int64_t size = GetFileSize64(path);
      if (size > 0) return true;
      // An empty file is passed over on purpose; one that cannot be read is not backed up.
      const std::string line = " >> 跳过空文件(或读取失败)：" + gbk::ToLowerFileName(path);
      if (size == 0) ReportLine(line);
      else ReportUnsaved(line);
      return false;
    });
  }
}

bool TreeScanner::KeepDirectory(const std::string& name, const std::string& path, bool reachable) const {
  if (PassedOverSilently(name)) return false;
  const char* reason = nullptr;
  if (name[0] == '$' || name[0] == '%' || name == "System Volume Information") {
    reason = " >> 跳过特定目录：";
  } else if (!reachable) {
    reason = kInvalidDirectory;
  } else if (options_.skipEmpty && GetDirectorySize(path) == 0) {  // -1, a size unknown, is kept
    reason = " >> 跳过空目录：";
  } else if (options_.skipSystem && IsSystemFolder(path)) {
    reason = " >> 跳过系统属性目录：";
  } else if (options_.skipHidden) {
    const DWORD attributes = AttributesOf(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN)) reason = " >> 跳过隐藏属性目录：";
  } else if (!IsFolder(path)) {
    reason = kInvalidDirectory;
  }
  if (!reason) return true;
  // What an invalid directory holds was meant to be backed up; the other rules pass over theirs on purpose.
  if (reason == kInvalidDirectory) ReportUnsaved(reason + path);
  else ReportLine(reason + path);
  return false;
}

int TreeScanner::EnumerateSubdirectories(std::string& directory, std::vector<std::string>& directoryList) const {
  if (directory.size() > 3) directory += '\\';
  std::vector<std::string> keptNames;
  bool stopped = false;
  ForEachEntry(directory, "*.*", [&](const std::string& name, bool isDirectory, bool reachable) {
    if (!isDirectory) return true;
    const std::string path = directory + name;
    if (KeepDirectory(name, path, reachable)) {
      directoryList.push_back(path);
      keptNames.push_back(name);
    }
    stopped = StopRequested();
    if (!stopped) PumpMessages();
    return !stopped;
  });
  if (stopped) return 0;
  int count = static_cast<int>(keptNames.size());
  for (const std::string& name : keptNames) {
    std::string child = directory + name;
    if (HasSubdirectories(child)) count += EnumerateSubdirectories(child, directoryList);
    PumpMessages();
  }
  return count;
}

int FindFiles(const std::string& directory, const std::string& pattern, std::vector<std::string>& output) {
  output.clear();
  const std::string base = gbk::WithTrailingBackslash(directory);
  const Listing listing = ForEachEntry(base, pattern, [&](const std::string& name, bool isDirectory, bool reachable) {
    if (isDirectory) return true;
    if (reachable) output.push_back(base + name);
    else ReportUnsaved(" >> 跳过非法文件，请检查文件名称：" + base + name);
    PumpMessages();
    return true;
  });
  // Each kept directory is listed here once, so one that cannot be read counts
  // once; one removed since the walk held nothing.
  if (listing == Listing::kFailed || (listing == Listing::kMissing && !GoneFromItsFolder(directory)))
    ReportUnsaved(kInvalidDirectory + directory);
  return static_cast<int>(output.size());
}

bool GoneFromItsFolder(const std::string& path) {
  const size_t slash = gbk::FindLastBackslash(path);
  if (slash == std::string::npos || slash + 1 == path.size()) return false;  // a drive root
  const std::string name = path.substr(slash + 1);
  bool held = false;
  const Listing listing = ForEachEntry(path.substr(0, slash + 1), "*.*", [&](const std::string& entry, bool, bool) {
    held = entry == name;
    return !held;
  });
  return listing == Listing::kRead && !held;
}

bool PassedOverSilently(const std::string& name) {
  return !name.empty() && (name[0] == '.' || EndsWith(name, "_backupx", 8));
}

bool HasSubdirectories(const std::string& directory) {
  bool found = false;
  ForEachEntry(gbk::WithTrailingBackslash(directory), "*.*", [&found](const std::string&, bool isDirectory, bool) {
    found = isDirectory;
    return !found;
  });
  return found;
}

int64_t GetFileSize64(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void PumpMessages() { PumpPendingMessages(); }

}  // namespace kavrel
