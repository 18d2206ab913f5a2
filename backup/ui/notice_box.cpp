#include "backup/ui/notice_box.h"

#include "backup/ui/main_window_controls.h"

namespace kavrel {

int ShowNotice(const std::string& text, UINT style) {
  return MessageBoxA(MainWindow().Window(), text.c_str(), "提示信息", style);
}

}  // namespace kavrel
