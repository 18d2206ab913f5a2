#include "apps/kavrel/help_window.h"

#include <iterator>

namespace kavrel {

using ui::ControlKind;

const char kBilibiliLink[] = "https://www.bilibili.com/video/BV1Kv4y1k7Qd/";
const char kIxiguaLink[] = "https://www.ixigua.com/7108642718364230151";

const char kUsageText[] =
    "\r\n"
    "    本工具为自用原创程序，完全免费，任何人均可任意使用、复制、传播。\r\n"
    "\r\n"
    "    功能与特点：\r\n"
    "    主要功能用于对分区、文件夹及其子目录中的文件进行定时循环自动增量备份，可支持100个不同任务的连续执行，"
    "利用硬链接方式对增加的文件和修改的文件实时进行完全备份，达到彻底避免误删文件带来的风险，"
    "并且可以在几乎不占磁盘空间的情况下进行主动全量备份，完全自动化处理，无需任何人工干预。\r\n"
    "\r\n"
    "    注意事项：\r\n"
    "    本程序无任何删改功能，仅进行增量备份，源目录中删除文件时，备份仍然保留。\r\n"
    "    因受限于Windows系统及硬链接本身限制，程序仅支持NTFS文件系统，不支持跨磁盘分区备份，支持win7及以上系统，"
    "不支持以.%$开头的或者带有某些特殊字符(例如法文韩文字符)的目录与文件名，使用时需要注意。\r\n"
    "    批量设定监控目录与备份目录时，不可相互嵌套，避免造成死循环。\r\n"
    "    强烈建议不要对系统文件夹或包含正在运行程序的文件夹进行备份，如windows目录，"
    "可能会干扰系统或程序的稳定运行，应尽量将需要经常备份的文件归纳在统一目录中，"
    "同时减少对目录或文件名的重命名，重命名之前的目录与文件都将在备份中保留。";

namespace {

constexpr uint32_t kLinkBox = ui::kReadOnly | ui::kTabStop;

const ui::ControlDef kControls[] = {
    {.id = kHelpText, .name = "报告框", .kind = ControlKind::Edit, .text = kUsageText, .left = 15, .top = 17,
     .width = 745, .height = 140, .flags = ui::kMultiLine | ui::kReadOnly | ui::kVerticalScroll | ui::kTabStop},
    {.id = kBilibiliBox, .name = "B站框", .kind = ControlKind::Edit, .text = kBilibiliLink, .left = 15, .top = 170,
     .width = 274, .height = 22, .flags = kLinkBox},
    {.id = kBilibiliButton, .name = "访问Bilibili", .kind = ControlKind::Button, .text = "访问Bilibili", .left = 294,
     .top = 169, .width = 90, .height = 24, .flags = ui::kTabStop},
    {.id = kIxiguaBox, .name = "西瓜框", .kind = ControlKind::Edit, .text = kIxiguaLink, .left = 392, .top = 170,
     .width = 274, .height = 22, .flags = kLinkBox},
    {.id = kIxiguaButton, .name = "访问西瓜视频", .kind = ControlKind::Button, .text = "访问西瓜视频", .left = 670,
     .top = 169, .width = 90, .height = 24, .flags = ui::kTabStop},
    {.id = kHelpFooter, .name = "标签1", .kind = ControlKind::Label,
     .text = "程序工作原理及详细用法详见以上视频链接，欢迎关注原创作者“Tolvane”，你的关注是我创作的动力，"
             "希望为大家带来更多实用工具。",
     .left = 15, .top = 206, .width = 744, .height = 16},
};

}  // namespace

const ui::WindowDef kHelpWindowDef = {
    .className = "KavrelHelpWindow",
    .caption = "使用说明",
    .left = 0, .top = 0, .width = 780, .height = 268,
    .minimiseBox = true,  // the creation handler removes it
    .centred = true,
    .controls = kControls,
    .controlCount = std::size(kControls),
};

ui::Form& HelpWindow() {
  static ui::Form form(kHelpWindowDef);
  return form;
}

}  // namespace kavrel
