// Kavrel's start routine, its main window's creation handler and exit path.
#pragma once
#include <cstdint>
#include <string>

#include "backup/ui/program_state.h"

namespace kavrel {

void OnMainWindowCreated(ProgramState& state);
void FillMenuItemTable();
void OnThreadSliderChanged();
// Three digits for a thread count 1..100: "001" ... "100".
std::string ThreadLabelText(int32_t position);

// Destroys the windows, frees the globals once and ends the process.
[[noreturn]] void ExitProgram(int32_t exitCode);

}  // namespace kavrel
