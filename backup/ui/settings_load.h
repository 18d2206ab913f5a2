// Start-up load of the settings file into the main window.
#pragma once
#include "backup/settings/settings_file.h"
#include "backup/ui/program_state.h"

namespace kavrel {

// Reads, deciphers and applies the file by the load rules; a missing,
// unreadable or malformed file leaves the window as it is, without a message.
void LoadSettings(ProgramState& state, const SettingsFile& file);

}  // namespace kavrel
