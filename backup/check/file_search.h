// The path tests built on a directory search.
#pragma once
#include <string>

#include "base/owned.h"
#include "base/utilities.h"

namespace kavrel {

// The attributes of the entry a search for path finds; INVALID_FILE_ATTRIBUTES when none.
inline DWORD FoundAttributes(const std::string& path) {
  const shell::FileSearch search(WidePath(path));
  return search.Found() ? search.Entry().dwFileAttributes : INVALID_FILE_ATTRIBUTES;
}
inline bool PathExists(const std::string& path) { return FoundAttributes(path) != INVALID_FILE_ATTRIBUTES; }

}  // namespace kavrel
