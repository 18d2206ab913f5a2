#include "support/test_support.h"

#include <commctrl.h>
#include <intrin.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "base/utilities.h"

namespace testing_support {

std::string TestProgramDirectory() { return OwnExecutableDirectory(); }

std::string ProgramsDirectory() { return TestProgramDirectory() + "..\\apps\\"; }

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= end) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    PumpPendingMessages();
  }
}

ScratchDir::ScratchDir() {
  static std::atomic<int> counter{0};
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::ostringstream name;
  name << temp << "kvt_" << GetCurrentProcessId() << "_" << GetTickCount() << "_" << counter++ << "\\";
  path_ = name.str();
  CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchDir::~ScratchDir() { RemoveTree(path_); }

void RemoveTree(const std::string& path) {
  std::string dir = path;
  if (!dir.empty() && dir.back() != '\\') dir += '\\';
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((dir + "*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      std::string full = dir + name;
      SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(full);
      else DeleteFileA(full.c_str());
    } while (FindNextFileA(find, &data));
    FindClose(find);
  }
  SetFileAttributesA(dir.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryA(dir.c_str());
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

bool CopyFileTo(const std::string& from, const std::string& to) {
  return CopyFileA(from.c_str(), to.c_str(), FALSE) != FALSE;
}

ChildProcess::~ChildProcess() {
  if (Running()) Kill();
  if (info_.hProcess) CloseHandle(info_.hProcess);
  if (info_.hThread) CloseHandle(info_.hThread);
  if (!outputPath_.empty()) DeleteFileA(outputPath_.c_str());
}

bool ChildProcess::Start(const std::string& exe, const std::string& arguments, const std::string& workingDir) {
  char temp[MAX_PATH], file[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  GetTempFileNameA(temp, "out", 0, file);
  outputPath_ = file;
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE output = CreateFileA(file, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = output;
  startup.hStdError = output;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  std::string commandLine = "\"" + exe + "\"";
  if (!arguments.empty()) commandLine += " " + arguments;
  // No console of its own: a hidden console host outlives the child and holds up the run.
  BOOL ok = CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                           workingDir.empty() ? nullptr : workingDir.c_str(), &startup, &info_);
  CloseHandle(output);
  return ok != FALSE;
}

int ChildProcess::WaitForExit(int timeoutMs) {
  if (!info_.hProcess) return -1;
  if (WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(info_.hProcess, &code);
  return static_cast<int>(code);
}

bool ChildProcess::Running() const {
  return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

void ChildProcess::Kill() {
  if (info_.hProcess) {
    TerminateProcess(info_.hProcess, 255);
    WaitForSingleObject(info_.hProcess, testing_support::kHangBoundMs);
  }
}

std::string ChildProcess::Output() const { return outputPath_.empty() ? std::string() : ReadFileBytes(outputPath_); }

namespace {
struct WindowSearch {
  DWORD processId;
  std::string className;
  HWND found;
};

BOOL CALLBACK MatchTopWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
  char className[256] = {};
  GetClassNameA(window, className, sizeof className);
  if (!search->className.empty() && search->className != className) return TRUE;
  search->found = window;
  return FALSE;
}
}  // namespace

HWND FindProcessWindow(DWORD processId, const std::string& className, int timeoutMs) {
  WindowSearch search{processId, className, nullptr};
  WaitUntil([&] {
    EnumWindows(MatchTopWindow, reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
  }, timeoutMs);
  return search.found;
}

std::string WindowText(HWND window) {
  int n = static_cast<int>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0));
  std::string text(n + 1, '\0');
  n = static_cast<int>(SendMessageA(window, WM_GETTEXT, n + 1, reinterpret_cast<LPARAM>(&text[0])));
  text.resize(n);
  return text;
}

namespace {
struct ChildSearch {
  std::string className, text;
  HWND found;
};

BOOL CALLBACK MatchChild(HWND child, LPARAM data) {
  auto* s = reinterpret_cast<ChildSearch*>(data);
  char cls[256] = {};
  GetClassNameA(child, cls, sizeof cls);
  if (!s->className.empty() && lstrcmpiA(cls, s->className.c_str()) != 0) return TRUE;
  if (!s->text.empty() && WindowText(child) != s->text) return TRUE;
  s->found = child;
  return FALSE;
}
}  // namespace

HWND FindChild(HWND parent, const std::string& className, const std::string& text) {
  ChildSearch search{className, text, nullptr};
  EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

int RemoteListRowCount(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

RemoteMemory::RemoteMemory(HWND window, size_t size) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  process_ = shell::OwnedHandle(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
  if (process_.Valid())
    address_ = static_cast<char*>(VirtualAllocEx(process_.Get(), nullptr, size, MEM_COMMIT, PAGE_READWRITE));
}

RemoteMemory::~RemoteMemory() {
  if (address_) VirtualFreeEx(process_.Get(), address_, 0, MEM_RELEASE);
}

void RemoteMemory::Write(const void* bytes, size_t size, size_t offset) const {
  if (address_) WriteProcessMemory(process_.Get(), address_ + offset, bytes, size, nullptr);
}

std::string RemoteMemory::Read(size_t size, size_t offset) const {
  std::string bytes(size, '\0');
  if (address_) ReadProcessMemory(process_.Get(), address_ + offset, &bytes[0], size, nullptr);
  return bytes;
}

std::string RemoteListCell(HWND list, int row, int column) {
  const size_t textSize = 4096;
  RemoteMemory remote(list, sizeof(LVITEMA) + textSize);
  LVITEMA item = {};
  item.iSubItem = column;
  item.pszText = remote.Address() + sizeof(LVITEMA);
  item.cchTextMax = textSize;
  remote.Write(&item, sizeof item);
  const int n = static_cast<int>(SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(remote.Address())));
  return remote.Read(n > 0 ? n : 0, sizeof(LVITEMA));
}

bool RemoteListChecked(HWND list, int row) {
  UINT state = static_cast<UINT>(SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK));
  return ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

int RemoteListImage(HWND list, int row) {
  RemoteMemory remote(list, sizeof(LVITEMA));
  LVITEMA item = {};
  item.mask = LVIF_IMAGE;
  item.iItem = row;
  item.iImage = -1;
  remote.Write(&item, sizeof item);
  SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(remote.Address()));
  const std::string read = remote.Read(sizeof item);
  memcpy(&item, read.data(), sizeof item);
  return item.iImage;
}

namespace {
void RemoteListSetState(HWND list, int row, UINT mask, UINT state) {
  RemoteMemory remote(list, sizeof(LVITEMA));
  LVITEMA item = {};
  item.stateMask = mask;
  item.state = state;
  remote.Write(&item, sizeof item);
  SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(remote.Address()));
}
}  // namespace

void RemoteListSetChecked(HWND list, int row, bool checked) {
  RemoteListSetState(list, row, LVIS_STATEIMAGEMASK, INDEXTOSTATEIMAGEMASK(checked ? 2 : 1));
}

void RemoteListSelect(HWND list, int row) {
  RemoteListSetState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

DWORD ProcessHandleCount(HANDLE process) {
  DWORD count = 0;
  GetProcessHandleCount(process, &count);
  return count;
}

size_t ProcessPrivateBytes(HANDLE process) {
  PROCESS_MEMORY_COUNTERS_EX counters = {};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
  return counters.PrivateUsage;
}

int GdiObjectCount() {
  SetLastError(0);
  const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (counted || GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return int(counted);
  // Wine keeps one 24-byte entry per handle in the table that the process
  // environment block points to; byte 14 holds the object type, 0 when free.
  const auto* peb = reinterpret_cast<const BYTE*>(__readfsdword(0x30));
  const BYTE* table = *reinterpret_cast<const BYTE* const*>(peb + 0x94);
  MEMORY_BASIC_INFORMATION region = {};
  if (!table || !VirtualQuery(table, &region, sizeof region)) return -1;
  const size_t entries = (static_cast<const BYTE*>(region.BaseAddress) + region.RegionSize - table) / 24;
  int live = 0;
  for (size_t i = 0; i < entries; ++i)
    if (table[i * 24 + 14] != 0) ++live;
  return live;
}

UINT RemoteErrorMode(HANDLE process) {
  // kernel32 lies at the same address in every process of the session.
  auto* getErrorMode = reinterpret_cast<LPTHREAD_START_ROUTINE>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetErrorMode")));
  HANDLE thread = CreateRemoteThread(process, nullptr, 0, getErrorMode, nullptr, 0, nullptr);
  if (!thread) return UINT(-1);
  DWORD mode = DWORD(-1);
  if (WaitForSingleObject(thread, testing_support::kHangBoundMs) == WAIT_OBJECT_0) GetExitCodeThread(thread, &mode);
  CloseHandle(thread);
  return mode;
}

std::string UnixPath(const std::string& windowsPath) {
  using ToUnix = char*(CDECL*)(const wchar_t*);
  auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!toUnix) return std::string();
  wchar_t wide[MAX_PATH * 2] = {};
  MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH * 2);
  char* unix = toUnix(wide);
  if (!unix) return std::string();
  std::string result(unix);
  HeapFree(GetProcessHeap(), 0, unix);
  return result;
}

bool StartUnixProgram(const std::string& program, const std::string& arguments) {
  std::string windowsPath = "Z:" + program;
  for (char& c : windowsPath)
    if (c == '/') c = '\\';
  std::string commandLine = program + " " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(windowsPath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info))
    return false;
  const shell::OwnedHandle thread(info.hThread), process(info.hProcess);
  return true;
}

}  // namespace testing_support
