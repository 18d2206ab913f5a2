#include "base/utilities.h"

#include <ole2.h>
#include <oleauto.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include <cmath>
#include <vector>

#include "base/gbk_text.h"
#include "base/owned.h"

namespace {
ProgramExitRoutine g_exitRoutine = nullptr;
HWND g_opacityWindow = nullptr;

// Invokes a named member; returns the HRESULT.
HRESULT InvokeMember(IDispatch* object, const wchar_t* name, WORD flags, VARIANT* args,
                     UINT argCount, VARIANT* result) {
  DISPID id;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  DISPPARAMS params = {args, nullptr, argCount, 0};
  EXCEPINFO info = {};
  hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &info, nullptr);
  if (hr == DISP_E_EXCEPTION) {
    if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
  }
  return hr;
}

bool IsDotEntry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

// Adds the size of every file below dir (ending in a backslash); false when
// a folder below cannot be read.
bool AddFolderFiles(const std::wstring& dir, int64_t& total) {
  shell::FileSearch search(dir + L"*");
  for (bool more = search.Found(); more; more = search.Next()) {
    const WIN32_FIND_DATAW& data = search.Entry();
    if (IsDotEntry(data.cFileName)) continue;
    if (!search.IsDirectory()) total += (int64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    else if (!AddFolderFiles(dir + data.cFileName + L"\\", total)) return false;
  }
  return !search.Failed();
}
}  // namespace

int32_t TransparencyLevel = 0;

void SetProgramExitRoutine(ProgramExitRoutine routine) { g_exitRoutine = routine; }

void EndProgram(int exitCode) {
  if (g_exitRoutine) g_exitRoutine(exitCode);
  ExitProcess(static_cast<UINT>(exitCode));
}

std::string OwnExecutableName() {
  std::string path = OwnExecutableDirectory();
  char full[MAX_PATH * 2] = {};
  GetModuleFileNameA(nullptr, full, sizeof full - 1);
  return std::string(full).substr(path.size());
}

std::string OwnExecutableDirectory() {
  char full[MAX_PATH * 2] = {};
  GetModuleFileNameA(nullptr, full, sizeof full - 1);
  const std::string path(full);
  const size_t lastSlash = gbk::FindLastBackslash(path);
  return lastSlash == std::string::npos ? std::string() : path.substr(0, lastSlash + 1);
}

bool GuardSingleInstanceByProcess(const std::string& executableName, int32_t allowedCount,
                                  bool exitFlag, HWND windowToRestore) {
  if (allowedCount < 0) return false;
  if (allowedCount > 0) {
    const std::string wanted =
        gbk::ToLowerAscii(executableName.empty() ? OwnExecutableName() : executableName);
    int count = 0;
    shell::OwnedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (snapshot.Valid()) {
      PROCESSENTRY32 entry = {};
      entry.dwSize = sizeof entry;
      for (BOOL ok = Process32First(snapshot.Get(), &entry); ok; ok = Process32Next(snapshot.Get(), &entry)) {
        std::string name(entry.szExeFile);
        size_t cut = name.find_last_of("\\/");  // the snapshot may give a path
        if (cut != std::string::npos) name = name.substr(cut + 1);
        if (gbk::ToLowerAscii(name) == wanted) ++count;
      }
    }
    if (count <= allowedCount) return false;
  }
  if (windowToRestore) OpenIcon(windowToRestore);
  if (exitFlag) EndProgram(0);
  return true;
}

bool GuardSingleInstanceByMutex(const std::string& mutexName, bool exitFlag, HWND windowToRestore) {
  HANDLE existing = OpenMutexA(MUTEX_ALL_ACCESS, TRUE, mutexName.c_str());
  if (existing) {
    // Left open on purpose: it only adds a reference to the other instance's mutex.
    if (windowToRestore) OpenIcon(windowToRestore);
    if (exitFlag) EndProgram(0);
    return true;
  }
  SECURITY_ATTRIBUTES attributes = {};
  CreateMutexA(&attributes, TRUE, mutexName.c_str());  // owned until the process ends
  return false;
}

bool IsDirectory(const std::string& path) {
  return PathIsDirectoryA(path.c_str()) == FILE_ATTRIBUTE_DIRECTORY;
}

bool IsDirectoryEmpty(const std::string& path) { return PathIsDirectoryEmptyA(path.c_str()) != FALSE; }

int64_t GetDirectorySize(const std::string& path) {
  if (path.size() <= 3) {
    ULARGE_INTEGER freeToCaller = {}, total = {}, totalFree = {};
    if (!GetDiskFreeSpaceExA(path.c_str(), &freeToCaller, &total, &totalFree)) return 0;
    return static_cast<int64_t>(double(total.QuadPart) - double(freeToCaller.QuadPart));
  }
  return GetFolderSizeViaCom(path);
}

int64_t SumFolderFiles(const std::string& path) {
  if (path.empty()) return 0;
  int64_t total = 0;
  return AddFolderFiles(WidePath(gbk::WithTrailingBackslash(path)), total) ? total : -1;
}

std::wstring WidePath(const std::string& path) {
  std::wstring wide = gbk::Widen(path);
  if (wide.size() >= 3 && wide[1] == L':' && wide[2] == L'\\') wide.insert(0, L"\\\\?\\");
  return wide;
}

int64_t GetFolderSizeViaCom(const std::string& path) {
  shell::ComApartment apartment;  // entered first: it outlives every pointer below
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(L"scripting.FileSystemObject", &clsid))) return -1;
  IDispatch* created = nullptr;
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                              IID_IDispatch, reinterpret_cast<void**>(&created))))
    return -1;
  shell::OwnedDispatch fileSystem(created);

  VARIANT arg;
  VariantInit(&arg);
  arg.vt = VT_BSTR;
  arg.bstrVal = SysAllocString(gbk::Widen(path).c_str());
  VARIANT folderValue;
  VariantInit(&folderValue);
  HRESULT hr = InvokeMember(fileSystem.get(), L"GetFolder", DISPATCH_METHOD, &arg, 1, &folderValue);
  VariantClear(&arg);
  // What the object cannot measure (no such folder, a folder below that it
  // may not read, a platform without Folder.Size) is measured by our own walk,
  // which tells a missing folder (0) from one that cannot be read (-1).
  if (FAILED(hr) || folderValue.vt != VT_DISPATCH || !folderValue.pdispVal) {
    VariantClear(&folderValue);
    return SumFolderFiles(path);
  }
  shell::OwnedDispatch folder(folderValue.pdispVal);
  folderValue.vt = VT_EMPTY;  // ownership moved to folder

  VARIANT size;
  VariantInit(&size);
  hr = InvokeMember(folder.get(), L"Size", DISPATCH_PROPERTYGET, nullptr, 0, &size);
  const bool measured = SUCCEEDED(hr) && SUCCEEDED(VariantChangeType(&size, &size, 0, VT_R8));
  const int64_t result = measured ? static_cast<int64_t>(size.dblVal) : SumFolderFiles(path);
  VariantClear(&size);
  return result;
}

int32_t FastTextLength(const char* text) { return text ? static_cast<int32_t>(lstrlenA(text)) : 0; }

std::string FormatByteSize(int64_t bytes) {
  const double b = static_cast<double>(bytes);
  static const struct { double divisor; const char* letter; } kUnits[] = {
      {1024.0, "K"}, {1048576.0, "M"}, {1073741824.0, "G"}};
  double value = b / 1099511627776.0;
  const char* letter = "T";
  for (const auto& unit : kUnits) {
    if (b / unit.divisor - 1000.0 < -0.0000001) {
      value = b / unit.divisor;
      letter = unit.letter;
      break;
    }
  }
  return gbk::NumberText(RoundToHundredths(value)) + letter;
}

double RoundToHundredths(double value) {
  if (value == 0.0) return 0.0;
  double scaled = std::fabs(value) * 100.0 + 0.000000000001;
  double whole;
  double fraction = std::modf(scaled, &whole);
  if (fraction >= 0.5) whole += 1.0;
  return std::copysign(whole / 100.0, value);
}

namespace {

// How many of a path's names make its root, which is there or not and is
// never made: "\\server\share" (two empty names first), or a drive.
size_t RootNameCount(const std::vector<std::string>& names) {
  if (names.size() >= 2 && names[0].empty() && names[1].empty()) return 4;
  if (!names.empty() && names[0].size() == 2 && names[0][1] == ':') return 1;
  return 0;
}

}  // namespace

bool EnsureDirectoryPath(const std::string& path) {
  // Level by level: Wine's MakeSureDirectoryPathExists splits at every 0x5C
  // byte, so the second byte of a double-byte character would end a level.
  const std::vector<std::string> names = gbk::Split(gbk::WithTrailingBackslash(path), "\\");
  const size_t root = RootNameCount(names);
  std::string level;
  for (size_t k = 0; k < names.size(); ++k) {
    const std::string& name = names[k];
    if (k > 0) level += '\\';
    level += name;
    if (k < root || name.empty()) continue;
    if (!CreateDirectoryA(level.c_str(), nullptr) && !IsDirectory(level)) return false;
  }
  return true;
}

void PumpPendingMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
    if (msg.message == WM_QUIT) return;  // left for the message loop
    PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

void WaitWithMessages(HANDLE object) {
  while (MsgWaitForMultipleObjects(1, &object, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) PumpPendingMessages();
}

bool DelayWithMessages(int32_t amount, int32_t unit) {
  static const double kMultiplier[] = {1.0, 1000.0, 60000.0, 3600000.0};
  const double multiplier = (unit >= 0 && unit <= 3) ? kMultiplier[unit] : 1.0;
  LARGE_INTEGER due;
  due.QuadPart = static_cast<LONGLONG>(double(amount) * multiplier * -10000.0);

  shell::OwnedHandle timer(CreateWaitableTimerA(nullptr, FALSE, nullptr));
  if (timer.Valid() && SetWaitableTimer(timer.Get(), &due, 0, nullptr, nullptr, FALSE)) {
    WaitWithMessages(timer.Get());
  } else {
    // No timer: keep the promise of about the requested time with timed waits.
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(double(amount) * multiplier);
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(end - now), 0xFF);
      PumpPendingMessages();
    }
  }
  return true;
}

void StartWorkerThread(WorkerThreadRoutine routine, int32_t parameter, HANDLE& handle) {
  handle = CreateThread(nullptr, 0, routine, reinterpret_cast<LPVOID>(static_cast<intptr_t>(parameter)), 0, nullptr);
  if (handle) SetThreadIdealProcessor(handle, 32);
}

void SetOpacityWindow(HWND window) { g_opacityWindow = window; }

int AlphaForTransparencyLevel(int32_t level) {
  if (level == 0) return 255;
  return static_cast<int>((double(level) / 10.0 + 1.0) * 255.0);
}

void OnListMouseWheel(int32_t notches, int32_t /*keyState*/) {
  int64_t level = int64_t(TransparencyLevel) + notches;
  if (level > 0) level = 0;
  if (level < -9) level = -9;
  TransparencyLevel = static_cast<int32_t>(level);
  if (!g_opacityWindow) return;
  SetWindowLongA(g_opacityWindow, GWL_EXSTYLE, WS_EX_LAYERED);
  SetLayeredWindowAttributes(g_opacityWindow, 0, static_cast<BYTE>(AlphaForTransparencyLevel(TransparencyLevel)), LWA_ALPHA);
}
