// Test entry: a program exit that a test did not arrange fails the run
// instead of ending it quietly with the program's own exit code 0.
#include <gtest/gtest.h>

#include <cstdio>

#include "base/utilities.h"

namespace {
void UnexpectedProgramExit(int exitCode) {
  std::fprintf(stderr, "FAILED: the program asked to exit with code %d during a test\n", exitCode);
  std::fflush(stderr);
  ExitProcess(97);
}
}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  SetProgramExitRoutine(UnexpectedProgramExit);
  return RUN_ALL_TESTS();
}
