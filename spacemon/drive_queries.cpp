#include "spacemon/drive_queries.h"

#include <windows.h>

#include <algorithm>

namespace spacemon {

int32_t SystemDriveQueries::LogicalDriveStrings(char* buffer, int32_t length) {
  return static_cast<int32_t>(GetLogicalDriveStringsA(static_cast<DWORD>(length), buffer));
}

bool SystemDriveQueries::DiskFreeSpace(const std::string& root, int64_t& freeToCaller, int64_t& total) {
  ULARGE_INTEGER available = {}, size = {}, totalFree = {};
  if (!GetDiskFreeSpaceExA(root.c_str(), &available, &size, &totalFree)) return false;
  freeToCaller = static_cast<int64_t>(available.QuadPart);
  total = static_cast<int64_t>(size.QuadPart);
  return true;
}

int32_t EnumerateDriveLetters(DriveQueries& queries, std::vector<char>& letters) {
  char buffer[255] = {};
  const int32_t length = queries.LogicalDriveStrings(buffer, sizeof buffer);
  if (length <= 0) return 0;
  // A list longer than the buffer is read no further than the buffer.
  const int32_t usable = std::min<int32_t>(length, sizeof buffer);
  letters.clear();
  int32_t start = 0;
  for (int32_t i = 0; i <= usable; ++i) {
    if (i == usable || buffer[i] == '\0') {
      if (i > start) letters.push_back(buffer[start]);
      start = i + 1;
    }
  }
  return static_cast<int32_t>(letters.size());
}

}  // namespace spacemon
