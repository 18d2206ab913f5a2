#include "backup/check/path_rules.h"

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

}  // namespace kavrel
