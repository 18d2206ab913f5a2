// The dialog toolkit object both programs create at start-up: settings of the
// open and save dialogs and the message boxes.
#pragma once
#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "base/owned.h"

namespace shell {

using ByteArray = std::vector<unsigned char>;

// One 32-bit member per member of OPENFILENAMEA, in its order; converted
// member by member into the platform structure at each dialog call.
struct FileDialogRecord {
  uint32_t lStructSize = 0;
  uint32_t hwndOwner = 0;
  uint32_t hInstance = 0;
  Owned<ByteArray> lpstrFilter;
  Owned<ByteArray> lpstrCustomFilter;
  uint32_t nMaxCustFilter = 0;
  uint32_t nFilterIndex = 0;
  Owned<ByteArray> lpstrFile;
  uint32_t nMaxFile = 0;
  Owned<ByteArray> lpstrFileTitle;
  uint32_t nMaxFileTitle = 0;
  Owned<std::string> lpstrInitialDir;
  Owned<std::string> lpstrTitle;
  uint32_t Flags = 0;
  uint32_t nFileOffset = 0;
  uint32_t nFileExtension = 0;
  Owned<std::string> lpstrDefExt;
  uint32_t lCustData = 0;
  uint32_t lpfnHook = 0;
  Owned<std::string> lpTemplateName;
};
static_assert(std::is_standard_layout_v<FileDialogRecord>);
static_assert(sizeof(FileDialogRecord) == 80, "the shared 80-byte block");
static_assert(offsetof(FileDialogRecord, lpstrFilter) == 12);
static_assert(offsetof(FileDialogRecord, nFilterIndex) == 24);
static_assert(offsetof(FileDialogRecord, lpstrInitialDir) == 44);
static_assert(offsetof(FileDialogRecord, Flags) == 52);
static_assert(offsetof(FileDialogRecord, lpTemplateName) == 76);

// Arguments of SetFileDialogOptions; an empty optional is an omitted argument.
struct FileDialogOptions {
  std::optional<std::string> filter;
  int32_t filterIndex = 0;  // 0-based
  std::string initialDirectory;
  std::string defaultExtension;
  std::optional<bool> createPrompt;
  std::optional<bool> fileMustExist;
  std::optional<bool> overwritePrompt;
  std::optional<bool> pathMustExist;
  std::optional<bool> noChangeDirectory;
  std::optional<bool> allowMultiSelect;
};

// A box position that keeps the platform's own place for the box.
constexpr POINT kPlatformBoxPosition = {-157, -123};
using ButtonCaptions = std::array<std::string, 7>;  // OK, Cancel, Abort, Retry, Ignore, Yes, No

class ShellDialogHelper;

// The class's table of operations, in table order. A slot whose operation
// this build lacks is null.
struct ShellDialogHelperOperations {
  void (*destroy)(ShellDialogHelper& self);
  ShellDialogHelper* (*copy)(const ShellDialogHelper& self);
  int32_t (*messageBoxWithTimeout)(ShellDialogHelper& self, const std::string& text, int32_t style,
                                   const std::string& caption, HWND owner, int32_t timeoutMs);
  void (*setFileDialogOptions)(ShellDialogHelper& self, const FileDialogOptions& options);
  std::string (*pickFolder)(ShellDialogHelper& self, const std::string& title, bool includeFiles,
                            const std::string& startFolder, bool editBox, bool newDialogStyle);
  void (*showShutdownDialog)(ShellDialogHelper& self);
  void (*showRestartDialog)(ShellDialogHelper& self);
  void (*showOpenWithDialog)(ShellDialogHelper& self, const std::string& file);
  void (*openControlPanel)(ShellDialogHelper& self);
  void (*showShellAbout)(ShellDialogHelper& self, HWND owner, const std::string& application,
                         const std::string& otherText);
  void (*showFileProperties)(ShellDialogHelper& self, const std::string& file, HWND owner);
  int32_t (*pickColor)(ShellDialogHelper& self, HWND owner, const std::vector<COLORREF>& customColours);
  void (*organizeFavorites)(ShellDialogHelper& self, HWND owner, std::string& folder);
  bool (*addToFavorites)(ShellDialogHelper& self, HWND owner, const std::string& title, const std::string& address);
  void (*openSearchWindow)(ShellDialogHelper& self, const std::string& folder);
  std::string (*pickOpenFiles)(ShellDialogHelper& self, HWND owner, const std::string& title,
                               const std::string& filter, const std::string& initialDirectory, int32_t style);
  bool (*pickFileToOpenOrSave)(ShellDialogHelper& self, HWND owner, int32_t kind, std::string& fileName,
                               const std::string& title, int32_t hookRequest);
  bool (*pickPictureFile)(ShellDialogHelper& self, HWND owner, int32_t kind, std::string& fileName,
                          const std::string& title, int32_t mode);
  int32_t (*messageBoxWithButtons)(ShellDialogHelper& self, const std::string& text, const std::string& caption,
                                   int32_t style, HWND owner, int32_t extraValue, POINT position,
                                   int32_t timeoutMs, const ButtonCaptions& captions);
};

constexpr char kDefaultFolderPickerTitle[] = "请选择一个文件夹";

// The object record: its operation table first, then its fields in order.
// Both message boxes return the platform's button result minus 1
// (0 OK ... 5 Yes, 6 No); a box that cannot be shown gives -1.
class ShellDialogHelper {
 public:
  int32_t MessageBoxWithTimeout(const std::string& text, int32_t style = 0, const std::string& caption = "",
                                HWND owner = nullptr, int32_t timeoutMs = 0);
  void SetFileDialogOptions(const FileDialogOptions& options);

  // The shell's own dialogs. PickFolder gives "" on cancel, PickColor -1.
  std::string PickFolder(const std::string& title = kDefaultFolderPickerTitle, bool includeFiles = false,
                         const std::string& startFolder = "", bool editBox = false, bool newDialogStyle = true);
  void ShowShutdownDialog();
  void ShowRestartDialog();
  void ShowOpenWithDialog(const std::string& file);
  void OpenControlPanel();
  void ShowShellAbout(HWND owner, const std::string& application, const std::string& otherText);
  void ShowFileProperties(const std::string& file, HWND owner);
  int32_t PickColor(HWND owner, const std::vector<COLORREF>& customColours);
  // An empty folder is the user's Favorites folder, handed back to the caller.
  void OrganizeFavorites(HWND owner, std::string& folder);
  void OrganizeFavorites(HWND owner);
  bool AddToFavorites(HWND owner, const std::string& title, const std::string& address);
  void OpenSearchWindow(const std::string& folder);

  // The open and save dialogs: the chosen paths as one text, joined by ";".
  std::string PickOpenFiles(HWND owner = nullptr, const std::string& title = "", const std::string& filter = "",
                            const std::string& initialDirectory = "", int32_t style = 0);
  bool PickFileToOpenOrSave(HWND owner, int32_t kind, std::string& fileName, const std::string& title = "",
                            int32_t hookRequest = 0);

  // The open (kind 0) or save (kind 1) dialog; an open dialog with mode 1
  // (picture) or 2 (text) carries the preview window. True when confirmed;
  // fileName is then the selection.
  bool PickPictureFile(HWND owner, int32_t kind, std::string& fileName, const std::string& title = "",
                       int32_t mode = 0);
  int32_t MessageBoxWithButtons(const std::string& text, const std::string& caption = "", int32_t style = 0,
                                HWND owner = nullptr, int32_t extraValue = 0,
                                POINT position = kPlatformBoxPosition, int32_t timeoutMs = 0,
                                const ButtonCaptions& captions = ButtonCaptions());

  const ShellDialogHelperOperations* operations;
  int32_t pathMustExistFlag;    // 0 or OFN_PATHMUSTEXIST
  int32_t createPromptFlag;     // 0 or OFN_CREATEPROMPT
  int32_t fileMustExistFlag;    // 0 or OFN_FILEMUSTEXIST
  int32_t overwritePromptFlag;  // 0 or OFN_OVERWRITEPROMPT
  int32_t noChangeDirFlag;      // 0 or OFN_NOCHANGEDIR
  int32_t allowMultiSelectFlag; // 0 or OFN_ALLOWMULTISELECT
  Owned<FileDialogRecord> dialogRecord;
  Owned<ByteArray> lastDirectoryBytes;  // kept by the open and save dialogs between calls
};
static_assert(std::is_standard_layout_v<ShellDialogHelper>);
static_assert(offsetof(ShellDialogHelper, operations) == 0, "the operation table comes first");
static_assert(offsetof(ShellDialogHelper, pathMustExistFlag) == 4);
static_assert(offsetof(ShellDialogHelper, allowMultiSelectFlag) == 24);
static_assert(offsetof(ShellDialogHelper, dialogRecord) == 28);
static_assert(sizeof(ShellDialogHelper) == 36);

const ShellDialogHelperOperations& ShellDialogHelperTable();

// A zeroed object with its operation table and a zeroed FileDialogRecord,
// as a program's global set-up makes it before ConstructShellDialogHelper.
ShellDialogHelper* AllocateShellDialogHelper();
void ConstructShellDialogHelper(ShellDialogHelper& helper);
// Frees what the object owns; its own storage is freed by the caller.
void DestroyShellDialogHelper(ShellDialogHelper& helper);
// A new object, independent of the source.
ShellDialogHelper* CopyShellDialogHelper(const ShellDialogHelper& helper);
// Runs the destroy operation, then frees the object itself.
void ReleaseShellDialogHelper(ShellDialogHelper*& helper);

// The program's one object, set by the program's global set-up.
extern ShellDialogHelper* ProgramDialogHelper;

// The filter in the platform's form: each "|" a NUL, then two NULs; blanks
// (ASCII and full-width) removed unless kept.
ByteArray PlatformFilter(const std::string& filter, bool keepBlanks = false);

// Moves a window; an omitted value keeps the window's own.
void PlaceWindow(HWND window, std::optional<int32_t> left = std::nullopt, std::optional<int32_t> top = std::nullopt,
                 std::optional<int32_t> width = std::nullopt, std::optional<int32_t> height = std::nullopt);

}  // namespace shell
