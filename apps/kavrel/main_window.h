// Kavrel's main window: the table of its controls and its pop-up menu.
#pragma once
#include "backup/ui/main_window_controls.h"

namespace kavrel {

extern const ui::WindowDef kMainWindowDef;

}  // namespace kavrel
