#include "shelltool/form.h"

#include <richedit.h>
#include <windowsx.h>

#include <atomic>
#include <set>

namespace ui {

namespace {
constexpr UINT kRunOnWindowThread = WM_APP + 1;
constexpr UINT_PTR kSubclassId = 1;

// Check changes made by the program, not the user, raise no event.
std::atomic<int> g_programCheckChanges{0};
class ProgramCheckChange {
 public:
  ProgramCheckChange() { ++g_programCheckChanges; }
  ProgramCheckChange(const ProgramCheckChange&) = delete;
  ProgramCheckChange& operator=(const ProgramCheckChange&) = delete;
  ~ProgramCheckChange() { --g_programCheckChanges; }
};

std::set<Form*>& LiveForms() {
  static std::set<Form*> forms;
  return forms;
}

void RegisterWindowClass(const char* className) {
  static std::set<std::string> registered;
  if (registered.count(className)) return;
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = Form::WindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = className;
  RegisterClassExA(&wc);
  registered.insert(className);
}

bool DigitOrMinus(WPARAM c) { return (c >= '0' && c <= '9') || c == '-'; }

// A box for digits and '-' keeps only those of what the user put in, by
// whatever road it came (a paste by keys or by the edit menu included).
// Texts the program sets clear the box's modified flag and stay as set.
void KeepDigitsAndMinus(HWND box) {
  if (!SendMessageA(box, EM_GETMODIFY, 0, 0)) return;
  const std::string text = ReadWindowText(box);
  std::string kept;
  for (char c : text)
    if (DigitOrMinus(static_cast<unsigned char>(c))) kept += c;
  if (kept == text) return;
  SetWindowTextA(box, kept.c_str());
  SendMessageA(box, EM_SETSEL, kept.size(), kept.size());
}

void LoadRichEditOnce() {
  static const HMODULE library = LoadLibraryA("riched20.dll");  // kept for the process's life
  (void)library;
}

UINT ListAlignment(Align align) {
  switch (align) {
    case Align::Centre: return LVCFMT_CENTER;
    case Align::Right: return LVCFMT_RIGHT;
    default: return LVCFMT_LEFT;
  }
}
}  // namespace

void InitCommonControlsOnce() {
  static bool done = false;
  if (done) return;
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  done = true;
}

// ---- ListView ----

int ListView::RowCount() const { return static_cast<int>(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0)); }

int ListView::CurrentRow() const {
  return static_cast<int>(SendMessageA(list_, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED));
}

void ListView::SetCurrentRow(int row) {
  LVITEMA item = {};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = 0;
  SendMessageA(list_, LVM_SETITEMSTATE, WPARAM(-1), reinterpret_cast<LPARAM>(&item));
  if (row < 0) return;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(list_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

int ListView::InsertRow(int row, const std::string& firstCell, int image) {
  ProgramCheckChange quiet;
  LVITEMA item = {};
  item.mask = LVIF_TEXT | (image >= 0 ? LVIF_IMAGE : 0);
  item.iItem = row;
  item.pszText = const_cast<char*>(firstCell.c_str());
  item.iImage = image;
  return static_cast<int>(SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

void ListView::DeleteRow(int row) {
  ProgramCheckChange quiet;
  SendMessageA(list_, LVM_DELETEITEM, row, 0);
}

void ListView::Clear() {
  ProgramCheckChange quiet;
  SendMessageA(list_, LVM_DELETEALLITEMS, 0, 0);
}

std::string ListView::Cell(int row, int column) const {
  std::vector<char> buffer(1024);
  for (;;) {
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(buffer.size());
    int n = static_cast<int>(SendMessageA(list_, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item)));
    if (n < static_cast<int>(buffer.size()) - 1) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 4);
  }
}

void ListView::SetCell(int row, int column, const std::string& text) {
  LVITEMA item = {};
  item.iSubItem = column;
  item.pszText = const_cast<char*>(text.c_str());
  SendMessageA(list_, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

bool ListView::Checked(int row) const {
  UINT state = static_cast<UINT>(SendMessageA(list_, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK));
  return ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

void ListView::SetChecked(int row, bool checked) {
  ProgramCheckChange quiet;
  LVITEMA item = {};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
  SendMessageA(list_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

int ListView::Image(int row) const {
  LVITEMA item = {};
  item.mask = LVIF_IMAGE;
  item.iItem = row;
  SendMessageA(list_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  return item.iImage;
}

void ListView::SetImage(int row, int image) {
  LVITEMA item = {};
  item.mask = LVIF_IMAGE;
  item.iItem = row;
  item.iImage = image;
  SendMessageA(list_, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

void ListView::EnsureVisible(int row) { SendMessageA(list_, LVM_ENSUREVISIBLE, row, FALSE); }

void ListView::Redraw() { RedrawWindow(list_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW); }

// ---- Form ----

Form::Form(const WindowDef& def) : def_(def) {
  for (size_t i = 0; i < def_.menuCount; ++i) {
    MenuItemState state;
    state.def = def_.menu[i];
    state.caption = def_.menu[i].caption ? def_.menu[i].caption : "";
    menu_.push_back(state);
  }
}

Form::~Form() {
  Destroy();
  if (font_) DeleteObject(font_);
}

void Form::Bind(int controlId, Event event, std::function<void()> handler) {
  handlers_[{controlId, event}] = std::move(handler);
}

void Form::Bind(int controlId, Event event, std::function<void(const MouseEvent&)> handler) {
  handlers_[{controlId, event}] = std::move(handler);
}

void Form::Bind(int controlId, std::function<void(const CheckToggled&)> handler) {
  handlers_[{controlId, Event::CheckToggled}] = std::move(handler);
}

void Form::Bind(int controlId, std::function<void(const WheelTurned&)> handler) {
  handlers_[{controlId, Event::MouseWheel}] = std::move(handler);
}

void Form::Bind(std::function<void(CloseQuery&)> handler) { handlers_[{kWindow, Event::CloseQuery}] = std::move(handler); }

bool Form::HasHandler(int controlId, Event event) const { return handlers_.count({controlId, event}) != 0; }

template <typename... Args>
void Form::Fire(int controlId, Event event, Args&... args) {
  auto it = handlers_.find({controlId, event});
  if (it == handlers_.end()) return;
  const Handler handler = it->second;  // a handler may rebind or destroy
  if (auto* plain = std::get_if<std::function<void()>>(&handler)) {
    (*plain)();
  } else if constexpr (sizeof...(Args) == 1) {
    if (auto* typed = std::get_if<std::function<void(Args&...)>>(&handler)) (*typed)(args...);
  }
}

bool Form::Create(HWND owner) {
  InitCommonControlsOnce();
  RegisterWindowClass(def_.className);
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  if (def_.minimiseBox) style |= WS_MINIMIZEBOX;
  if (def_.borderless) style = WS_POPUP | WS_CLIPCHILDREN;
  int left = def_.left, top = def_.top;
  if (def_.centred) {
    left = (GetSystemMetrics(SM_CXSCREEN) - def_.width) / 2;
    top = (GetSystemMetrics(SM_CYSCREEN) - def_.height) / 2;
  }
  destroying_ = false;
  window_ = CreateWindowExA(WS_EX_CONTROLPARENT, def_.className, def_.caption, style, left, top,
                            def_.width, def_.height, owner, nullptr, GetModuleHandleA(nullptr), this);
  if (!window_) return false;
  LiveForms().insert(this);
  // Made once per form: a window opened again (the help window) reuses them.
  if (!font_)
    font_ = CreateFontA(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "SimSun");
  CreateControls();
  Fire(kWindow, Event::Created);
  if (window_ && !def_.loadHidden) {
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);
  }
  return window_ != nullptr;
}

void Form::ShowModal(HWND owner) {
  modalDone_ = false;
  if (owner) EnableWindow(owner, FALSE);
  if (Create(owner)) {
    MSG msg;
    while (!modalDone_) {
      BOOL got = GetMessageA(&msg, nullptr, 0, 0);
      if (got == 0) { PostQuitMessage(static_cast<int>(msg.wParam)); break; }
      if (got < 0) break;
      if (!IsDialogMessageA(window_, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
    }
  }
  if (owner) {
    EnableWindow(owner, TRUE);
    SetActiveWindow(owner);
  }
}

void Form::Destroy() {
  if (inDestroyedHandler_) return;
  if (window_ && IsWindow(window_)) DestroyWindow(window_);
  window_ = nullptr;
}

void Form::Close() {
  if (!window_) return;
  // Inside WM_DESTROY the close comes afterwards: a handler may have saved the
  // window from its parent's destruction (SetParent), and it must still go.
  if (destroying_) PostMessageA(window_, WM_CLOSE, 0, 0);
  else SendMessageA(window_, WM_CLOSE, 0, 0);
}

void Form::CreateControls() {
  for (size_t i = 0; i < def_.controlCount; ++i) {
    const ControlDef& def = def_.controls[i];
    if (def.kind == ControlKind::Timer) {
      SetTimerInterval(def.id, def.interval);
      continue;
    }
    HWND control = CreateControl(def);
    controls_[def.id] = control;
    SetWindowSubclass(control, ControlProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  }
}

HWND Form::CreateControl(const ControlDef& def) {
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  if (!(def.flags & kHidden)) style |= WS_VISIBLE;
  if (def.flags & kDisabled) style |= WS_DISABLED;
  if (def.flags & kTabStop) style |= WS_TABSTOP;
  DWORD exStyle = 0;
  const char* className = "STATIC";
  switch (def.kind) {
    case ControlKind::GroupBox: className = "BUTTON"; style |= BS_GROUPBOX; break;
    case ControlKind::Button: className = "BUTTON"; style |= BS_PUSHBUTTON; break;
    case ControlKind::CheckBox: className = "BUTTON"; style |= BS_AUTOCHECKBOX; break;
    case ControlKind::Label: style |= (def.flags & kFrame) ? SS_GRAYFRAME : SS_LEFT; break;
    case ControlKind::PictureBox: style |= SS_BITMAP | SS_REALSIZECONTROL; break;
    case ControlKind::DrawingPanel: break;
    case ControlKind::RichEdit:
      LoadRichEditOnce();
      className = RICHEDIT_CLASSA;
      exStyle |= WS_EX_CLIENTEDGE;
      style |= ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL;
      break;
    case ControlKind::Timer: break;
    // Painted after the controls beneath it, which it does not clip.
    case ControlKind::TransparentLabel: style |= SS_LEFT; exStyle |= WS_EX_TRANSPARENT; break;
    case ControlKind::Edit:
      className = "EDIT";
      exStyle |= WS_EX_CLIENTEDGE;
      style |= ES_AUTOHSCROLL;
      if (def.flags & kReadOnly) style |= ES_READONLY;
      if (def.flags & kCentred) style |= ES_CENTER;
      if (def.flags & kMultiLine) style = (style & ~ES_AUTOHSCROLL) | ES_MULTILINE | ES_AUTOVSCROLL;
      if (def.flags & kVerticalScroll) style |= WS_VSCROLL;
      break;
    case ControlKind::ListView:
      className = WC_LISTVIEWA;
      exStyle |= WS_EX_CLIENTEDGE;
      style |= LVS_REPORT | LVS_SHOWSELALWAYS;
      if (def.flags & kSingleSelection) style |= LVS_SINGLESEL;
      if (def.flags & kStaticHeader) style |= LVS_NOSORTHEADER;
      break;
    case ControlKind::Slider: className = TRACKBAR_CLASSA; style |= TBS_HORZ | TBS_NOTICKS; break;
  }
  HWND parent = window_;
  if (def.parent != kNoParent) parent = Control(def.parent);
  HWND control = CreateWindowExA(exStyle, className, def.text, style, def.left, def.top, def.width,
                                 def.height, parent, reinterpret_cast<HMENU>(static_cast<intptr_t>(def.id)),
                                 GetModuleHandleA(nullptr), nullptr);
  switch (def.kind) {
    case ControlKind::CheckBox:
      if (def.flags & kChecked) SendMessageA(control, BM_SETCHECK, BST_CHECKED, 0);
      break;
    case ControlKind::Edit:
      if (def.textLimit > 0) SendMessageA(control, EM_LIMITTEXT, def.textLimit, 0);
      break;
    case ControlKind::RichEdit:
      SendMessageA(control, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);  // whole files, not 32K
      break;
    case ControlKind::Slider:
      SendMessageA(control, TBM_SETRANGE, FALSE, MAKELPARAM(def.rangeMin, def.rangeMax));
      SendMessageA(control, TBM_SETPOS, TRUE, def.position);
      break;
    case ControlKind::ListView: {
      DWORD ex = LVS_EX_FULLROWSELECT;
      if (def.flags & kGridLines) ex |= LVS_EX_GRIDLINES;
      if (def.flags & kCheckBoxes) ex |= LVS_EX_CHECKBOXES;
      SendMessageA(control, LVM_SETEXTENDEDLISTVIEWSTYLE, ex, ex);
      for (int c = 0; c < def.columnCount; ++c) {
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = ListAlignment(def.columns[c].align);
        column.cx = def.columns[c].width;
        column.pszText = const_cast<char*>(def.columns[c].title);
        SendMessageA(control, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&column));
      }
      if (def.background != CLR_INVALID) {
        SendMessageA(control, LVM_SETBKCOLOR, 0, def.background);
        SendMessageA(control, LVM_SETTEXTBKCOLOR, 0, def.background);
      }
      break;
    }
    default: break;
  }
  // Later controls of the table lie above earlier ones (a list over the panel it covers).
  SetWindowPos(control, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return control;
}

const ControlDef* Form::DefOf(int id) const {
  for (size_t i = 0; i < def_.controlCount; ++i)
    if (def_.controls[i].id == id) return &def_.controls[i];
  return nullptr;
}

ControlKind Form::KindOf(int id) const {
  const ControlDef* def = DefOf(id);
  return def ? def->kind : ControlKind::Label;
}

// A control beneath a transparent label does not leave the label out when it
// paints, so the label's text goes over it again.
void Form::RepaintLabelsOver(HWND control) const {
  RECT below, above, overlap;
  GetWindowRect(control, &below);
  for (const auto& [id, label] : controls_)
    if (KindOf(id) == ControlKind::TransparentLabel && IsWindowVisible(label) && GetWindowRect(label, &above) &&
        IntersectRect(&overlap, &below, &above))
      InvalidateRect(label, nullptr, FALSE);
}

HWND Form::Control(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

int Form::ControlIdOf(HWND control) const {
  for (const auto& [id, handle] : controls_)
    if (handle == control) return id;
  return kWindow;
}

std::string Form::Text(int id) const { return ReadWindowText(Control(id)); }

std::string ReadWindowText(HWND window) {
  const LRESULT n = SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
  if (n <= 0) return std::string();
  std::string text(static_cast<size_t>(n), ' ');
  text.push_back('\0');
  const LRESULT got = SendMessageA(window, WM_GETTEXT, static_cast<WPARAM>(n + 1), reinterpret_cast<LPARAM>(text.data()));
  text.resize(got > 0 && got <= n ? static_cast<size_t>(got) : 0);
  return text;
}

void Form::SetText(int id, const std::string& text) { SetWindowTextA(Control(id), text.c_str()); }

bool Form::Visible(int id) const {
  return (GetWindowLongA(Control(id), GWL_STYLE) & WS_VISIBLE) != 0;
}

void Form::SetVisible(int id, bool visible) { ShowWindow(Control(id), visible ? SW_SHOWNA : SW_HIDE); }

bool Form::Enabled(int id) const { return IsWindowEnabled(Control(id)) != FALSE; }

void Form::SetEnabled(int id, bool enabled) { EnableWindow(Control(id), enabled); }

bool Form::Checked(int id) const {
  return SendMessageA(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Form::SetChecked(int id, bool checked) {
  SendMessageA(Control(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

RECT Form::Bounds(int id) const {
  HWND control = Control(id);
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void Form::Move(int id, int left, int top) {
  SetWindowPos(Control(id), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::SetWidth(int id, int width) {
  RECT r = Bounds(id);
  SetWindowPos(Control(id), nullptr, 0, 0, width, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::SetHeight(int id, int height) {
  RECT r = Bounds(id);
  SetWindowPos(Control(id), nullptr, 0, 0, r.right - r.left, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int Form::SliderPosition(int id) const {
  return static_cast<int>(SendMessageA(Control(id), TBM_GETPOS, 0, 0));
}

void Form::SetSliderPosition(int id, int position) {
  SendMessageA(Control(id), TBM_SETPOS, TRUE, position);
}

void Form::SetListImages(int id, HIMAGELIST images) {
  SendMessageA(Control(id), LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
}

void Form::SetPicture(int id, shell::OwnedGdi<HBITMAP> picture) {
  SendMessageA(Control(id), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture.get()));
  pictures_[id] = std::move(picture);  // the one shown before goes now
}

HBITMAP Form::Picture(int id) const {
  return reinterpret_cast<HBITMAP>(SendMessageA(Control(id), STM_GETIMAGE, IMAGE_BITMAP, 0));
}

void Form::SetRichText(int id, bool rich) {
  SetWindowTextA(Control(id), "");
  SendMessageA(Control(id), EM_SETTEXTMODE, rich ? TM_RICHTEXT : TM_PLAINTEXT, 0);
}

void Form::SetTimerInterval(int id, int intervalMs) {
  if (!window_) return;
  if (intervalMs > 0) SetTimer(window_, id, intervalMs, nullptr);
  else KillTimer(window_, id);
}

void Form::Repaint() {
  if (!window_) return;  // RedrawWindow of no window repaints the whole desktop
  RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void Form::SetWindowIcon(HICON icon) {
  SendMessageA(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  SendMessageA(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

void Form::SetWindowWidth(int width) {
  RECT r;
  GetWindowRect(window_, &r);
  SetWindowPos(window_, nullptr, 0, 0, width, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::SetWindowHeight(int height) {
  RECT r;
  GetWindowRect(window_, &r);
  SetWindowPos(window_, nullptr, 0, 0, r.right - r.left, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Form::Topmost() const { return (GetWindowLongA(window_, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

void Form::SetTopmost(bool topmost) {
  SetWindowPos(window_, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Form::RemoveMinimiseBox() {
  SetWindowLongA(window_, GWL_STYLE, GetWindowLongA(window_, GWL_STYLE) & ~WS_MINIMIZEBOX);
  SetWindowPos(window_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
}

std::string Form::MenuCaption(int id) const {
  for (const auto& item : menu_)
    if (item.def.id == id) return item.caption;
  return std::string();
}

void Form::SetMenuCaption(int id, const std::string& caption) {
  for (auto& item : menu_)
    if (item.def.id == id) item.caption = caption;
}

bool Form::MenuVisible(int id) const {
  for (const auto& item : menu_)
    if (item.def.id == id) return item.visible;
  return false;
}

void Form::SetMenuVisible(int id, bool visible) {
  for (auto& item : menu_)
    if (item.def.id == id) item.visible = visible;
}

std::vector<int> Form::VisibleMenuItems() const {
  std::vector<int> ids;
  for (const auto& item : menu_)
    if (item.visible) ids.push_back(item.def.separator ? 0 : item.def.id);
  return ids;
}

void Form::ShowPopupMenu() {
  HMENU popup = CreatePopupMenu();
  for (const auto& item : menu_) {
    if (!item.visible) continue;
    if (item.def.separator) AppendMenuA(popup, MF_SEPARATOR, 0, nullptr);
    else AppendMenuA(popup, MF_STRING, item.def.id, item.caption.c_str());
  }
  POINT at;
  GetCursorPos(&at);
  SetForegroundWindow(window_);
  TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, window_, nullptr);
  PostMessageA(window_, WM_NULL, 0, 0);
  DestroyMenu(popup);
}

void Form::RunOnWindowThread(const std::function<void()>& work) {
  // Never on the calling thread for a window that is gone: its controls are
  // torn down by the window's own thread meanwhile.
  const HWND window = window_;
  if (!window) return;
  if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
    work();
    return;
  }
  SendMessageA(window, kRunOnWindowThread, 0, reinterpret_cast<LPARAM>(&work));
}

LRESULT CALLBACK Form::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lp);
    auto* form = static_cast<Form*>(create->lpCreateParams);
    form->window_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<Form*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!form) return DefWindowProcA(hwnd, msg, wp, lp);
  return form->HandleMessage(msg, wp, lp);
}

LRESULT Form::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  HWND hwnd = window_;
  switch (msg) {
    case WM_COMMAND: {
      if (lp == 0 && HIWORD(wp) == 0) {  // a menu item
        Fire(LOWORD(wp), Event::Clicked);
        return 0;
      }
      if (HIWORD(wp) == BN_CLICKED) {
        Fire(ControlIdOf(reinterpret_cast<HWND>(lp)), Event::Clicked);
        return 0;
      }
      if (HIWORD(wp) == EN_CHANGE) {
        const ControlDef* def = DefOf(ControlIdOf(reinterpret_cast<HWND>(lp)));
        if (def && (def->flags & kDigitsAndMinus)) KeepDigitsAndMinus(reinterpret_cast<HWND>(lp));
        return 0;
      }
      break;
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (lp) {
        Fire(ControlIdOf(reinterpret_cast<HWND>(lp)), Event::PositionChanged);
        return 0;
      }
      break;
    case WM_NOTIFY:
      return HandleNotify(reinterpret_cast<NMHDR*>(lp));
    case WM_CTLCOLORSTATIC: {
      // Only the text: what lies beneath shows through.
      if (KindOf(ControlIdOf(reinterpret_cast<HWND>(lp))) == ControlKind::TransparentLabel) {
        SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
        return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
      }
      break;
    }
    case WM_RBUTTONUP: {
      const MouseEvent args{GET_X_LPARAM(lp), GET_Y_LPARAM(lp), static_cast<int>(wp)};
      Fire(kWindow, Event::RightButtonUp, args);
      return 0;
    }
    case WM_CLOSE: {
      CloseQuery query;
      Fire(kWindow, Event::CloseQuery, query);
      if (!query.cancel && window_) DestroyWindow(hwnd);
      return 0;
    }
    case WM_TIMER: {
      Fire(static_cast<int>(wp), Event::Tick);
      return 0;
    }
    case WM_DESTROY: {
      destroying_ = true;
      inDestroyedHandler_ = true;
      Fire(kWindow, Event::Destroyed);
      inDestroyedHandler_ = false;
      LiveForms().erase(this);
      modalDone_ = true;
      if (def_.quitOnDestroy) PostQuitMessage(0);
      break;
    }
    case WM_NCDESTROY:
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      window_ = nullptr;
      controls_.clear();
      pictures_.clear();
      destroying_ = false;
      return DefWindowProcA(hwnd, msg, wp, lp);
    case kRunOnWindowThread:
      (*reinterpret_cast<const std::function<void()>*>(lp))();
      return 0;
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

LRESULT Form::HandleNotify(NMHDR* header) {
  const int id = ControlIdOf(header->hwndFrom);
  switch (header->code) {
    case LVN_ITEMCHANGED: {
      auto* change = reinterpret_cast<NMLISTVIEW*>(header);
      const UINT oldImage = (change->uOldState & LVIS_STATEIMAGEMASK) >> 12;
      const UINT newImage = (change->uNewState & LVIS_STATEIMAGEMASK) >> 12;
      if ((change->uChanged & LVIF_STATE) && oldImage != 0 && newImage != 0 && oldImage != newImage &&
          g_programCheckChanges == 0 && change->iItem >= 0) {
        const CheckToggled toggled{change->iItem, newImage == 2 ? 1 : 0};
        Fire(id, Event::CheckToggled, toggled);
      }
      return 0;
    }
    case NM_RCLICK:
      Fire(id, Event::RightClick);
      return 0;
    case NM_DBLCLK: {
      auto* activate = reinterpret_cast<NMITEMACTIVATE*>(header);
      const MouseEvent click{activate->ptAction.x, activate->ptAction.y, static_cast<int>(activate->uKeyFlags)};
      Fire(id, Event::DoubleClick, click);
      return 0;
    }
    default:
      return 0;
  }
}

LRESULT CALLBACK Form::ControlProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  auto* form = reinterpret_cast<Form*>(data);
  const int id = form->ControlIdOf(hwnd);
  switch (msg) {
    case WM_MOUSEWHEEL:
      if (form->HasHandler(id, Event::MouseWheel)) {
        const WheelTurned turn{GET_WHEEL_DELTA_WPARAM(wp) / WHEEL_DELTA, GET_KEYSTATE_WPARAM(wp)};
        form->Fire(id, Event::MouseWheel, turn);
        return 0;
      }
      break;
    case WM_LBUTTONUP:
      if (form->HasHandler(id, Event::LeftButtonUp)) {
        LRESULT result = DefSubclassProc(hwnd, msg, wp, lp);
        const MouseEvent args{GET_X_LPARAM(lp), GET_Y_LPARAM(lp), static_cast<int>(wp)};
        form->Fire(id, Event::LeftButtonUp, args);
        return result;
      }
      break;
    case WM_CHAR: {
      const ControlDef* def = form->DefOf(id);
      if (def && (def->flags & kDigitsAndMinus) && wp >= 32 && !DigitOrMinus(wp))
        return 0;
      break;
    }
    // A group box holding controls passes their notifications on to the window.
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_HSCROLL:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
      if (form->window_ && form->KindOf(id) == ControlKind::GroupBox)
        return SendMessageA(form->window_, msg, wp, lp);
      break;
    case WM_PAINT:
      if (form->KindOf(id) != ControlKind::TransparentLabel) {
        const LRESULT result = DefSubclassProc(hwnd, msg, wp, lp);
        form->RepaintLabelsOver(hwnd);
        return result;
      }
      break;
    case WM_ERASEBKGND:
      // A group box does not paint its inside, and its parent clips it out.
      if (form->KindOf(id) == ControlKind::GroupBox) {
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(reinterpret_cast<HDC>(wp), &r, GetSysColorBrush(COLOR_BTNFACE));
        return 1;
      }
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, ControlProc, kSubclassId);
      break;
    default:
      break;
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

int RunMessageLoop() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    if (root && IsDialogMessageA(root, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

void DestroyAllForms() {
  std::set<Form*> forms = LiveForms();
  for (Form* form : forms) form->Destroy();
}

}  // namespace ui
