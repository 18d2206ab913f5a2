// The program's run-time support for failed checks of its own code: the
// registered handler reports, then the process ends with exit code -1.
#pragma once

#include <cstdint>

namespace crashguard {

using RuntimeErrorHandler = int32_t(__stdcall*)(int32_t code, const char* message);

constexpr int32_t kAllocationFailed = 1;
constexpr int32_t kUncaughtException = 2;

// Also routes failed allocations (operator new) here, and the terminate
// path: an exception that nothing caught, such as an index out of range.
void SetRuntimeErrorHandler(RuntimeErrorHandler handler);
RuntimeErrorHandler CurrentRuntimeErrorHandler();
// A nonzero handler result means the report was shown; otherwise, and for an
// error raised while the handler runs, a plain box tells it.
[[noreturn]] void RaiseRuntimeError(int32_t code, const char* message);

}  // namespace crashguard
