// The path test built on a directory search.
#pragma once
#include <string>

#include "base/owned.h"
#include "base/utilities.h"

namespace kavrel {

// True when a search for path finds an entry.
inline bool PathExists(const std::string& path) { return shell::FileSearch(WidePath(path)).Found(); }

}  // namespace kavrel
