// Kavrel's start-up creates its toolkit object with the globals and runs the
// toolkit's initialiser, and its inline hook object; the exit routine frees both.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "apps/kavrel/program_start.h"
#include "backup/ui/program_globals.h"
#include "base/utilities.h"
#include "shelltool/dialog_helper.h"
#include "shelltool/dialog_helper_module.h"

namespace {

void NoExitDuringTests(int) { ExitProcess(97); }

TEST(KavrelToolkit, TheStartRoutineCreatesTheObjectAndTheInitialiserSetsItsFilter) {
  kavrel::PrepareProgram();
  shell::InitDialogHelperModule();
  SetProgramExitRoutine(NoExitDuringTests);
  shell::ShellDialogHelper* helper = shell::ProgramDialogHelper;
  ASSERT_NE(helper, nullptr);
  EXPECT_EQ(helper->operations, &shell::ShellDialogHelperTable());
  EXPECT_EQ(helper->createPromptFlag, 8192);
  EXPECT_EQ(helper->overwritePromptFlag, 2);
  ASSERT_TRUE(helper->dialogRecord);
  const shell::ByteArray* filter = helper->dialogRecord.get()->lpstrFilter.get();
  ASSERT_NE(filter, nullptr);
  EXPECT_EQ(std::string(filter->begin(), filter->end()), std::string("所有文件(*.*)\0*.*\0\0", 19));
  EXPECT_NE(shell::DialogHelperGlobals().gdiplusToken, 0u);
  // The inline hook object is made with the globals, unhooked, switching to pass-through when destroyed.
  crashguard::ApiHook* hook = kavrel::ProgramApiHook;
  ASSERT_NE(hook, nullptr);
  EXPECT_EQ(hook->operations, &crashguard::ApiHookTable());
  EXPECT_EQ(hook->unhookOnDestroy, 1);
  EXPECT_EQ(hook->GetTrampoline(), 0u);

  shell::DialogHelperGlobals().pickerStartFolder = "C:\\";
  kavrel::FreeProgramGlobals();
  EXPECT_EQ(shell::ProgramDialogHelper, nullptr);
  EXPECT_EQ(kavrel::ProgramApiHook, nullptr);
  EXPECT_EQ(shell::DialogHelperGlobals().pickerStartFolder, "");
}

}  // namespace
