// The edit panel 分组框1, where a project is added or changed, and the
// count of ticked projects.
#pragma once

namespace kavrel {

// Uncovers the panel for a new project, or refuses the 101st.
void OpenNewProjectPanel();
inline void OnAddProjectClicked() { OpenNewProjectPanel(); }
// Opens the panel on the current row, or for a new project when there is none.
void OnMenuEditProject();
inline void OnProjectListDoubleClick() { OnMenuEditProject(); }
void OnEditConfirmClicked();
void OnEditCancelClicked();
// A user's toggle of a row's check box.
void OnProjectListCheckToggled(int row, int state);

}  // namespace kavrel
