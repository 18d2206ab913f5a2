#include "backup/check/path_rules.h"

#include "backup/check/tree_scanner.h"
#include "base/gbk_text.h"

namespace kavrel {

namespace {


bool SecondBytesEqual(const std::string& text, size_t at, const std::string& part) {
  for (size_t k = 0; k + 1 < part.size(); ++k) {
    if (!gbk::IsLeadByte(static_cast<unsigned char>(part[k]))) continue;
    if (text[at + k + 1] != part[k + 1]) return false;
    ++k;
  }
  return true;
}

bool Contains(const std::string& text, const std::string& part) { return FindSubstring(text, part, 1) > -1; }

// The rules both choosers share after their own first rule.
std::string ReservedTextRefusal(const std::string& d, const std::string& suffix) {
  if (Contains(d, "$")) return "当前目录(" + d + ")含有特殊字符$，请重新选择。";
  if (Contains(d, "%")) return "当前目录(" + d + ")含有特殊字符%，请重新选择。";
  if (Contains(d, "System Volume Information"))
    return "当前目录System Volume Information为系统卷标信息目录，请重新选择。";
  if (Contains(d, suffix)) return "当前目录(" + d + ")含有保留字" + suffix + "，请重新选择。";
  return std::string();
}

std::string DriveRootName(const std::string& root, const std::string& suffix) {
  return root.substr(0, 1) + "p" + suffix;
}

// A path as the system resolves it: its root ("c:" or "\\server\share",
// lower-cased; empty when the path names no drive or share) and the names below it.
struct FullPath {
  std::string root;
  std::vector<std::string> names;  // as written, trailing dots and blanks dropped
};

// The names between separators ("\" or "/" of their own, never a second byte).
std::vector<std::string> SplitNames(const std::string& path) {
  std::vector<std::string> names(1);
  for (size_t i = 0; i < path.size(); ++i) {
    if (gbk::IsLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
      names.back() += path.substr(i++, 2);
    } else if (path[i] == '\\' || path[i] == '/') {
      names.emplace_back();
    } else {
      names.back() += path[i];
    }
  }
  return names;
}

bool IsDriveName(const std::string& name) {
  const char letter = name.empty() ? 0 : name[0];
  return name.size() == 2 && name[1] == ':' && ((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z'));
}

FullPath ParseFullPath(const std::string& path) {
  const std::vector<std::string> names = SplitNames(path);
  FullPath full;
  size_t first = 0;
  if (names.size() >= 4 && names[0].empty() && names[1].empty() && !names[2].empty() && !names[3].empty() &&
      names[2] != "?" && names[2] != ".") {
    full.root = "\\\\" + names[2] + "\\" + names[3];
    first = 4;
  } else if (names.size() >= 2 && IsDriveName(names[0])) {
    full.root = names[0];
    first = 1;
  } else {
    return full;  // relative to some current directory, or a device path
  }
  full.root = gbk::ToLowerAscii(full.root);
  for (size_t k = first; k < names.size(); ++k) {
    std::string name = names[k];
    if (name == "..") {
      if (!full.names.empty()) full.names.pop_back();
      continue;
    }
    // A second byte is never a dot or a blank, so this cuts whole characters.
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    if (!name.empty()) full.names.push_back(name);  // "." and doubled separators name nothing
  }
  return full;
}

// inner is outer or lies below it.
bool Within(const FullPath& inner, const FullPath& outer) {
  if (inner.root != outer.root || inner.names.size() < outer.names.size()) return false;
  for (size_t k = 0; k < outer.names.size(); ++k)
    if (gbk::ToLowerAscii(inner.names[k]) != gbk::ToLowerAscii(outer.names[k])) return false;
  return true;
}

// One of path's names from index `from` on is a folder the scanner never enters.
bool BelowPassedOverFolder(const FullPath& path, size_t from) {
  for (size_t k = from; k < path.names.size(); ++k)
    if (PassedOverSilently(path.names[k])) return true;
  return false;
}

}  // namespace

int32_t FindSubstring(const std::string& text, const std::string& part, int32_t start) {
  if (text.empty() || part.empty()) return -1;
  const size_t s0 = start < 1 ? 0 : static_cast<size_t>(start) - 1;
  if (s0 > text.size() || part.size() > text.size() - s0) return -1;
  // Candidates start on character boundaries counted from the first byte.
  size_t from = 0;
  while (from < s0) from += gbk::IsLeadByte(static_cast<unsigned char>(text[from])) ? 2 : 1;
  for (;;) {
    const size_t at = gbk::Find(text, part, from, true);
    if (at == std::string::npos) return -1;
    if (SecondBytesEqual(text, at, part)) return static_cast<int32_t>(at + 1);
    from = at + (gbk::IsLeadByte(static_cast<unsigned char>(text[at])) ? 2 : 1);
  }
}

int32_t CheckPathConflict(const std::vector<std::string>& list, std::string& directory, const std::string& previous,
                          std::string& conflicting) {
  directory = gbk::WithTrailingBackslash(directory);
  const size_t length = directory.size();
  for (const std::string& entry : list) {
    if (entry == previous) continue;
    if (directory.compare(0, entry.size(), entry) == 0 && directory.size() >= entry.size()) {
      conflicting = entry;
      return 1;
    }
    if (entry.size() >= length && entry.compare(0, length, directory) == 0) {
      conflicting = entry;
      return 2;
    }
  }
  return 0;
}

std::string GetDirectoryTitle(const std::string& directory) {
  std::string path = directory;
  if (gbk::EndsWithBackslash(path)) path.pop_back();
  const size_t lastSeparator = gbk::FindLastBackslash(path);
  return lastSeparator == std::string::npos ? path : path.substr(lastSeparator + 1);
}

std::string MonitorDirRefusal(const std::string& d, const std::string& fileSystem, const std::string& suffix) {
  if (fileSystem != "NTFS") return "Windows系统硬链接不支持" + fileSystem + "分区，仅支持NTFS格式，请重新选择。";
  return ReservedTextRefusal(d, suffix);
}

std::string BackupDirRefusal(const std::string& g, bool sameRootAsMonitorDir, const std::string& suffix) {
  if (!sameRootAsMonitorDir) return "WINDOWS硬链接备份不支持跨区，请选择与监控目录相同的盘区。";
  return ReservedTextRefusal(g, suffix);
}

std::string NestingRefusal(int32_t conflict, const std::string& d, const std::string& entry) {
  const char* relation = conflict == 1 ? ")相同或为其子目录" : ")相同或为其父目录";
  return "当前目录(" + d + ")与已添加目录(" + entry + relation + "，将会造成死循环，请重新选择。";
}

std::string GeneratedBackupDir(const std::string& d, const std::string& suffix) {
  if (d.size() > kDriveRootLength) return d.substr(0, kDriveRootLength) + GetDirectoryTitle(d) + suffix;
  return d + DriveRootName(d, suffix);
}

std::string FinalBackupDir(const std::string& g, const std::string& m, const std::string& suffix) {
  if (g.size() <= kDriveRootLength) return g + DriveRootName(g, suffix);
  if (m.size() == kDriveRootLength) return g + DriveRootName(m, suffix);
  return g + GetDirectoryTitle(m) + suffix;
}

ProjectConflict FindProjectConflict(const std::vector<ProjectDirs>& projects, size_t index) {
  const FullPath monitored = ParseFullPath(projects[index].monitorDir);
  const FullPath backup = ParseFullPath(projects[index].backupDir);
  if (monitored.root.empty() || backup.root.empty()) return {ProjectFault::kNotFullPath, std::string()};
  if (Within(monitored, backup) ||
      (Within(backup, monitored) && !BelowPassedOverFolder(backup, monitored.names.size())))
    return {ProjectFault::kBackupInMonitored, std::string()};
  for (size_t j = 0; j < index; ++j) {
    const FullPath earlier = ParseFullPath(projects[j].backupDir);
    if (!earlier.root.empty() && (Within(backup, earlier) || Within(earlier, backup)))
      return {ProjectFault::kSharedBackup, projects[j].backupDir};
  }
  return {};
}

std::string ProjectConflictRefusal(const ProjectConflict& conflict, const std::string& b, const std::string& m) {
  if (conflict.fault == ProjectFault::kSharedBackup)
    return "当前目录(" + b + ")与已添加项目的备份目录(" + conflict.other +
           ")相同或互相包含，两个项目的备份将会混在一起，请重新选择。";
  // A directory whose place cannot be told may meet the monitored tree anywhere.
  return "当前目录(" + b + ")与监控目录(" + m + ")相同或互相包含，备份时将会改动监控目录中的文件，请重新选择。";
}

}  // namespace kavrel
