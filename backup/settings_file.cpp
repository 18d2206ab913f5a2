#include "backup/settings_file.h"

#include <windows.h>

#include <algorithm>

#include "backup/gbk_text.h"
#include "backup/utilities.h"

namespace kavrel {

namespace {

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() { Close(); }
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }
  void Close() {
    if (Valid()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

HANDLE OpenForWriting(const std::string& path) {
  return CreateFileA(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

bool WriteAll(HANDLE file, const std::string& content) {
  size_t done = 0;
  while (done < content.size()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(content.size() - done, 1 << 20));
    if (!WriteFile(file, content.data() + done, chunk, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return true;
}

}  // namespace

SettingsFile SettingsFile::BesideProgram() { return SettingsFile(OwnExecutableDirectory() + "CF.ini"); }

std::string TextBeforeEndMarker(const std::string& bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c == 0 || c == 0x1A) break;
    i += gbk::IsLeadByte(c) ? 2 : 1;
  }
  return bytes.substr(0, std::min(i, bytes.size()));
}

std::string SettingsFile::Read() const {
  FileHandle file(CreateFileA(path_.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return std::string();
  std::string bytes;
  char buffer[64 * 1024];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr)) return std::string();
    if (got == 0) break;
    bytes.append(buffer, got);
  }
  return TextBeforeEndMarker(bytes);
}

bool SettingsFile::Write(const std::string& content) const {
  const std::string temporary = TemporaryPath();
  FileHandle staged(OpenForWriting(temporary));
  if (!staged.Valid()) {
    FileHandle direct(OpenForWriting(path_));
    return direct.Valid() && WriteAll(direct.Get(), content);
  }
  const bool complete = WriteAll(staged.Get(), content) && FlushFileBuffers(staged.Get());
  staged.Close();
  if (complete &&
      MoveFileExA(temporary.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  DeleteFileA(temporary.c_str());
  return false;
}

}  // namespace kavrel
