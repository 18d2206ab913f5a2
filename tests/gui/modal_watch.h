// Dialogs and message boxes are modal: the test thread is inside them while
// they show, so another thread finds them, reads them and answers them.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <thread>

#include "support/test_support.h"

namespace kavrel_testing {

constexpr char kDialogClass[] = "#32770";

// Runs act(dialog) on its own thread for each of the next `count` dialogs of
// this process as they appear; joins when it goes.
class ModalWatch {
 public:
  using Action = std::function<void(HWND dialog, int index)>;
  ModalWatch(int count, Action act, int timeoutMs = testing_support::kHangBoundMs)
      : thread_([count, act, timeoutMs] {
          HWND previous = nullptr;
          for (int i = 0; i < count; ++i) {
            HWND dialog = nullptr;
            testing_support::WaitUntil([&] {
              dialog = testing_support::FindProcessWindow(GetCurrentProcessId(), kDialogClass, 50);
              return dialog != nullptr && (dialog != previous || !IsWindow(previous));
            }, timeoutMs);
            if (!dialog) return;
            act(dialog, i);
            // Wait until it has gone before looking for the next one.
            testing_support::WaitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, timeoutMs);
            previous = dialog;
          }
        }) {}
  ModalWatch(const ModalWatch&) = delete;
  ModalWatch& operator=(const ModalWatch&) = delete;
  ~ModalWatch() { thread_.join(); }

 private:
  std::thread thread_;
};

// The message of a message box.
inline std::string BoxMessage(HWND box) {
  char text[2048] = {};
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
  return text;
}

inline void PressButton(HWND dialog, int id) { PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

}  // namespace kavrel_testing
