// Helpers shared by the tests: processes, scratch trees, windows of other
// processes and waits that keep messages flowing.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/owned.h"

namespace testing_support {

// Directory of the running test program, ending with a backslash.
std::string TestProgramDirectory();
// Directory of the built programs (Kavrel.exe, Dunmere.exe), ending with a backslash.
std::string ProgramsDirectory();

// The bound of a wait for something that must happen: reached only by a hang,
// never by a slow machine (under emulation Wine runs ten times slower).
constexpr int kHangBoundMs = 60000;

// Waits until condition() holds, dispatching this thread's messages; false on time-out.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs);

// A fresh directory that is removed with everything in it (read-only and
// hidden entries too) when the object goes.
class ScratchDir {
 public:
  ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  ~ScratchDir();
  const std::string& path() const { return path_; }  // ends with a backslash
  std::string operator/(const std::string& relative) const { return path_ + relative; }

 private:
  std::string path_;
};

void WriteFileBytes(const std::string& path, const std::string& bytes);
std::string ReadFileBytes(const std::string& path);
bool CopyFileTo(const std::string& from, const std::string& to);
void RemoveTree(const std::string& path);

// A started program; killed when the object goes if it still runs.
class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();
  bool Start(const std::string& exe, const std::string& arguments = std::string(),
             const std::string& workingDir = std::string());
  // Exit code, or -1 while it still runs after timeoutMs.
  int WaitForExit(int timeoutMs);
  bool Running() const;
  void Kill();
  DWORD Id() const { return info_.dwProcessId; }
  HANDLE Handle() const { return info_.hProcess; }
  // Text the program wrote to its standard output (read after it ended).
  std::string Output() const;

 private:
  PROCESS_INFORMATION info_ = {};
  std::string outputPath_;
};

// A visible top-level window of the process with this class name (empty: any).
HWND FindProcessWindow(DWORD processId, const std::string& className, int timeoutMs);
std::string WindowText(HWND window);
// A child control with this exact text, or of this class when text is empty.
HWND FindChild(HWND parent, const std::string& className, const std::string& text);

// A block of memory in the process of a window, for the messages whose
// pointers the platform does not carry across processes.
class RemoteMemory {
 public:
  RemoteMemory(HWND window, size_t size);
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;
  ~RemoteMemory();
  char* Address() const { return address_; }  // valid in the other process only
  void Write(const void* bytes, size_t size, size_t offset = 0) const;
  std::string Read(size_t size, size_t offset = 0) const;

 private:
  shell::OwnedHandle process_;
  char* address_ = nullptr;
};

// Cells of a list view in another process.
int RemoteListRowCount(HWND list);
std::string RemoteListCell(HWND list, int row, int column);
bool RemoteListChecked(HWND list, int row);
int RemoteListImage(HWND list, int row);
// Ticks or unticks a row of a list view in another process, as a user's click does.
void RemoteListSetChecked(HWND list, int row, bool checked);
// Selects a row of a list view in another process: its current row.
void RemoteListSelect(HWND list, int row);

// Number of open handles and private bytes of a process.
DWORD ProcessHandleCount(HANDLE process);
size_t ProcessPrivateBytes(HANDLE process);
// GDI objects of this process, as GetGuiResources counts them (Wine answers
// that call with 0: the live entries of its GDI handle table are counted then).
int GdiObjectCount();
// The error mode of another process, read by GetErrorMode on a thread in it.
UINT RemoteErrorMode(HANDLE process);

// The Unix path of a Windows path under the platform, for checks from the Linux side.
std::string UnixPath(const std::string& windowsPath);
// Starts a program of the Linux side (the platform starts Unix programs too).
// Neither its end nor its exit code comes back: callers wait for what it does.
bool StartUnixProgram(const std::string& program, const std::string& arguments);

}  // namespace testing_support
