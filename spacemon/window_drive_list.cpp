#include "spacemon/window_drive_list.h"

namespace spacemon {

void WindowDriveList::DeleteAllRows() {
  window_.RunOnWindowThread([&] { window_.List(listId_).Clear(); });
}

int WindowDriveList::AppendRow(const std::string& firstCell) {
  int row = -1;
  window_.RunOnWindowThread([&] {
    ui::ListView list = window_.List(listId_);
    row = list.InsertRow(list.RowCount(), firstCell);
  });
  return row;
}

void WindowDriveList::TickRow(int row) {
  window_.RunOnWindowThread([&] { window_.List(listId_).SetChecked(row, true); });
}

void WindowDriveList::SetCell(int row, int column, const std::string& text) {
  window_.RunOnWindowThread([&] { window_.List(listId_).SetCell(row, column, text); });
}

void WindowDriveList::SetHeights(int windowHeight, int listHeight) {
  window_.RunOnWindowThread([&] {
    window_.SetWindowHeight(windowHeight);
    window_.SetHeight(listId_, listHeight);
  });
}

}  // namespace spacemon
