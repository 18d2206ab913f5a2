#include "backup/check/system_paths.h"

#include <windows.h>
#include <shlwapi.h>

#include "base/gbk_text.h"
#include "base/utilities.h"

namespace kavrel {

namespace {
constexpr int kNameBufferSize = 255;
}  // namespace

std::string GetFileSystemName(const std::string& root) {
  std::string volumeName(kNameBufferSize, ' ');
  std::string fileSystem(kNameBufferSize, ' ');
  GetVolumeInformationA(root.c_str(), &volumeName[0], kNameBufferSize, nullptr, nullptr, nullptr, &fileSystem[0],
                        kNameBufferSize);
  return fileSystem.substr(0, fileSystem.find('\0'));
}

std::string GetSystemDirectoryPath() {
  std::string buffer(kNameBufferSize, ' ');
  const UINT n = GetSystemDirectoryA(&buffer[0], kNameBufferSize);
  buffer.resize(n > 0 && n < kNameBufferSize ? n : 0);
  return gbk::WithTrailingBackslash(buffer);
}

bool IsSystemFolder(const std::string& path) {
  return !path.empty() && PathIsSystemFolderW(WidePath(path).c_str(), 0) != FALSE;
}

}  // namespace kavrel
