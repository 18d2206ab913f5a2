// Stands in for a browser library's favourites dialogs. Copied under the
// library's own name, it tells the test which library was called by adding
// the line "<its file name>|<entry>|<arguments>" to the file that
// FAVORITES_LOG names. The add dialog "chooses" the file that FAVORITES_FILE
// names and confirms.
#include <windows.h>

#include <shtypes.h>

#include <string>

namespace {

HMODULE self = nullptr;

void Report(const std::string& entry, const std::string& arguments) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(self, path, MAX_PATH);
  std::string name = path;
  name = name.substr(name.rfind('\\') + 1);
  char log[MAX_PATH] = {};
  GetEnvironmentVariableA("FAVORITES_LOG", log, MAX_PATH);
  HANDLE file = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
  const std::string line = name + "|" + entry + "|" + arguments + "\n";
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) self = instance;
  return TRUE;
}

extern "C" __declspec(dllexport) BOOL WINAPI DoOrganizeFavDlg(HWND, LPSTR folder) {
  Report("DoOrganizeFavDlg", folder ? folder : "<null>");
  return TRUE;
}

extern "C" __declspec(dllexport) BOOL WINAPI DoAddToFavDlg(HWND, LPSTR folder, UINT folderSize, LPSTR name,
                                                           UINT nameSize, PCIDLIST_ABSOLUTE favorites) {
  Report("DoAddToFavDlg", std::string(name) + "|" + std::to_string(folderSize) + "|" + std::to_string(nameSize) +
                              "|" + (favorites ? "list" : "none"));
  GetEnvironmentVariableA("FAVORITES_FILE", folder, folderSize);
  return TRUE;
}
