// The crash guard's report texts, its configuration call and the fault box.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "crashguard/fault_report.h"
#include "crashguard/guard_configuration.h"
#include "crashguard/guard_options.h"
#include "crashguard/hex_text.h"
#include "crashguard/module_list.h"
#include "crashguard/process_map.h"
#include "crashguard/runtime_errors.h"
#include "gui/modal_watch.h"

namespace {

using namespace crashguard;
using kavrel_testing::ModalWatch;

constexpr char kFirstLine[] = "警告:程序发生错误\r\n";

std::vector<uint8_t> Context(uint32_t ebp, uint32_t eip) {
  std::vector<uint8_t> context(kContextCopySize, 0);
  std::memcpy(&context[kContextEbpOffset], &ebp, 4);
  std::memcpy(&context[kContextEipOffset], &eip, 4);
  return context;
}

ExceptionRecordCopy Record(uint32_t code, std::vector<int32_t> parameters, uint32_t address = 0x10) {
  ExceptionRecordCopy record{};
  record.ExceptionCode = code;
  record.ExceptionAddress = address;
  record.NumberParameters = static_cast<uint32_t>(parameters.size());
  for (size_t i = 0; i < parameters.size() && i < 15; ++i) record.parameters[i] = parameters[i];
  return record;
}

std::string Describe(ExceptionRecordCopy record) { return DescribeException(record, Context(0, 0).data()); }

void ResetOptions() {
  GetCrashGuardOptions();
  CrashGuardOptions defaults{1, 0, 0, kDefaultOwnerWindowClass, 1, 1, 1, 0, 4096, 0, 0, 0};
  StoreCrashGuardOptions(defaults);
}

int g_callbackCalls = 0;
int32_t __stdcall CountingCallback(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                                   int32_t) {
  ++g_callbackCalls;
  return 0;
}

TEST(DescribeExceptionTest, AReadOfAddressZeroNamesTheOperationAndTargetAndListsNoParameters) {
  EXPECT_EQ(Describe(Record(0xC0000005, {0, 0})), std::string(kFirstLine) +
                                                     "错误信息:访问无效内存\r\n"
                                                     "         尝试的操作：读取\r\n"
                                                     "         目标地址:0x00000000\r\n"
                                                     "发生位置:0x00000010\r\n");
  EXPECT_NE(Describe(Record(0xC0000005, {1, 0x1234})).find("         尝试的操作：写入\r\n         目标地址:0x00001234\r\n"),
            std::string::npos);
}

TEST(DescribeExceptionTest, AnUnknownCodeGivesItsNumberAndEveryParameter) {
  EXPECT_EQ(Describe(Record(0xE0000001, {5, -1})), std::string(kFirstLine) +
                                                      "错误代码:-536870911(0xE0000001)\r\n"
                                                      "发生位置:0x00000010\r\n"
                                                      "错误参数1:5(0x00000005)\r\n"
                                                      "错误参数2:-1(0xFFFFFFFF)\r\n");
}

TEST(DescribeExceptionTest, TheToolkitsOwnCodeDescribesAnIntegerOrListsItsParameters) {
  EXPECT_EQ(Describe(Record(0x01DF5E76, {-1, 42})), std::string(kFirstLine) +
                                                       "错误信息:Quellan 异常辅助模块 throw\r\n"
                                                       "         错误描述:(int)42(0x0000002A)\r\n"
                                                       "发生位置:0x00000010\r\n");
  EXPECT_EQ(Describe(Record(0x01DF5E76, {7})), std::string(kFirstLine) +
                                                  "错误信息:Quellan 异常辅助模块 throw\r\n"
                                                  "发生位置:0x00000010\r\n"
                                                  "错误参数1:7(0x00000007)\r\n");
  const char* text = "坏了";
  EXPECT_NE(Describe(Record(0x01DF5E76, {-2, reinterpret_cast<int32_t>(text)})).find("         错误描述:(text)坏了\r\n"),
            std::string::npos);
}

TEST(DescribeExceptionTest, FixedCodesHaveTheirOwnLines) {
  const struct { uint32_t code; const char* line; } kCodes[] = {
      {0xC0000094, "错误信息:非法除0异常\r\n"},    {0xC000008E, "错误信息:非法除0异常\r\n"},
      {0xC00000FD, "错误信息:线程堆栈溢出异常\r\n"}, {0xC000001D, "错误信息:非法CPU指令\r\n"},
      {0x80000003, "错误信息:int3调试中断\r\n"},     {0xC0000096, "错误信息:无法执行Ring0指令\r\n"},
      {0xE06D7363, "错误信息:执行Virtual C++ throw()指令\r\n"},
  };
  for (const auto& c : kCodes)
    EXPECT_EQ(Describe(Record(c.code, {})), std::string(kFirstLine) + c.line + "发生位置:0x00000010\r\n") << c.code;
}

TEST(DescribeExceptionTest, AnAddressInAModuleGetsItsRelativeLineAndTheStackItsOwnModulesReturn) {
  ModuleList modules;
  ListProcessModules(modules);
  const ModuleEntry& own = modules.front();
  const uint32_t fault = own.base + 0x1100;
  // The fault lies in kernel32; the frame above returns into the program's own code.
  const uint32_t ownReturn = own.base + 0x1200;
  uint32_t frame[2] = {0, ownReturn};
  const uint32_t kernel32 = reinterpret_cast<uint32_t>(GetModuleHandleA("kernel32.dll")) + 0x1000;
  std::vector<uint8_t> context = Context(reinterpret_cast<uint32_t>(frame), kernel32);
  uint32_t found = 0;
  ASSERT_TRUE(FindModuleOfAddress(context.data(), found));
  EXPECT_EQ(found, ownReturn);
  ExceptionRecordCopy record = Record(0xC000001D, {}, fault);
  const std::string text = DescribeException(record, context.data());
  EXPECT_NE(text.find("相对地址:[" + own.name + "].0x00001100\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("分析位置:0x" + FormatHex8(ownReturn) + "\r\n"), std::string::npos) << text;
}

TEST(FaultBoxTest, WithoutShowBoxOneOnlyTheCallbackRuns) {
  ResetOptions();
  for (int32_t showBox : {0, 2}) {
    CrashGuardConfiguration configuration;
    configuration.showBox = showBox;
    configuration.userCallback = reinterpret_cast<uint32_t>(&CountingCallback);
    ConfigureCrashGuard(configuration);
    g_callbackCalls = 0;
    ShowExceptionMessageBox();  // a box would hold the test here
    EXPECT_EQ(g_callbackCalls, 1);
  }
}

TEST(FaultBoxTest, ARunTimeErrorStoresItsFiveLinesAndReturnsOne) {
  ResetOptions();
  CrashGuardConfiguration configuration;
  configuration.showBox = 0;
  ConfigureCrashGuard(configuration);
  EXPECT_EQ(OnRuntimeError(3, "X"), 1);
  EXPECT_EQ(GetThreadContextRecord()->GetReportMessage(), "运行时出错!\r\n\r\n错误代码：3\r\n\r\n错误信息：X\r\n");
  EXPECT_EQ(OnRuntimeError(1, nullptr), 1);
  EXPECT_EQ(GetThreadContextRecord()->GetReportMessage(), "运行时出错!\r\n\r\n错误代码：1\r\n\r\n错误信息：\r\n");
}

TEST(FaultBoxTest, TheBoxShowsTheReportOwnedByTheThreadsWindowOfTheGivenClass) {
  ResetOptions();
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.lpszClassName = "GuardOwnerTest";
  RegisterClassA(&windowClass);
  HWND owner = CreateWindowA("GuardOwnerTest", "", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(owner, nullptr);
  EXPECT_EQ(FindOwnTopWindow(GetCurrentThreadId(), "GuardOwnerTest"), owner);
  EXPECT_EQ(FindOwnTopWindow(GetCurrentThreadId() + 1, "GuardOwnerTest"), nullptr);

  CrashGuardConfiguration configuration;
  configuration.showBox = 1;
  configuration.ownerWindowClass = "GuardOwnerTest";
  configuration.includeCallStack = 1;
  ConfigureCrashGuard(configuration);
  StoreThreadReport("M\r\n", " a\r\n");
  std::string caption, text;
  HWND boxOwner = nullptr;
  {
    ModalWatch watch(1, [&](HWND box, int) {
      char buffer[256] = {};
      GetWindowTextA(box, buffer, sizeof buffer);
      caption = buffer;
      text = kavrel_testing::BoxMessage(box);
      boxOwner = GetWindow(box, GW_OWNER);
      kavrel_testing::PressButton(box, IDOK);
    });
    ShowExceptionMessageBox();
  }
  EXPECT_EQ(caption, "程序异常：");
  EXPECT_EQ(text, "M\r\nCallStack:\r\n a\r\n");
  EXPECT_EQ(boxOwner, owner);
  DestroyWindow(owner);
}

TEST(ConfigureCrashGuardTest, EveryArgumentOmittedOnlySwitchesTheGuardOnAndRegistersTheHandler) {
  ResetOptions();
  CrashGuardOptions before = ProcessCrashGuardOptions();
  SetRuntimeErrorHandler(nullptr);
  ConfigureCrashGuard({});
  const CrashGuardOptions& after = ProcessCrashGuardOptions();
  EXPECT_EQ(after.guardActive, 1);
  EXPECT_EQ(CurrentRuntimeErrorHandler(), &OnRuntimeError);
  before.guardActive = 1;
  EXPECT_EQ(std::memcmp(&before, &after, 12), 0);
  EXPECT_STREQ(after.ownerWindowClass, kDefaultOwnerWindowClass);
  EXPECT_EQ(std::memcmp(&before.passCppExceptions, &after.passCppExceptions, 32), 0);
}

TEST(ConfigureCrashGuardTest, LeftOutValuesKeepWhatWasThere) {
  ResetOptions();
  CrashGuardConfiguration first;
  first.ownerWindowClass = "Earlier";
  first.maxSymbolOffset = 100;
  first.installRuntimeErrorHandler = false;
  ConfigureCrashGuard(first);
  CrashGuardConfiguration second;
  second.maxSymbolOffset = -5;
  second.showBox = 0;
  second.installRuntimeErrorHandler = false;
  ConfigureCrashGuard(second);
  EXPECT_EQ(GetMaxSymbolOffset(), 100);
  EXPECT_EQ(GetOwnerWindowClass(), "Earlier");
  EXPECT_EQ(GetExceptionOptionsFirst(), 0);
}

TEST(ConfigureCrashGuardTest, KavrelsCallGivesItsRecord) {
  ResetOptions();
  CrashGuardConfiguration kavrel;
  kavrel.showBox = 1;
  kavrel.endThreadOnly = 1;
  kavrel.installRuntimeErrorHandler = true;
  kavrel.includeCallStack = 0;
  ConfigureCrashGuard(kavrel);
  const CrashGuardOptions& options = ProcessCrashGuardOptions();
  EXPECT_EQ(options.showBox, 1);
  EXPECT_EQ(options.userCallback, 0u);
  EXPECT_EQ(options.endThreadOnly, 1);
  EXPECT_STREQ(options.ownerWindowClass, "Afx:10000000:b:10011:1900015:0");
  EXPECT_EQ(options.passCppExceptions, 1);
  EXPECT_EQ(options.skipSystemFrames, 1);
  EXPECT_EQ(options.includeCallStack, 0);
  EXPECT_EQ(options.outermostFirst, 0);
  EXPECT_EQ(options.maxSymbolOffset, 4096);
  EXPECT_EQ(options.guardActive, 1);
  EXPECT_EQ(options.initialised, 1);
  EXPECT_EQ(options.reserved, 0);
}

}  // namespace
