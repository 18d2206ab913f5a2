// Closes a running program as its close box does: posts WM_CLOSE to every
// shown top-level window without an owner of each process started from the
// given file. tools/run-on-desktop runs it when the terminal asks the command
// to end. While such a process has no window yet (it is still starting), it
// waits for one; once no such process is left, there is nothing to close.
//
// Usage: close-program.exe PROGRAM-FILE   (exit code 0: a close was posted)
#include <windows.h>
#include <tlhelp32.h>

#include <set>

#include "base/owned.h"

namespace {

struct FileIdentity {
  DWORD volume = 0, high = 0, low = 0;
  bool operator==(const FileIdentity& other) const {
    return volume == other.volume && high == other.high && low == other.low;
  }
};

// The same file is reached under several names (Z: is the Linux root, C: a
// folder in it), so files are compared by what they are, not by name.
bool IdentityOf(const wchar_t* path, FileIdentity& identity) {
  const shell::OwnedHandle file(CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (!file || !GetFileInformationByHandle(file.Get(), &info)) return false;
  identity = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
  return true;
}

std::set<DWORD> ProcessesStartedFrom(const FileIdentity& program) {
  std::set<DWORD> found;
  const shell::OwnedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = snapshot && Process32FirstW(snapshot.Get(), &entry); more;
       more = Process32NextW(snapshot.Get(), &entry)) {
    const shell::OwnedHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
    wchar_t image[MAX_PATH * 2];
    DWORD length = MAX_PATH * 2;
    FileIdentity identity;
    if (process && QueryFullProcessImageNameW(process.Get(), 0, image, &length) && IdentityOf(image, identity) &&
        identity == program) {
      found.insert(entry.th32ProcessID);
    }
  }
  return found;
}

struct CloseRequest {
  const std::set<DWORD>* processes;
  bool posted = false;
};

BOOL CALLBACK PostCloseToMainWindow(HWND window, LPARAM param) {
  auto& request = *reinterpret_cast<CloseRequest*>(param);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (request.processes->count(process) && IsWindowVisible(window) && !GetWindow(window, GW_OWNER) &&
      PostMessageW(window, WM_CLOSE, 0, 0)) {
    request.posted = true;
  }
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  FileIdentity program;
  if (argc != 2 || !IdentityOf(argv[1], program)) return 2;
  for (;;) {
    const std::set<DWORD> processes = ProcessesStartedFrom(program);
    if (processes.empty()) return 1;
    CloseRequest request{&processes};
    EnumWindows(PostCloseToMainWindow, reinterpret_cast<LPARAM>(&request));
    if (request.posted) return 0;
    Sleep(200);
  }
}
