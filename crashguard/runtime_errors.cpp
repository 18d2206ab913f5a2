#include "crashguard/runtime_errors.h"

#include <windows.h>

#include <atomic>
#include <exception>
#include <new>

namespace crashguard {

namespace {

std::atomic<RuntimeErrorHandler> g_handler{nullptr};
std::atomic<bool> g_handlerRunning{false};

void OnAllocationFailed() { RaiseRuntimeError(kAllocationFailed, "内存不足，无法分配内存"); }

// Built on the stack, as the plain box is: the exception may be a failed
// allocation's own.
void OnTerminate() {
  const std::exception_ptr current = std::current_exception();  // keeps what() alive
  const char* what = "未知异常";
  try {
    if (current) std::rethrow_exception(current);
  } catch (const std::exception& error) {
    what = error.what();
  } catch (...) {
  }
  char message[512];
  wsprintfA(message, "未处理的异常：%.480s", what);
  RaiseRuntimeError(kUncaughtException, message);
}

}  // namespace

void SetRuntimeErrorHandler(RuntimeErrorHandler handler) {
  g_handler = handler;
  std::set_new_handler(OnAllocationFailed);
  std::set_terminate(OnTerminate);
}

RuntimeErrorHandler CurrentRuntimeErrorHandler() { return g_handler; }

void RaiseRuntimeError(int32_t code, const char* message) {
  const RuntimeErrorHandler handler = g_handler;
  int32_t shown = 0;
  if (handler && !g_handlerRunning.exchange(true)) shown = handler(code, message);
  if (!shown) {
    // Built on the stack: this box also serves a failed allocation, where
    // allocating again would come straight back here.
    char text[1024];
    wsprintfA(text, "运行时出错!\r\n\r\n错误代码：%d\r\n\r\n错误信息：%.960s\r\n", code, message ? message : "");
    MessageBoxA(nullptr, text, "运行时出错", MB_ICONHAND);
  }
  ExitProcess(static_cast<UINT>(-1));
}

}  // namespace crashguard
