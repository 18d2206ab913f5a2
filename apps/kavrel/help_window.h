// Kavrel's help window: usage text and two tutorial-video links.
#pragma once
#include "backup/ui/help_window_controls.h"

namespace kavrel {

extern const char kUsageText[];

extern const ui::WindowDef kHelpWindowDef;

}  // namespace kavrel
