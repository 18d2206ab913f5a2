// Start-up load of the settings file into the main window.
#pragma once
#include <cstddef>
#include <string>

#include "backup/settings/settings_file.h"
#include "backup/ui/program_state.h"

namespace kavrel {

// Reads, deciphers and applies the file by the load rules; a missing,
// unreadable or malformed file leaves the window as it is, without a message.
void LoadSettings(ProgramState& state, const SettingsFile& file);

// What the start tells of a file holding more projects than the list shows;
// empty when the list shows them all.
std::string UnlistedProjectsNotice(size_t storedProjects);
// Tells it in a box, once the main window is up.
void TellUnlistedProjects(const ProgramState& state);

}  // namespace kavrel
