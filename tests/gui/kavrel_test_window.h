// Starts Kavrel's main window inside the test process, as the program's own
// start routine does, but keeps the test's exit guard in place.
#pragma once
#include <gtest/gtest.h>

#include "apps/kavrel/main_window.h"
#include "apps/kavrel/program_start.h"
#include "backup/ui/program_globals.h"
#include "backup/ui/program_state.h"
#include "base/utilities.h"

// The program state's fields under the names the cases read them by.
inline int32_t& CheckedProjectCount = kavrel::Program().checkedCount;
inline kavrel::EditState& ProjectEditState = kavrel::Program().edit;

namespace kavrel_testing {

class KavrelWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kavrel::InitProgramGlobals();
    kavrel::BindMainWindowHandlers(window());
    ASSERT_TRUE(window().Create());
    SetOpacityWindow(window().Window());
    PumpPendingMessages();
  }
  void TearDown() override { window().Destroy(); }

  static ui::Form& window() { return kavrel::MainWindow(); }
  static ui::ListView list() { return window().List(kavrel::kProjectList); }
};

}  // namespace kavrel_testing
