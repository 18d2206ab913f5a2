#include "shelltool/system_entry.h"

#include <cstring>

namespace shell {

namespace {

// Entries that Wine's own libraries export but do not implement: calling one
// raises an exception that cannot be continued and the process ends.
struct Placeholder {
  const char* library;
  const char* name;
};
const Placeholder kWinePlaceholders[] = {{"shdocvw.dll", "DoAddToFavDlg"}};

// Wine marks its own libraries in the DOS stub of the image.
bool IsWineLibrary(HMODULE module) {
  static const char kMark[] = "Wine builtin DLL";
  return std::memcmp(reinterpret_cast<const char*>(module) + 0x40, kMark, sizeof kMark - 1) == 0;
}

bool IsPlaceholder(const char* library, const char* name, HMODULE module) {
  if (IS_INTRESOURCE(name) || !IsWineLibrary(module)) return false;
  for (const Placeholder& p : kWinePlaceholders)
    if (lstrcmpiA(p.library, library) == 0 && std::strcmp(p.name, name) == 0) return true;
  return false;
}

}  // namespace

FARPROC FindSystemEntry(const char* library, const char* name) {
  HMODULE module = LoadLibraryA(library);
  if (!module) return nullptr;
  if (IsPlaceholder(library, name, module)) return nullptr;
  return GetProcAddress(module, name);
}

}  // namespace shell
