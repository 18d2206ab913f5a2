// The one call by which a program sets its crash guard options; every
// configuration switches the guard on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace crashguard {

// An empty optional is an omitted argument; an empty class text and a
// maxSymbolOffset of 0 or below count as left out.
struct CrashGuardConfiguration {
  std::optional<uint32_t> userCallback;
  std::optional<int32_t> showBox;
  std::optional<int32_t> endThreadOnly;
  std::optional<bool> installRuntimeErrorHandler;  // true when omitted
  std::string ownerWindowClass;
  std::optional<int32_t> passCppExceptions;
  std::optional<int32_t> includeCallStack;
  std::optional<int32_t> skipSystemFrames;
  int32_t maxSymbolOffset = 0;
  std::optional<int32_t> outermostFirst;
};

void ConfigureCrashGuard(const CrashGuardConfiguration& configuration);
// Registers OnRuntimeError as the program's run-time error handler.
void InstallRuntimeErrorHandler();

}  // namespace crashguard
