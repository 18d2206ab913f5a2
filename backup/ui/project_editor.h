// The edit panel 分组框1, where a project is added or changed, and the
// count of ticked projects.
#pragma once
#include "backup/ui/program_state.h"

namespace kavrel {

// Uncovers the panel for a new project, or refuses the 101st.
void OpenNewProjectPanel(ProgramState& state);
inline void OnAddProjectClicked(ProgramState& state) { OpenNewProjectPanel(state); }
// Opens the panel on the current row, or for a new project when there is none.
void OnMenuEditProject(ProgramState& state);
inline void OnProjectListDoubleClick(ProgramState& state) { OnMenuEditProject(state); }
void OnEditConfirmClicked(ProgramState& state);
void OnEditCancelClicked(ProgramState& state);
// A user's toggle of a row's check box.
void OnProjectListCheckToggled(ProgramState& state, int row, int checkState);

}  // namespace kavrel
