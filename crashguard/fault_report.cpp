#include "crashguard/fault_report.h"

#include <cstring>

#include "crashguard/call_stack.h"
#include "crashguard/guard_options.h"
#include "crashguard/guarded_memory.h"
#include "crashguard/hex_text.h"
#include "crashguard/module_list.h"
#include "crashguard/process_map.h"

namespace crashguard {

namespace {

constexpr size_t kMostFrames = 4096;

uint32_t ContextWord(const uint8_t* context, size_t offset) {
  uint32_t value;
  std::memcpy(&value, context + offset, sizeof value);
  return value;
}

std::string DecimalAndHex(int32_t value) {
  return std::to_string(value) + "(0x" + FormatHex8(static_cast<uint32_t>(value)) + ")";
}

// The description line of the toolkit's own exception code; false when the
// parameter list is to follow instead.
bool DescribeOwnException(const ExceptionRecordCopy& record, std::string& text) {
  if (record.NumberParameters < 2) return false;
  if (record.parameters[0] == -1) {
    text += "         错误描述:(int)" + DecimalAndHex(record.parameters[1]) + "\r\n";
    return true;
  }
  if (record.parameters[0] == -2) {
    text += "         错误描述:(text)" + ReadGuardedText(static_cast<uint32_t>(record.parameters[1]), 4096) + "\r\n";
    return true;
  }
  return false;
}

}  // namespace

void* AllocGlobalMemory(size_t size, bool zeroFill) { return GlobalAlloc(zeroFill ? GMEM_ZEROINIT : 0, size); }

void FreeGlobalMemory(void* block) { GlobalFree(block); }

int32_t __stdcall OnRuntimeError(int32_t code, const char* message) {
  return BuildRuntimeErrorReport(code, message ? message : "");
}

__attribute__((noinline)) int32_t BuildRuntimeErrorReport(int32_t code, const std::string& message) {
  const std::string text = "运行时出错!\r\n\r\n错误代码：" + std::to_string(code) + "\r\n\r\n错误信息：" + message + "\r\n";
  // The frame of the run-time error path that called the handler.
  const std::string stack = FormatCallStack(GetFrameAbove(1), GetOwnReturnAddress());
  StoreThreadReport(text, stack);
  ShowExceptionMessageBox();
  return 1;
}

std::string DescribeException(ExceptionRecordCopy& record, const uint8_t* context) {
  std::string text = "警告:程序发生错误\r\n";
  bool listParameters = true;
  switch (record.ExceptionCode) {
    case 0xC0000005:
      text += "错误信息:访问无效内存\r\n";
      text += record.parameters[0] == 0 ? "         尝试的操作：读取\r\n" : "         尝试的操作：写入\r\n";
      text += "         目标地址:0x" + FormatHex8(static_cast<uint32_t>(record.parameters[1])) + "\r\n";
      listParameters = false;
      break;
    case 0xC0000094:
    case 0xC000008E: text += "错误信息:非法除0异常\r\n"; break;
    case 0xC00000FD: text += "错误信息:线程堆栈溢出异常\r\n"; break;
    case 0xC000001D: text += "错误信息:非法CPU指令\r\n"; break;
    case 0x80000003: text += "错误信息:int3调试中断\r\n"; break;
    case 0xC0000096: text += "错误信息:无法执行Ring0指令\r\n"; break;
    case 0xE06D7363: text += "错误信息:执行Virtual C++ throw()指令\r\n"; break;
    case 0x01DF5E76:
      text += "错误信息:Quellan 异常辅助模块 throw\r\n";
      if (record.NumberParameters > 15) record.NumberParameters = 15;
      listParameters = !DescribeOwnException(record, text);
      break;
    default: text += "错误代码:" + DecimalAndHex(static_cast<int32_t>(record.ExceptionCode)) + "\r\n";
  }

  text += "发生位置:0x" + FormatHex8(record.ExceptionAddress) + "\r\n";
  ModuleList modules;
  ListProcessModules(modules);
  const std::string module = FindModuleName(record.ExceptionAddress, modules);
  if (!module.empty())
    text += "相对地址:[" + module + "].0x" +
            FormatHex8(record.ExceptionAddress - FindModuleBase(record.ExceptionAddress, modules)) + "\r\n";
  uint32_t analysed = 0;
  if (FindModuleOfAddress(context, analysed)) text += "分析位置:0x" + FormatHex8(analysed) + "\r\n";
  if (listParameters) {
    const uint32_t count = record.NumberParameters < 15 ? record.NumberParameters : 15;
    for (uint32_t i = 1; i <= count; ++i)
      text += "错误参数" + std::to_string(i) + ":" + DecimalAndHex(record.parameters[i - 1]) + "\r\n";
  }
  return text;
}

bool FindModuleOfAddress(const uint8_t* context, uint32_t& address) {
  ModuleList modules;
  ListProcessModules(modules);
  if (modules.empty()) return false;
  const ModuleEntry& own = modules.front();
  uint32_t frame = ContextWord(context, kContextEbpOffset);
  uint32_t code = ContextWord(context, kContextEipOffset);
  for (size_t steps = 0; !FindModuleName(code, modules).empty(); ++steps) {
    if (steps == kMostFrames || !IsReadableRange(frame, 8)) return false;
    code = ReadGuarded<uint32_t>(frame + 4);
    frame = ReadGuarded<uint32_t>(frame);
    if (own.base <= code && code <= own.end) break;
  }
  if (!IsExecutableRange(code, 1)) return false;
  address = code;
  return true;
}

void ShowExceptionMessageBox() {
  if (const uint32_t callback = GetUserCallback()) {
    using UserCallback = int32_t(__stdcall*)(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                                             int32_t, int32_t);
    reinterpret_cast<UserCallback>(callback)(0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  }
  if (GetExceptionOptionsFirst() != 1) return;
  const HWND owner = FindOwnTopWindow(GetCurrentThreadId(), GetOwnerWindowClass());
  const std::string text = GetThreadReportText();
  MessageBoxA(owner, text.c_str(), "程序异常：", MB_ICONHAND);
}

HWND FindOwnTopWindow(DWORD threadId, const std::string& className) {
  for (HWND window = GetWindow(GetDesktopWindow(), GW_CHILD); window; window = GetWindow(window, GW_HWNDNEXT))
    if (GetWindowThreadProcessId(window, nullptr) == threadId && ReadWindowClassName(window) == className)
      return window;
  return nullptr;
}

std::string ReadWindowClassName(HWND window) {
  char* block = static_cast<char*>(AllocGlobalMemory(256, true));
  if (!block) return "";
  GetClassNameA(window, block, 255);
  std::string name = block;
  FreeGlobalMemory(block);
  return name;
}

std::string GetThreadReportText() { return GetThreadContextRecord()->BuildThreadReportText(); }

}  // namespace crashguard
