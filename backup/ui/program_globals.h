// Kavrel's process-wide variables, created at start and freed at exit.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "crashguard/api_hook.h"
#include "shelltool/form.h"

namespace kavrel {

extern std::string BackupSuffix;      // "_backupx\" once the main window exists
extern std::vector<std::string> MonitorDirList;  // column 3 of each project row, in row order

struct MenuItemRef {
  ui::Form* window = nullptr;
  int item = 0;
};
constexpr int kMenuItemTableSize = 21;
extern MenuItemRef MenuItemTable[kMenuItemTableSize];

extern crashguard::ApiHook* ProgramApiHook;  // the program's one inline hook object
extern std::string BrowseStartFolder;  // where the directory chooser opens

void InitProgramGlobals();
void AllocateProgramGlobals();
void ReleaseProgramGlobals();
void FreeProgramGlobals();

}  // namespace kavrel
