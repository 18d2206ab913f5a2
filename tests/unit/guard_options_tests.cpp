// The crash guard's options record and each thread's report record.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <thread>

#include "crashguard/guard_options.h"
#include "crashguard/process_map.h"
#include "crashguard/thread_context.h"

namespace {

using namespace crashguard;

const CrashGuardOptions& Record() {
  return *reinterpret_cast<const CrashGuardOptions*>(LookupProcessStringMap("_SEH.AppGlobalOption"));
}

// The cases share one process record; each starts from its defaults.
class GuardOptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GetCrashGuardOptions();
    CrashGuardOptions defaults{1, 0, 0, kDefaultOwnerWindowClass, 1, 1, 1, 0, 4096, 0, 0, 0};
    StoreCrashGuardOptions(defaults);
  }
};

TEST_F(GuardOptionsTest, TheFirstCallPublishesTheRecordWithItsDefaults) {
  ASSERT_NE(LookupProcessStringMap("_SEH.AppGlobalOption"), 0);
  const CrashGuardOptions& options = Record();
  EXPECT_EQ(&options, &ProcessCrashGuardOptions());
  EXPECT_EQ(options.showBox, 1);
  EXPECT_EQ(options.userCallback, 0u);
  EXPECT_EQ(options.endThreadOnly, 0);
  EXPECT_STREQ(options.ownerWindowClass, "Afx:10000000:b:10011:1900015:0");
  EXPECT_EQ(options.passCppExceptions, 1);
  EXPECT_EQ(options.skipSystemFrames, 1);
  EXPECT_EQ(options.includeCallStack, 1);
  EXPECT_EQ(options.outermostFirst, 0);
  EXPECT_EQ(options.maxSymbolOffset, 4096);
  EXPECT_EQ(options.guardActive, 0);
  EXPECT_EQ(options.initialised, 1);
  EXPECT_EQ(options.reserved, 0);
}

TEST_F(GuardOptionsTest, ASecondCallFindsThePublishedRecordAndChangesNoField) {
  CrashGuardOptions* changed = SnapshotCrashGuardOptions();
  changed->showBox = 0;
  changed->maxSymbolOffset = 77;
  StoreCrashGuardOptions(*changed);
  FreeCrashGuardOptions(changed);
  const CrashGuardOptions* before = &Record();
  GetCrashGuardOptions();
  std::thread([] { GetCrashGuardOptions(); }).join();
  EXPECT_EQ(&Record(), before);
  EXPECT_EQ(GetExceptionOptionsFirst(), 0);
  EXPECT_EQ(GetMaxSymbolOffset(), 77);
}

TEST_F(GuardOptionsTest, StoringLeavesInitialisedAndReservedAndCopiesTheClassText) {
  char text[] = "MyClass";
  CrashGuardOptions given{2, 0x401000, 1, text, 0, 0, 0, 1, 100, 1, 5, 9};
  StoreCrashGuardOptions(given);
  text[0] = 'X';  // the record keeps its own copy
  const CrashGuardOptions& options = Record();
  EXPECT_EQ(options.initialised, 1);
  EXPECT_EQ(options.reserved, 0);
  EXPECT_EQ(GetOwnerWindowClass(), "MyClass");
  EXPECT_EQ(GetExceptionOptionsFirst(), 2);
  EXPECT_EQ(GetUserCallback(), 0x401000u);
  EXPECT_EQ(GetEndThreadOnly(), 1);
  EXPECT_EQ(GetPassCppExceptions(), 0);
  EXPECT_EQ(GetSkipSystemFrames(), 0);
  EXPECT_EQ(GetIncludeCallStack(), 0);
  EXPECT_EQ(GetOutermostFirst(), 1);
  EXPECT_EQ(GetMaxSymbolOffset(), 100);
  EXPECT_EQ(GetGuardActive(), 1);
}

TEST_F(GuardOptionsTest, ASnapshotsTextCanBeFreedWithoutTouchingTheRecord) {
  CrashGuardOptions* copy = SnapshotCrashGuardOptions();
  ASSERT_NE(copy->ownerWindowClass, nullptr);
  EXPECT_NE(copy->ownerWindowClass, Record().ownerWindowClass);
  EXPECT_STREQ(copy->ownerWindowClass, kDefaultOwnerWindowClass);
  EXPECT_EQ(std::memcmp(&copy->showBox, &Record().showBox, 12), 0);
  FreeCrashGuardOptions(copy);
  EXPECT_EQ(GetOwnerWindowClass(), kDefaultOwnerWindowClass);
}

TEST_F(GuardOptionsTest, AnAbsentClassTextStaysAbsent) {
  CrashGuardOptions given = Record();
  given.ownerWindowClass = nullptr;
  StoreCrashGuardOptions(given);
  EXPECT_EQ(GetOwnerWindowClass(), "");
  CrashGuardOptions* copy = SnapshotCrashGuardOptions();
  EXPECT_EQ(copy->ownerWindowClass, nullptr);
  FreeCrashGuardOptions(copy);
}

class ThreadContextTest : public GuardOptionsTest {
 protected:
  void TearDown() override { ReleaseThreadContext(context); }
  void SetIncludeCallStack(int32_t value) {
    CrashGuardOptions given = Record();
    given.includeCallStack = value;
    StoreCrashGuardOptions(given);
  }
  ThreadContext* context = NewThreadContext();
};

TEST_F(ThreadContextTest, TheReportIsTheMessageAloneWithoutCallStackOrWithAnEmptyOne) {
  context->SetReportTexts("M\r\n", "");
  EXPECT_EQ(context->BuildThreadReportText(), "M\r\n");
  context->SetReportTexts("M\r\n", " a\r\n");
  SetIncludeCallStack(0);
  EXPECT_EQ(context->BuildThreadReportText(), "M\r\n");
  SetIncludeCallStack(1);
  EXPECT_EQ(context->BuildThreadReportText(), "M\r\nCallStack:\r\n a\r\n");
  EXPECT_EQ(context->GetReportMessage(), "M\r\n");
  EXPECT_EQ(context->GetCallStackText(), " a\r\n");
}

TEST_F(ThreadContextTest, OneAttachedItemShowsItsValueAloneAndSeveralShowTheirKeys) {
  context->SetReportTexts("M", "");
  context->SetAttachedInfo(3, "v");
  EXPECT_EQ(context->BuildThreadReportText(), "M\r\n附属信息：v\r\n");
  ReleaseThreadContext(context);
  context = NewThreadContext();
  context->SetReportTexts("M", "");
  context->SetAttachedInfo(1, "a");
  context->SetAttachedInfo(2, "b");
  context->SetAttachedInfo(1, "c");  // keeps its place
  EXPECT_EQ(context->BuildThreadReportText(), "M\r\n附属信息：\r\n[1] = c\r\n[2] = b\r\n");
  EXPECT_EQ(context->GetAttachedInfo(2), "b");
  EXPECT_EQ(context->GetAttachedInfo(7), "");
}

TEST_F(ThreadContextTest, ACopyOwnsItsTextsAndItems) {
  context->SetReportTexts("M", "S");
  context->SetAttachedInfo(1, "a");
  ThreadContext* copy = context->CopyThreadContext();
  context->SetAttachedInfo(1, "changed");
  context->SetReportTexts("N", "T");
  EXPECT_EQ(copy->GetAttachedInfo(1), "a");
  EXPECT_EQ(copy->GetReportMessage(), "M");
  EXPECT_EQ(copy->GetCallStackText(), "S");
  EXPECT_EQ(copy->operations, &ThreadContextTable());
  ReleaseThreadContext(copy);
}

TEST_F(ThreadContextTest, ThreadEndsAreToldFromTheThreadsTimes) {
  EXPECT_EQ(context->HasThreadEnded(), 1);  // thread id 0 cannot be opened
  context->SetContextThreadId(GetCurrentThreadId());
  EXPECT_EQ(context->GetContextThreadId(), GetCurrentThreadId());
  EXPECT_EQ(context->HasThreadEnded(), 0);
  context->CloseContextThreadHandle();
  EXPECT_EQ(context->threadHandle, nullptr);

  HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DWORD id = 0;
  std::thread worker([&] {
    id = GetCurrentThreadId();
    SetEvent(ready);
  });
  WaitForSingleObject(ready, INFINITE);
  ThreadContext* other = NewThreadContext();
  other->SetContextThreadId(id);
  worker.join();
  EXPECT_EQ(other->HasThreadEnded(), 1);
  other->CloseContextThreadHandle();
  ReleaseThreadContext(other);
  CloseHandle(ready);
}

TEST_F(ThreadContextTest, EachThreadStoresItsReportInItsOwnRecord) {
  StoreThreadReport("main", "stack");
  ThreadContext* mine = GetThreadContextRecord();
  EXPECT_EQ(GetThreadContextRecord(), mine);
  std::string otherMessage = "unset";
  std::thread([&] {
    otherMessage = GetThreadContextRecord()->GetReportMessage();
    StoreThreadReport("worker", "");
  }).join();
  EXPECT_EQ(otherMessage, "");
  EXPECT_EQ(mine->GetReportMessage(), "main");
  EXPECT_EQ(mine->GetCallStackText(), "stack");
}

}  // namespace
