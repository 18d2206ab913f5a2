// The main window's close: deferred while monitoring runs, otherwise the
// settings are saved and the program ends.
#pragma once
#include "backup/settings/settings_file.h"
#include "backup/settings/settings_text.h"
#include "backup/ui/program_state.h"

namespace kavrel {

// False keeps the window open while monitoring runs (the stop is requested
// and the scheduler closes again when the run has ended). When idle it
// saves the settings and ends the program with code 0; it does not return.
bool OnMainWindowCloseQuery(ProgramState& state);

// The window's settings in file order, then the project lines the list does
// not show; normalises the schedule boxes first.
SettingsValues CollectSettings(const ProgramState& state);

// Writes the settings, enciphered, to file; false when nothing was written.
bool SaveSettings(const ProgramState& state, const SettingsFile& file);

}  // namespace kavrel
