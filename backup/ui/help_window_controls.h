// The help window as its handlers know it: the ids of its controls, its two
// links and its form; filled by the window table in apps/kavrel/help_window.cpp.
#pragma once
#include "shelltool/form.h"

namespace kavrel {

enum HelpControl : int {
  kHelpText = 100,     // 报告框
  kBilibiliBox,        // B站框
  kBilibiliButton,     // 访问Bilibili
  kIxiguaBox,          // 西瓜框
  kIxiguaButton,       // 访问西瓜视频
  kHelpFooter,         // 标签1
};

// One constant per link serves its box, its copy and its open.
extern const char kBilibiliLink[];
extern const char kIxiguaLink[];

// The help window's form; each load creates the window anew from its design.
ui::Form& HelpWindow();

}  // namespace kavrel
