// The toolkit's two message boxes: with a time-out, and with own button
// captions and position.
#include "shelltool/dialog_helper.h"
#include "shelltool/dialog_helper_module.h"

namespace shell {

namespace {

const char kDefaultCaption[] = "信息";

using MessageBoxTimeoutProc = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT, WORD, DWORD);

// Not declared by every SDK: looked up in user32 once.
MessageBoxTimeoutProc MessageBoxTimeoutEntry() {
  static const MessageBoxTimeoutProc entry = reinterpret_cast<MessageBoxTimeoutProc>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "MessageBoxTimeoutA")));
  return entry;
}

int ShowBox(HWND owner, const std::string& text, const std::string& caption, int32_t style, int32_t timeoutMs) {
  const char* title = caption.empty() ? kDefaultCaption : caption.c_str();
  MessageBoxTimeoutProc timed = MessageBoxTimeoutEntry();
  if (timeoutMs > 0 && timed)
    return timed(owner, text.c_str(), title, static_cast<UINT>(style), 0, static_cast<DWORD>(timeoutMs));
  return MessageBoxA(owner, text.c_str(), title, static_cast<UINT>(style));
}

}  // namespace

int32_t ShellDialogHelper::MessageBoxWithTimeout(const std::string& text, int32_t style, const std::string& caption,
                                                 HWND owner, int32_t timeoutMs) {
  return ShowBox(owner, text, caption, style, timeoutMs) - 1;
}

int32_t ShellDialogHelper::MessageBoxWithButtons(const std::string& text, const std::string& caption, int32_t style,
                                                 HWND owner, int32_t extraValue, POINT position, int32_t timeoutMs,
                                                 const ButtonCaptions& captions) {
  if (!owner) owner = GetForegroundWindow();
  DialogHelperState& state = DialogHelperGlobals();
  state.buttonCaptions = captions;
  state.boxPosition = position;
  state.boxExtraValue = extraValue;
  // A hook of this thread only: the box is this thread's, and other
  // programs' activations must never reach it.
  if (state.captionHookHandle) UnhookWindowsHookEx(state.captionHookHandle);
  state.captionHookHandle = SetWindowsHookExA(WH_CBT, ButtonCaptionHookEntry, nullptr, GetCurrentThreadId());
  const int result = ShowBox(owner, text, caption, style, timeoutMs);
  // A box that never appeared leaves no hook for a later window.
  if (state.captionHookHandle) {
    UnhookWindowsHookEx(state.captionHookHandle);
    state.captionHookHandle = nullptr;
  }
  return result - 1;
}

}  // namespace shell
