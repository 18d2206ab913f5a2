#include "backup/settings/settings_file.h"

#include <windows.h>

#include <algorithm>
#include <optional>

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

// The file CF.ini names: through a symbolic link, the file it points to, so
// that a save replaces the target and the link stays.
std::string FinalPath(const std::string& path) {
  const shell::OwnedHandle file(CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                            FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  char buffer[MAX_PATH + 8];
  if (!file.Valid()) return path;
  const DWORD length = GetFinalPathNameByHandleA(file.Get(), buffer, sizeof buffer, VOLUME_NAME_DOS);
  if (length == 0 || length >= sizeof buffer) return path;
  const std::string final(buffer, length);
  if (final.compare(0, 8, "\\\\?\\UNC\\") == 0) return "\\" + final.substr(7);
  if (final.compare(0, 4, "\\\\?\\") == 0 && final.size() - 4 < MAX_PATH) return final.substr(4);
  return final;
}

// The whole file, or nothing when it cannot be read.
std::optional<std::string> ReadWhole(const std::string& path) {
  shell::OwnedHandle file(
      CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return std::nullopt;
  std::string bytes;
  char buffer[64 * 1024];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr)) return std::nullopt;
    if (got == 0) return bytes;
    bytes.append(buffer, got);
  }
}

bool WriteInPlace(const std::string& path, const std::string& content) {
  shell::OwnedHandle file(
      CreateFileA(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size;
  if (!file.Valid() || !GetFileSizeEx(file.Get(), &size)) return false;
  const unsigned long long oldLength = static_cast<unsigned long long>(size.QuadPart);
  const std::vector<InPlaceStep> steps = InPlaceSaveSteps(oldLength, content);
  for (size_t k = 0; k < steps.size(); ++k) {
    const InPlaceStep& step = steps[k];
    const bool done = (step.cut ? CutAt(file.Get(), step.offset) : WriteAt(file.Get(), step.offset, step.bytes)) &&
                      FlushFileBuffers(file.Get());
    if (done) continue;
    if (k == 0) CutAt(file.Get(), oldLength);  // a growth the disk refused: no old byte has changed
    return false;
  }
  return true;
}

}  // namespace

// The loader reads up to the first zero byte, so at every point between two
// steps the file reads as the old text or the new: it grows with zeros behind
// the old text, takes the new text in one write, and a shorter text is ended
// by a zero byte before the file is cut.
std::vector<InPlaceStep> InPlaceSaveSteps(unsigned long long oldLength, const std::string& content) {
  const unsigned long long newLength = content.size();
  if (newLength > oldLength)
    return {{oldLength, std::string(static_cast<size_t>(newLength - oldLength), '\0'), false},
            {0, content, false}};
  if (newLength == oldLength) return {{0, content, false}};
  return {{0, content + '\0', false}, {newLength, std::string(), true}};
}

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

std::string SettingsFile::Read() const { return TextBeforeEndMarker(ReadWhole(path_).value_or(std::string())); }

bool SettingsFile::Write(const std::string& content) const {
  const std::string target = FinalPath(path_);
  // Nothing to write, also where nothing could be: a read-only CF.ini that
  // already holds these settings.
  if (ReadWhole(target) == content) return true;
  const DWORD attributes = GetFileAttributesA(target.c_str());
  // Windows refuses to replace a read-only file or to open it for writing;
  // Wine renames over it all the same.
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return false;
  const std::string temporary = target + ".new";
  shell::OwnedHandle staged(CreateFileA(temporary.c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!staged.Valid()) return WriteInPlace(target, content);
  const bool complete = WriteAll(staged.Get(), content) && FlushFileBuffers(staged.Get());
  staged.Close();
  if (!complete) {
    // A disk with a free name but no free block: a text no longer than
    // CF.ini's still fits in place.
    DeleteFileA(temporary.c_str());
    return WriteInPlace(target, content);
  }
  if (MoveFileExA(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(target.c_str(), attributes);
    return true;
  }
  // Refused, for one while another program holds CF.ini open without delete
  // sharing. The staged copy stays until the settings are in CF.ini.
  if (!WriteInPlace(target, content)) return false;
  DeleteFileA(temporary.c_str());
  return true;
}

}  // namespace kavrel
