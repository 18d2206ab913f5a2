// Records every text a control is given, in order, by watching its
// WM_SETTEXT messages, so that a test sees even texts that stand only for an
// instant while the window's handler runs a long nested message loop.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <mutex>
#include <string>
#include <vector>

namespace kavrel_testing {

class TextRecorder {
 public:
  struct Entry {
    std::string text;
    ULONGLONG at;  // GetTickCount64 when set
  };

  explicit TextRecorder(HWND control) : control_(control) {
    SetWindowSubclass(control_, Watch, kId, reinterpret_cast<DWORD_PTR>(this));
  }
  TextRecorder(const TextRecorder&) = delete;
  TextRecorder& operator=(const TextRecorder&) = delete;
  ~TextRecorder() { RemoveWindowSubclass(control_, Watch, kId); }

  std::vector<Entry> Entries() {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_;
  }
  std::vector<std::string> Texts() {
    std::vector<std::string> texts;
    for (const auto& e : Entries()) texts.push_back(e.text);
    return texts;
  }
  bool Saw(const std::string& text) {
    for (const auto& e : Entries())
      if (e.text == text) return true;
    return false;
  }

 private:
  static constexpr UINT_PTR kId = 0x7e57;

  static LRESULT CALLBACK Watch(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    if (msg == WM_SETTEXT && lp) {
      auto* self = reinterpret_cast<TextRecorder*>(data);
      std::lock_guard<std::mutex> lock(self->mutex_);
      self->entries_.push_back({reinterpret_cast<const char*>(lp), GetTickCount64()});
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
  }

  HWND control_;
  std::mutex mutex_;
  std::vector<Entry> entries_;
};

}  // namespace kavrel_testing
