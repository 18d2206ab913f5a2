#include "crashguard/guard_configuration.h"

#include <windows.h>

#include "crashguard/fault_report.h"
#include "crashguard/guard_options.h"
#include "crashguard/runtime_errors.h"

namespace crashguard {

void InstallRuntimeErrorHandler() { SetRuntimeErrorHandler(OnRuntimeError); }

void ConfigureCrashGuard(const CrashGuardConfiguration& given) {
  CrashGuardOptions* options = SnapshotCrashGuardOptions();
  if (given.userCallback) options->userCallback = *given.userCallback;
  if (given.showBox) options->showBox = *given.showBox;
  if (given.endThreadOnly) options->endThreadOnly = *given.endThreadOnly;
  if (given.installRuntimeErrorHandler.value_or(true)) InstallRuntimeErrorHandler();
  if (!given.ownerWindowClass.empty()) SetOwnerWindowClass(*options, given.ownerWindowClass.c_str());
  if (given.passCppExceptions) options->passCppExceptions = *given.passCppExceptions;
  if (given.includeCallStack) options->includeCallStack = *given.includeCallStack;
  if (given.skipSystemFrames) options->skipSystemFrames = *given.skipSystemFrames;
  if (given.maxSymbolOffset > 0) options->maxSymbolOffset = given.maxSymbolOffset;
  if (given.outermostFirst) options->outermostFirst = *given.outermostFirst;
  options->guardActive = 1;
  StoreCrashGuardOptions(*options);
  FreeCrashGuardOptions(options);
}

}  // namespace crashguard
