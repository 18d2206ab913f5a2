// The folder picker, the shut-down and restart boxes, open-with, the control
// panel, the about box, file properties, the colour chooser, the favourites
// dialogs and the find window.
#include "shelltool/shell_dialogs.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>

#include "base/gbk_text.h"
#include "shelltool/dialog_helper.h"
#include "shelltool/dialog_helper_module.h"
#include "shelltool/folder_dialog.h"
#include "base/owned.h"
#include "shelltool/system_entry.h"

namespace shell {

namespace {

constexpr int kCustomColourCount = 16;
constexpr COLORREF kEmptyCustomColour = RGB(255, 255, 255);
constexpr int kFavoritesBufferSize = 256;
constexpr DWORD kInputIdleWaitMs = 1000;

using ShutdownDialogProc = void(WINAPI*)(HWND owner);
using RestartDialogProc = int(WINAPI*)(HWND owner, LPCWSTR prompt, DWORD reason);
using OrganizeFavoritesProc = BOOL(WINAPI*)(HWND owner, LPSTR folder);
using AddToFavoritesProc = BOOL(WINAPI*)(HWND owner, LPSTR folder, UINT folderSize, LPSTR name, UINT nameSize,
                                         PCIDLIST_ABSOLUTE favorites);

template <typename Proc>
Proc AsProc(FARPROC entry) {
  return reinterpret_cast<Proc>(reinterpret_cast<void*>(entry));
}

// Starts the command line, lets the new program come up, and reports nothing.
void StartCommandLine(const std::string& commandLine) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION started = {};
  std::string line = commandLine;  // CreateProcessA may write into it
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) return;
  const OwnedHandle process(started.hProcess), thread(started.hThread);
  WaitForInputIdle(process.Get(), kInputIdleWaitMs);
}

std::string FavoritesFolder(HWND owner) {
  char path[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathA(owner, path, CSIDL_FAVORITES, FALSE) || !path[0]) return std::string();
  return gbk::WithTrailingBackslash(path);
}

std::string BrowserVersion() {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Internet Explorer", 0, KEY_READ, &opened) !=
      ERROR_SUCCESS)
    return std::string();
  const OwnedRegistryKey key(opened);
  char version[256] = {};
  DWORD size = sizeof version - 1, type = 0;
  if (RegQueryValueExA(key.get(), "Version", nullptr, &type, reinterpret_cast<BYTE*>(version), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ)
    return std::string();
  return version;
}

OrganizeFavoritesProc OrganizeFavoritesEntry(const char* library) {
  if (lstrcmpA(library, "ieframe.dll") == 0) {
    static const FARPROC entry = FindSystemEntry("ieframe.dll", "DoOrganizeFavDlg");
    return AsProc<OrganizeFavoritesProc>(entry);
  }
  static const FARPROC entry = FindSystemEntry("shdocvw.dll", "DoOrganizeFavDlg");
  return AsProc<OrganizeFavoritesProc>(entry);
}

}  // namespace

const char kControlPanelCommandLine[] = "rundll32.exe shell32.dll,Control_RunDLL";

std::string OpenWithCommandLine(const std::string& file) {
  return "rundll32.exe shell32.dll , OpenAs_RunDLL " + file;
}

const char* FavoritesLibraryFor(const std::string& browserVersion) {
  return !browserVersion.empty() && browserVersion[0] == '8' ? "ieframe.dll" : "shdocvw.dll";
}

std::vector<COLORREF> SixteenCustomColours(const std::vector<COLORREF>& given) {
  std::vector<COLORREF> colours(kCustomColourCount, kEmptyCustomColour);
  std::copy_n(given.begin(), std::min<size_t>(given.size(), kCustomColourCount), colours.begin());
  return colours;
}

int32_t PickFolderCallback(HWND window, UINT message, LPARAM parameter, LPARAM) {
  return SelectStartFolder(window, message, parameter, DialogHelperGlobals().pickerStartFolder);
}

int CALLBACK PickFolderCallbackEntry(HWND window, UINT message, LPARAM parameter, LPARAM data) {
  return PickFolderCallback(window, message, parameter, data);
}

std::string ShellDialogHelper::PickFolder(const std::string& title, bool includeFiles, const std::string& startFolder,
                                          bool editBox, bool newDialogStyle) {
  DialogHelperGlobals().pickerStartFolder = startFolder;
  return ShowFolderDialog(nullptr, title, includeFiles, editBox, newDialogStyle, PickFolderCallbackEntry);
}

void ShellDialogHelper::ShowShutdownDialog() {
  static const FARPROC entry = FindSystemEntry("shell32.dll", MAKEINTRESOURCEA(60));
  if (entry) AsProc<ShutdownDialogProc>(entry)(nullptr);
}

void ShellDialogHelper::ShowRestartDialog() {
  static const FARPROC entry = FindSystemEntry("shell32.dll", MAKEINTRESOURCEA(59));
  if (entry) AsProc<RestartDialogProc>(entry)(nullptr, nullptr, EWX_REBOOT);
}

void ShellDialogHelper::ShowOpenWithDialog(const std::string& file) { StartCommandLine(OpenWithCommandLine(file)); }

void ShellDialogHelper::OpenControlPanel() { StartCommandLine(kControlPanelCommandLine); }

void ShellDialogHelper::ShowShellAbout(HWND owner, const std::string& application, const std::string& otherText) {
  ShellAboutA(owner, application.c_str(), otherText.c_str(), nullptr);
}

void ShellDialogHelper::ShowFileProperties(const std::string& file, HWND owner) {
  SHELLEXECUTEINFOA info = {};
  static_assert(sizeof info == 60, "the record's size");
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_INVOKEIDLIST;
  info.hwnd = owner;
  info.lpVerb = "properties";
  info.lpFile = file.c_str();
  info.nShow = SW_SHOWNORMAL;
  ShellExecuteExA(&info);
}

int32_t ShellDialogHelper::PickColor(HWND owner, const std::vector<COLORREF>& customColours) {
  std::vector<COLORREF> custom = SixteenCustomColours(customColours);  // the dialog edits this copy
  COLORREF& lastColour = DialogHelperGlobals().lastColour;
  CHOOSECOLORA choice = {};
  static_assert(sizeof choice == 36, "the record's size");
  choice.lStructSize = sizeof choice;
  choice.hwndOwner = owner;
  choice.rgbResult = lastColour;
  choice.lpCustColors = custom.data();
  choice.Flags = CC_RGBINIT;
  if (!ChooseColorA(&choice)) return -1;
  lastColour = choice.rgbResult;
  return static_cast<int32_t>(lastColour);
}

void ShellDialogHelper::OrganizeFavorites(HWND owner, std::string& folder) {
  if (folder.empty()) folder = FavoritesFolder(owner);
  const OrganizeFavoritesProc entry = OrganizeFavoritesEntry(FavoritesLibraryFor(BrowserVersion()));
  if (!entry) return;
  std::string path = folder;  // the dialog takes a writable text
  entry(owner, &path[0]);
}

void ShellDialogHelper::OrganizeFavorites(HWND owner) {
  std::string folder;
  OrganizeFavorites(owner, folder);
}

bool ShellDialogHelper::AddToFavorites(HWND owner, const std::string& title, const std::string& address) {
  static const FARPROC entry = FindSystemEntry("shdocvw.dll", "DoAddToFavDlg");
  // Each buffer keeps a terminating zero past the size the dialog is told.
  std::string folder(kFavoritesBufferSize, ' ');
  folder.push_back('\0');
  std::string name = title;
  name.resize(std::max<size_t>(title.size(), kFavoritesBufferSize) + 1, '\0');
  PIDLIST_ABSOLUTE located = nullptr;
  SHGetSpecialFolderLocation(owner, CSIDL_FAVORITES, &located);
  const OwnedItemList favorites(located);
  if (!entry || AsProc<AddToFavoritesProc>(entry)(owner, &folder[0], kFavoritesBufferSize, &name[0],
                                                    kFavoritesBufferSize, favorites.get()) != 1)
    return false;
  return WritePrivateProfileStringA("InternetShortcut", "URL", address.c_str(), folder.c_str()) != FALSE;
}

void ShellDialogHelper::OpenSearchWindow(const std::string& folder) {
  ShellExecuteA(nullptr, "find", folder.c_str(), nullptr, nullptr, SW_SHOW);
}

}  // namespace shell
