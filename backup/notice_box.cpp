#include "backup/notice_box.h"

#include "apps/kavrel/main_window.h"

namespace kavrel {

int ShowNotice(const std::string& text, UINT style) {
  return MessageBoxA(MainWindow().Window(), text.c_str(), "提示信息", style);
}

}  // namespace kavrel
