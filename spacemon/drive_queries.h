// The two drive queries of the monitor thread, behind an interface so that
// tests can feed drive figures in.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace spacemon {

class DriveQueries {
 public:
  virtual ~DriveQueries() = default;
  // As GetLogicalDriveStringsA: the root list ("C:\", NUL, ...) into buffer;
  // the list's length without its final NUL, 0 on failure.
  virtual int32_t LogicalDriveStrings(char* buffer, int32_t length) = 0;
  // As GetDiskFreeSpaceExA: bytes available to the caller and total bytes.
  virtual bool DiskFreeSpace(const std::string& root, int64_t& freeToCaller, int64_t& total) = 0;
};

// The platform's own answers.
class SystemDriveQueries : public DriveQueries {
 public:
  int32_t LogicalDriveStrings(char* buffer, int32_t length) override;
  bool DiskFreeSpace(const std::string& root, int64_t& freeToCaller, int64_t& total) override;
};

// Replaces letters with the first character of every root and returns their
// count; when the root list cannot be read, returns 0 and leaves letters alone.
int32_t EnumerateDriveLetters(DriveQueries& queries, std::vector<char>& letters);

}  // namespace spacemon
