// The crash guard's reports: the run-time error report and the description
// of a structured exception, stored in the faulting thread's record and
// shown in the box "程序异常：".
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

namespace crashguard {

// The handler's copy of EXCEPTION_RECORD: five words, then 15 parameters.
struct ExceptionRecordCopy {
  uint32_t ExceptionCode;
  uint32_t ExceptionFlags;
  uint32_t ExceptionRecord;
  uint32_t ExceptionAddress;
  uint32_t NumberParameters;
  int32_t parameters[15];  // parameter i is parameters[i - 1]
};
static_assert(std::is_standard_layout_v<ExceptionRecordCopy>);
static_assert(sizeof(ExceptionRecordCopy) == 80);

// The 716-byte x86 context copy; only its frame and instruction pointers are read here.
constexpr size_t kContextCopySize = 716;
constexpr size_t kContextEbpOffset = 0xB4;
constexpr size_t kContextEipOffset = 0xB8;

// The program's run-time error handler: stores and shows the report; always 1.
int32_t __stdcall OnRuntimeError(int32_t code, const char* message);
int32_t BuildRuntimeErrorReport(int32_t code, const std::string& message);
std::string DescribeException(ExceptionRecordCopy& record, const uint8_t* context);
// The first return address on the faulting stack that lies in the program's own module.
bool FindModuleOfAddress(const uint8_t* context, uint32_t& address);
void ShowExceptionMessageBox();
HWND FindOwnTopWindow(DWORD threadId, const std::string& className);
std::string ReadWindowClassName(HWND window);
std::string GetThreadReportText();
void* AllocGlobalMemory(size_t size, bool zeroFill);
void FreeGlobalMemory(void* block);

}  // namespace crashguard
