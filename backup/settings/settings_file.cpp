#include "backup/settings/settings_file.h"

#include <windows.h>

#include <algorithm>

#include "base/gbk_text.h"
#include "base/utilities.h"
#include "base/owned.h"

namespace kavrel {

namespace {

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

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

bool WriteAt(HANDLE file, unsigned long long offset, const std::string& bytes) {
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && WriteAll(file, bytes);
}

bool CutAt(HANDLE file, unsigned long long length) { return WriteAt(file, length, "") && SetEndOfFile(file); }

// The file first grows to the new length with the text's part beyond the old
// end: real bytes, since a merely set end is sparse and a full disk would fail
// only later. A failure there puts the old length back before any old byte has
// changed. Only then are the old bytes written over and the file cut at the
// new end, so it holds the old settings or the new, never a mix.
bool WriteInPlace(const std::string& path, const std::string& content) {
  shell::OwnedHandle file(
      CreateFileA(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size;
  if (!file.Valid() || !GetFileSizeEx(file.Get(), &size)) return false;
  const unsigned long long oldLength = static_cast<unsigned long long>(size.QuadPart);
  if (content.size() > oldLength) {
    const std::string tail = content.substr(static_cast<size_t>(oldLength));
    if (!WriteAt(file.Get(), oldLength, tail) || !FlushFileBuffers(file.Get())) {
      CutAt(file.Get(), oldLength);
      return false;
    }
  }
  const size_t overLength = content.size() > oldLength ? static_cast<size_t>(oldLength) : content.size();
  return WriteAt(file.Get(), 0, content.substr(0, overLength)) && CutAt(file.Get(), content.size()) &&
         FlushFileBuffers(file.Get());
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
  shell::OwnedHandle file(
      CreateFileA(path_.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
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
  const DWORD attributes = GetFileAttributesA(path_.c_str());
  // Windows refuses to replace a read-only file or to open it for writing;
  // Wine renames over it all the same.
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return false;
  const std::string temporary = TemporaryPath();
  shell::OwnedHandle staged(CreateFileA(temporary.c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!staged.Valid()) return WriteInPlace(path_, content);
  const bool complete = WriteAll(staged.Get(), content) && FlushFileBuffers(staged.Get());
  staged.Close();
  if (!complete) {
    DeleteFileA(temporary.c_str());
    return false;
  }
  if (MoveFileExA(temporary.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(path_.c_str(), attributes);
    return true;
  }
  // Refused, for one while another program holds CF.ini open without delete
  // sharing. The staged copy stays until the settings are in CF.ini.
  if (!WriteInPlace(path_, content)) return false;
  DeleteFileA(temporary.c_str());
  return true;
}

}  // namespace kavrel
