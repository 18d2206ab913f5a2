// A window built from a table of controls, with handlers bound per control
// and event. Both programs' windows are defined this way.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "base/owned.h"

namespace ui {

enum class ControlKind {
  GroupBox, Edit, Button, CheckBox, Label, TransparentLabel, ListView, Slider,
  PictureBox,    // shows a bitmap stretched to fill it
  DrawingPanel,  // a plain surface
  RichEdit,      // multi-line, plain text or RTF
  Timer,         // no window: ticks every `interval` ms while the window lives
};

enum ControlFlag : uint32_t {
  kHidden = 1u << 0,
  kDisabled = 1u << 1,
  kChecked = 1u << 2,        // check box ticked at design
  kCentred = 1u << 3,        // edit text centred
  kDigitsAndMinus = 1u << 4, // edit accepts only 0-9 and '-', typed or pasted
  kReadOnly = 1u << 5,
  kMultiLine = 1u << 6,
  kVerticalScroll = 1u << 7,
  kTabStop = 1u << 8,
  kGridLines = 1u << 9,      // list view
  kCheckBoxes = 1u << 10,    // list view
  kSingleSelection = 1u << 11,
  kStaticHeader = 1u << 12,  // list headers do not react to clicks
  kFrame = 1u << 13,         // a label drawn as a frame, without text
};

enum class Align { Left, Centre, Right };

struct ListColumn {
  const char* title;
  int width;
  Align align;
};

constexpr int kNoParent = -1;
constexpr int kWindow = -1;  // control id of the window itself, for window events

struct ControlDef {
  int id;
  const char* name;
  ControlKind kind;
  const char* text = "";
  int left = 0, top = 0, width = 0, height = 0;
  int parent = kNoParent;    // id of a group box; geometry is then relative to it
  uint32_t flags = 0;
  int textLimit = 0;         // edit boxes: at most this many bytes (0 = no limit)
  int rangeMin = 0, rangeMax = 0, position = 0;  // sliders
  const ListColumn* columns = nullptr;
  int columnCount = 0;
  COLORREF background = CLR_INVALID;  // list views
  int interval = 0;          // timers: milliseconds from the window's creation; 0 stopped
};

struct MenuItemDef {
  int id;                    // 0 for a separator
  const char* caption;       // nullptr for a separator or an item without caption
  bool separator = false;
};

struct WindowDef {
  const char* className;
  const char* caption;
  int left, top, width, height;
  bool minimiseBox = true;
  bool centred = true;
  const ControlDef* controls = nullptr;
  size_t controlCount = 0;
  const MenuItemDef* menu = nullptr;  // a hidden menu used as a pop-up
  size_t menuCount = 0;
  bool quitOnDestroy = false;         // the program's main window
  bool borderless = false;            // no frame and no caption
  bool loadHidden = false;            // Create leaves it hidden
};

enum class Event {
  Created, CloseQuery, RightButtonUp,       // window events
  Destroyed,                                // the window is being destroyed
  Tick,                                     // timers
  Clicked, PositionChanged,                 // buttons, menu items, sliders
  CheckToggled, RightClick, DoubleClick,    // list views
  MouseWheel, LeftButtonUp,                 // any control
};

// The arguments of the events that carry any; the other events carry none.
struct CheckToggled {  // CheckToggled: a user's toggle of a row's check box
  int row;
  int state;           // 1 ticked, 0 unticked
};
struct WheelTurned {   // MouseWheel
  int notches;         // positive away from the user
  int keys;            // MK_* flags
};
struct MouseEvent {    // RightButtonUp, LeftButtonUp, DoubleClick
  int x, y;            // client coordinates
  int keys;            // MK_* (list views: LVKF_*) flags
};
struct CloseQuery {    // CloseQuery: a handler sets cancel to keep the window open
  bool cancel = false;
};

// A handler takes its event's arguments, or none (it is then called for any
// event it is bound to).
using Handler = std::variant<std::function<void()>, std::function<void(const CheckToggled&)>,
                             std::function<void(const WheelTurned&)>, std::function<void(const MouseEvent&)>,
                             std::function<void(CloseQuery&)>>;

// Thin access to a report-style list view. Check changes made here raise no
// CheckToggled event: only the user's own toggles do.
class ListView {
 public:
  explicit ListView(HWND list) : list_(list) {}
  HWND Handle() const { return list_; }
  int RowCount() const;
  int CurrentRow() const;            // -1 when no row is selected
  void SetCurrentRow(int row);
  int InsertRow(int row, const std::string& firstCell, int image = -1);
  void DeleteRow(int row);
  void Clear();
  std::string Cell(int row, int column) const;
  void SetCell(int row, int column, const std::string& text);
  bool Checked(int row) const;
  void SetChecked(int row, bool checked);
  int Image(int row) const;
  void SetImage(int row, int image);
  void EnsureVisible(int row);
  void Redraw();  // repaints at once

 private:
  HWND list_;
};

class Form {
 public:
  explicit Form(const WindowDef& def);
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;
  ~Form();

  void Bind(int controlId, Event event, std::function<void()> handler);
  void Bind(int controlId, Event event, std::function<void(const MouseEvent&)> handler);
  void Bind(int controlId, std::function<void(const CheckToggled&)> handler);
  void Bind(int controlId, std::function<void(const WheelTurned&)> handler);
  void Bind(std::function<void(CloseQuery&)> handler);  // the window's CloseQuery

  // Creates the window and its controls, runs the Created handler, then shows it.
  bool Create(HWND owner = nullptr);
  // Creates the window as a modal child of owner and returns when it is closed.
  void ShowModal(HWND owner);
  // Nothing from inside the Destroyed handler (Close serves there).
  void Destroy();
  // Asks the window to close, as its close box does (runs CloseQuery); from
  // the Destroyed handler, once the handler has returned.
  void Close();

  HWND Window() const { return window_; }
  // The Destroyed handler has run and saved the window from its parent's
  // destruction; it lives on only until its close comes. Never to be reused.
  bool BeingDestroyed() const { return window_ && destroying_; }
  HWND Control(int id) const;
  int ControlIdOf(HWND control) const;
  const WindowDef& Definition() const { return def_; }

  std::string Text(int id) const;
  void SetText(int id, const std::string& text);
  bool Visible(int id) const;
  void SetVisible(int id, bool visible);
  bool Enabled(int id) const;
  void SetEnabled(int id, bool enabled);
  bool Checked(int id) const;
  void SetChecked(int id, bool checked);
  RECT Bounds(int id) const;  // relative to the control's parent
  void Move(int id, int left, int top);
  void SetWidth(int id, int width);
  void SetHeight(int id, int height);
  int SliderPosition(int id) const;
  void SetSliderPosition(int id, int position);
  ListView List(int id) const { return ListView(Control(id)); }
  void SetListImages(int id, HIMAGELIST images);
  // The picture box shows the bitmap and owns it from now on.
  void SetPicture(int id, shell::OwnedGdi<HBITMAP> picture);
  HBITMAP Picture(int id) const;
  // A rich edit's rich-text switch: off, its content is plain text. Switching
  // empties it.
  void SetRichText(int id, bool rich);
  // 0 stops the timer.
  void SetTimerInterval(int id, int intervalMs);
  // Repaints the window and its controls at once; nothing once it is gone.
  void Repaint();

  void SetWindowIcon(HICON icon);
  void SetWindowWidth(int width);
  void SetWindowHeight(int height);
  bool Topmost() const;
  void SetTopmost(bool topmost);
  void RemoveMinimiseBox();

  // Pop-up menu items keep caption and visible state; the menu shown is
  // built from the visible items in display order.
  std::string MenuCaption(int id) const;
  void SetMenuCaption(int id, const std::string& caption);
  bool MenuVisible(int id) const;
  void SetMenuVisible(int id, bool visible);
  std::vector<int> VisibleMenuItems() const;  // in display order; 0 stands for a separator
  void ShowPopupMenu();                       // at the mouse position

  // Runs work on the window's own thread and waits until it is done; once
  // the window is gone (or going) the work is dropped.
  void RunOnWindowThread(const std::function<void()>& work);

  static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);

 private:
  struct MenuItemState {
    MenuItemDef def;
    std::string caption;
    bool visible = true;
  };

  const ControlDef* DefOf(int id) const;
  ControlKind KindOf(int id) const;
  void CreateControls();
  HWND CreateControl(const ControlDef& def);
  // Runs the handler bound to the event: a plain one, or one taking args.
  template <typename... Args>
  void Fire(int controlId, Event event, Args&... args);
  bool HasHandler(int controlId, Event event) const;
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  LRESULT HandleNotify(NMHDR* header);
  void RepaintLabelsOver(HWND control) const;
  static LRESULT CALLBACK ControlProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

  WindowDef def_;
  std::atomic<HWND> window_{nullptr};  // read by other threads
  HFONT font_ = nullptr;
  std::map<int, HWND> controls_;
  std::map<int, shell::OwnedGdi<HBITMAP>> pictures_;
  std::map<std::pair<int, Event>, Handler> handlers_;
  std::vector<MenuItemState> menu_;
  bool modalDone_ = false;
  bool destroying_ = false;         // from WM_DESTROY on: Close is posted
  bool inDestroyedHandler_ = false;  // Destroy is a no-op
};

// Runs the thread's message loop until WM_QUIT; returns its exit code.
int RunMessageLoop();
// Destroys every window made from a Form.
void DestroyAllForms();
// Registers the common controls once.
void InitCommonControlsOnce();

// WM_GETTEXTLENGTH, then WM_GETTEXT; "" for an empty or textless window.
std::string ReadWindowText(HWND window);

}  // namespace ui
