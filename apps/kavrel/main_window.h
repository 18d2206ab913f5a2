// Kavrel's main window: the table of its controls and its pop-up menu.
#pragma once
#include "backup/ui/main_window_controls.h"

namespace kavrel {

// The crash guard's default owner class: a fault box of the user-interface
// thread is then owned by the main window, which stays disabled under it.
inline constexpr char kMainWindowClass[] = "Afx:10000000:b:10011:1900015:0";
extern const ui::WindowDef kMainWindowDef;

}  // namespace kavrel
