#include "shelltool/picture_preview.h"

#include <iterator>
#include <optional>
#include <string_view>
#include <vector>

#include "base/gbk_text.h"
#include "base/utilities.h"
#include "shelltool/dialog_helper_module.h"
#include "shelltool/picture_decoding.h"

namespace shell {

using ui::ControlKind;

namespace {

// Larger files are not read in: a picture this big would be refused anyway,
// and a text this long would not fit the process.
constexpr int64_t kMaxPictureFileBytes = 64 << 20;
constexpr size_t kMaxTextBytes = 16 << 20;

const ui::ControlDef kControls[] = {
    {.id = kPictureGroup, .name = "分组框1", .kind = ControlKind::GroupBox, .left = 8, .top = 8, .width = 360,
     .height = 122},
    {.id = kPictureFrame, .name = "标签AAA", .kind = ControlKind::Label, .left = 7, .top = 13, .width = 130,
     .height = 102, .parent = kPictureGroup, .flags = ui::kFrame},
    {.id = kPictureBox, .name = "图片框1", .kind = ControlKind::PictureBox, .left = 8, .top = 14, .width = 128,
     .height = 100, .parent = kPictureGroup},
    {.id = kNameLabel, .name = "标签1", .kind = ControlKind::Label, .text = "文件名：", .left = 144, .top = 16,
     .width = 154, .height = 16, .parent = kPictureGroup},
    {.id = kSizeLabel, .name = "标签2", .kind = ControlKind::Label, .text = "文件大小：", .left = 144, .top = 32,
     .width = 145, .height = 16, .parent = kPictureGroup},
    {.id = kWidthLabel, .name = "标签3", .kind = ControlKind::Label, .text = "图片宽度：", .left = 144, .top = 48,
     .width = 133, .height = 16, .parent = kPictureGroup},
    {.id = kHeightLabel, .name = "标签4", .kind = ControlKind::Label, .text = "图片高度：", .left = 144, .top = 64,
     .width = 148, .height = 16, .parent = kPictureGroup},
    {.id = kMeasurePanel, .name = "画板1", .kind = ControlKind::DrawingPanel, .left = 246, .top = 50, .width = 40,
     .height = 32, .parent = kPictureGroup, .flags = ui::kHidden},
    {.id = kTextGroup, .name = "分组框2", .kind = ControlKind::GroupBox, .left = 8, .top = 148, .width = 360,
     .height = 122},
    {.id = kTextBox, .name = "编辑框1", .kind = ControlKind::RichEdit, .left = 8, .top = 14, .width = 344,
     .height = 100, .parent = kTextGroup, .flags = ui::kTabStop},
    {.id = kPreviewTimer, .name = "时钟1", .kind = ControlKind::Timer, .left = 152, .top = 124, .width = 26,
     .height = 26, .interval = 10},
};

constexpr int kDetailLabels[] = {kNameLabel, kSizeLabel, kWidthLabel, kHeightLabel};

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string NameOfPath(const std::string& path) {
  const size_t last = gbk::FindLastBackslash(path);
  return last == std::string::npos ? path : path.substr(last + 1);
}

OwnedHandle OpenForReading(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  return OwnedHandle(file);
}

int64_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::optional<std::string> ReadPictureFile(const std::string& path, int64_t size) {
  if (size > kMaxPictureFileBytes) return std::nullopt;
  OwnedHandle file = OpenForReading(path);
  if (!file) return std::nullopt;
  std::string bytes(static_cast<size_t>(size), '\0');
  DWORD read = 0;
  if (!ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) return std::nullopt;
  bytes.resize(read);
  return bytes;
}

// Where the layout put the dialog and the window (see RestorePreviewLayout).
struct Placement {
  HWND dialog = nullptr;
  RECT dialogRect = {};
  POINT windowAt = {};
};
Placement g_placement;

void SetDetailLabelWidths(ui::Form& form, int width) {
  for (int id : kDetailLabels) form.SetWidth(id, width);
}

}  // namespace

const ui::WindowDef kPreviewWindowDef = {
    .className = "ShellToolPreviewWindow",
    .caption = "",
    .left = 50, .top = 50, .width = 468, .height = 320,
    .minimiseBox = false,
    .centred = false,
    .controls = kControls,
    .controlCount = std::size(kControls),
    .borderless = true,
    .loadHidden = true,
};

ui::Form& PreviewWindow() {
  static ui::Form form(kPreviewWindowDef);
  static const bool bound = [] {
    form.Bind(ui::kWindow, ui::Event::Destroyed, OnPreviewWindowDestroyed);
    form.Bind(kPreviewTimer, ui::Event::Tick, OnPreviewWindowTimer);
    return true;
  }();
  (void)bound;
  return form;
}

bool ResolvePreviewPath(const std::string& fullPath, std::string& fileText) {
  if (fullPath.size() >= 2 && fullPath.compare(fullPath.size() - 2, 2, ":\\") == 0) {
    // A drive root: previewable when that drive exists. The list has room
    // for every drive, not only the first sixteen.
    std::string drives(64, '\0');
    DWORD n = GetLogicalDriveStringsA(static_cast<DWORD>(drives.size()), drives.data());
    if (n >= drives.size()) {
      drives.assign(n + 1, '\0');
      n = GetLogicalDriveStringsA(static_cast<DWORD>(drives.size()), drives.data());
    }
    for (size_t i = 0; i < n && drives[i]; i += std::char_traits<char>::length(&drives[i]) + 1)
      if (UpperAscii(drives[i]) == UpperAscii(fullPath[0])) return true;
    return false;
  }
  if (fullPath.empty()) return false;
  const size_t quote = fullPath.find('"');  // '"' is never a trail byte
  if (quote == std::string::npos) {
    fileText = fullPath;
    return Exists(fullPath);
  }
  const std::string directory = fullPath.substr(0, quote);
  std::vector<std::string> names = gbk::Split(fullPath.substr(quote + 1), "\" \"");
  if (!names.empty() && !names.back().empty()) names.back().pop_back();  // the closing quote
  for (const std::string& name : names) {
    if (Exists(directory + name)) {
      fileText = directory + name;
      return true;
    }
    PumpPendingMessages();
  }
  return false;
}

void ShowPreviewOfFile(const std::string& path) {
  ui::Form& form = PreviewWindow();
  switch (DialogHelperGlobals().previewMode) {
    case 1:
      ShowPictureDetails(path);
      break;
    case 2:
      form.SetVisible(kTextBox, true);
      form.SetRichText(kTextBox, false);
      ShowFileAsText(path);
      break;
    default:
      break;
  }
}

void ShowPictureDetails(const std::string& path) {
  ui::Form& form = PreviewWindow();
  form.Repaint();
  const int64_t size = FileSize(path);
  std::optional<DecodedPicture> picture;
  if (std::optional<std::string> bytes = ReadPictureFile(path, size)) picture = DecodePicture(*bytes);
  form.SetText(kNameLabel, "文件名：" + NameOfPath(path));
  form.SetText(kSizeLabel, "文件大小：" + PreviewSizeText(size));
  // A picture that cannot be decoded shows no dimensions and an empty box.
  form.SetText(kWidthLabel, "图片宽度：" + (picture ? gbk::NumberText(int64_t{picture->width}) : std::string()));
  form.SetText(kHeightLabel, "图片高度：" + (picture ? gbk::NumberText(int64_t{picture->height}) : std::string()));
  form.SetPicture(kPictureBox, picture ? MakePictureBitmap(*picture) : OwnedGdi<HBITMAP>());
  form.Repaint();
}

void ShowFileAsText(const std::string& path) {
  std::string text;
  if (OwnedHandle file = OpenForReading(path)) {
    char chunk[65536];
    DWORD read = 0;
    while (text.size() < kMaxTextBytes && ReadFile(file.Get(), chunk, sizeof chunk, &read, nullptr) && read > 0) {
      const size_t zero = std::string_view(chunk, read).find('\0');
      text.append(chunk, zero == std::string_view::npos ? read : zero);
      if (zero != std::string_view::npos) break;
    }
  }
  PreviewWindow().SetText(kTextBox, text);
}

std::string PreviewSizeText(int64_t bytes) {
  if (bytes < 1024) return gbk::NumberText(bytes) + "字节";
  static const struct { int64_t below; double divisor; const char* unit; } kUnits[] = {
      {1048576, 1024.0, "KB"}, {1073741824, 1048576.0, "MB"}};
  for (const auto& unit : kUnits)
    if (bytes < unit.below) return gbk::NumberText(RoundToHundredths(bytes / unit.divisor)) + unit.unit;
  return gbk::NumberText(RoundToHundredths(bytes / 1073741824.0)) + "GB";
}

void LayoutPreviewInDialog(HWND dialog) {
  ui::Form& form = PreviewWindow();
  DialogHelperState& state = DialogHelperGlobals();
  RECT outer = {}, client = {};
  GetWindowRect(dialog, &outer);
  GetClientRect(dialog, &client);
  const int dialogWidth = Width(outer);
  int height = Height(client);
  state.previewSavedParent = SetParent(form.Window(), dialog);
  state.previewDialogWindow = dialog;

  const int width = Width(client);
  form.SetWindowWidth(width);
  form.SetWidth(kPictureGroup, width - 16);
  form.SetWidth(kTextGroup, width - 16);
  if (state.previewMode == 1) {
    form.SetWidth(kPictureFrame, 202);
    form.SetHeight(kPictureFrame, 152);
    form.SetWidth(kPictureBox, 200);
    form.SetHeight(kPictureBox, 150);
    const RECT frame = form.Bounds(kPictureFrame);
    form.Move(kPictureBox, (Width(frame) - Width(form.Bounds(kPictureBox))) / 2 + frame.left,
              form.Bounds(kPictureBox).top);
    PumpPendingMessages();
    for (int id : kDetailLabels) form.Move(id, 216, form.Bounds(id).top);
    SetDetailLabelWidths(form, 200);
    form.SetHeight(kPictureGroup, 172);
    form.SetWindowHeight(182);
    form.SetVisible(kPictureGroup, true);
    form.SetVisible(kTextGroup, false);
  } else if (state.previewMode == 2) {
    form.SetWidth(kTextBox, Width(form.Bounds(kTextGroup)) - 16);
    form.SetHeight(kTextBox, 150);
    form.SetHeight(kTextGroup, Height(form.Bounds(kTextBox)) + 22);
    form.SetWindowHeight(Height(form.Bounds(kTextGroup)) + 10);
    form.SetVisible(kTextGroup, true);
    form.SetVisible(kPictureGroup, false);
  }
  form.Move(kTextGroup, form.Bounds(kTextGroup).left, form.Bounds(kPictureGroup).top);

  RECT own = {};
  GetWindowRect(form.Window(), &own);
  MoveWindow(form.Window(), 0, client.bottom - 35, Width(own), Height(own), TRUE);
  ShowWindow(form.Window(), SW_SHOW);
  height += Height(own);
  const int left = (GetSystemMetrics(SM_CXSCREEN) - dialogWidth) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  MoveWindow(dialog, left, top, dialogWidth, height, TRUE);
  g_placement = {dialog, {left, top, left + dialogWidth, top + height}, {0, client.bottom - 35}};
  PumpPendingMessages();
}

void RestorePreviewLayout(HWND dialog) {
  if (dialog != g_placement.dialog) return;
  const RECT& want = g_placement.dialogRect;
  RECT now = {};
  GetWindowRect(dialog, &now);
  if (now.left == want.left && now.top == want.top && now.right == want.right && now.bottom == want.bottom)
    return;
  MoveWindow(dialog, want.left, want.top, Width(want), Height(want), TRUE);
  HWND window = PreviewWindow().Window();
  SetWindowPos(window, nullptr, g_placement.windowAt.x, g_placement.windowAt.y, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void OnPreviewWindowTimer() {
  DialogHelperState& state = DialogHelperGlobals();
  if (!state.previewDialogWindow) return;
  RECT client = {};
  GetClientRect(state.previewDialogWindow, &client);
  const RECT& last = state.previewLastClientRect;
  if (client.left == last.left && client.top == last.top && client.right == last.right &&
      client.bottom == last.bottom)
    return;
  state.previewLastClientRect = client;
  ui::Form& form = PreviewWindow();
  const int width = Width(client);
  form.SetWindowWidth(width);
  form.SetWidth(kPictureGroup, width - 16);
  form.SetWidth(kTextGroup, width - 16);
  if (state.previewMode == 1) SetDetailLabelWidths(form, Width(form.Bounds(kPictureGroup)) - 300);
  else if (state.previewMode == 2) form.SetWidth(kTextBox, Width(form.Bounds(kTextGroup)) - 16);
}

void OnPreviewWindowDestroyed() {
  DialogHelperState& state = DialogHelperGlobals();
  ui::Form& form = PreviewWindow();
  if (state.previewSavedParent) {
    ShowWindow(form.Window(), SW_HIDE);
    SetParent(form.Window(), state.previewSavedParent);
    form.SetTimerInterval(kPreviewTimer, 0);
    Sleep(100);
    state.previewSavedParent = nullptr;
  }
  form.Close();
}

}  // namespace shell
