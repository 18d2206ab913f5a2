// The drive list on the window: every change is carried out by the window's
// own thread while the calling thread waits.
#pragma once
#include "shelltool/form.h"
#include "spacemon/drive_space_poll_loop.h"

namespace spacemon {

class WindowDriveList : public DriveListSink {
 public:
  WindowDriveList(ui::Form& window, int listId) : window_(window), listId_(listId) {}
  void DeleteAllRows() override;
  int AppendRow(const std::string& firstCell) override;
  void TickRow(int row) override;
  void SetCell(int row, int column, const std::string& text) override;
  void SetHeights(int windowHeight, int listHeight) override;

 private:
  ui::Form& window_;
  int listId_;
};

}  // namespace spacemon
