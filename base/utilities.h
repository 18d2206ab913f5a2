// General-purpose routines linked by both programs: single-instance guards,
// directory tests and sizes, size text, path creation, a message-pumping
// delay, thread start and window opacity by mouse wheel.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

// The program's orderly end (destroy windows, free globals, end the process).
// Each program installs its own; the guards call it.
using ProgramExitRoutine = void (*)(int exitCode);
void SetProgramExitRoutine(ProgramExitRoutine routine);
[[noreturn]] void EndProgram(int exitCode);

// Executable file name of this process, without directory.
std::string OwnExecutableName();
// Directory of this process's executable, ending with a backslash.
std::string OwnExecutableDirectory();

bool GuardSingleInstanceByProcess(const std::string& executableName = std::string(),
                                  int32_t allowedCount = 1, bool exitFlag = false,
                                  HWND windowToRestore = nullptr);
bool GuardSingleInstanceByMutex(const std::string& mutexName, bool exitFlag = false,
                                HWND windowToRestore = nullptr);

bool IsDirectory(const std::string& path);
bool IsDirectoryEmpty(const std::string& path);
// A folder's size is -1 when it cannot be measured: an unknown size is never taken for 0.
int64_t GetDirectorySize(const std::string& path);
int64_t GetFolderSizeViaCom(const std::string& path);
// Our own measure where the file-system object has none: the sum of every
// file below path, 0 for no such folder, -1 when a folder below cannot be read.
int64_t SumFolderFiles(const std::string& path);
// A path text (GBK, with gbk::Narrow's escapes) as the wide file calls take
// it: a drive path gets the "\\?\" prefix, so that neither its length nor a
// name ending in a dot or a blank stops them.
std::wstring WidePath(const std::string& path);

int32_t FastTextLength(const char* text);
inline int32_t FastTextLength(const std::string& text) { return static_cast<int32_t>(text.size()); }
std::string FormatByteSize(int64_t bytes);
// Two decimals, halves away from zero.
double RoundToHundredths(double value);
bool EnsureDirectoryPath(const std::string& path);

enum DelayUnit : int32_t { kMilliseconds = 0, kSeconds = 1, kMinutes = 2, kHours = 3 };
bool DelayWithMessages(int32_t amount, int32_t unit = kMilliseconds);
// Dispatches every message waiting in the calling thread's queue.
void PumpPendingMessages();
// Waits until the object is signalled, dispatching the thread's messages meanwhile.
void WaitWithMessages(HANDLE object);

using WorkerThreadRoutine = DWORD(WINAPI*)(LPVOID);
void StartWorkerThread(WorkerThreadRoutine routine, int32_t parameter, HANDLE& handle);

// Opacity step of the program's main window, -9..0.
extern int32_t TransparencyLevel;
// The window OnListMouseWheel acts on; each program sets its main window.
void SetOpacityWindow(HWND window);
int AlphaForTransparencyLevel(int32_t level);
void OnListMouseWheel(int32_t notches, int32_t keyState);
