// The picture-preview window that PickPictureFile embeds along the bottom of
// the open dialog: picture details (mode 1) or the file's text (mode 2).
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "shelltool/form.h"

namespace shell {

enum PreviewControl {
  kPictureGroup = 101,  // 分组框1
  kPictureFrame,        // 标签AAA
  kPictureBox,          // 图片框1
  kNameLabel,           // 标签1
  kSizeLabel,           // 标签2
  kWidthLabel,          // 标签3
  kHeightLabel,         // 标签4
  kMeasurePanel,        // 画板1
  kTextGroup,           // 分组框2
  kTextBox,             // 编辑框1
  kPreviewTimer,        // 时钟1
};

extern const ui::WindowDef kPreviewWindowDef;
// The one PreviewWindow, with its destroyed and tick handlers bound.
ui::Form& PreviewWindow();

// Whether the name box names something to preview; for a plain path or a
// quoted list it leaves the path to show in fileText.
bool ResolvePreviewPath(const std::string& fullPath, std::string& fileText);
void ShowPreviewOfFile(const std::string& path);
void ShowPictureDetails(const std::string& path);
void ShowFileAsText(const std::string& path);
// Embeds the window along the dialog's bottom edge and grows the dialog.
void LayoutPreviewInDialog(HWND dialog);
// Wine arranges the dialog after the hook's WM_INITDIALOG (it drops the help
// button's row, 30 pixels, keeping the top): this puts the dialog and the
// window back where the layout placed them. Nothing changes when they are.
void RestorePreviewLayout(HWND dialog);
void OnPreviewWindowTimer();
void OnPreviewWindowDestroyed();

// "1023字节", "1.5KB", "1MB", "2GB": bytes below 1024, else KB, MB or GB to
// two decimals.
std::string PreviewSizeText(int64_t bytes);

}  // namespace shell
