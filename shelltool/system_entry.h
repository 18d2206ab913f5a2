// Entries of system libraries that the toolkit binds when they are first
// called, rather than at load time: some systems lack them.
#pragma once
#include <windows.h>

namespace shell {

// The entry `name` (a name, or MAKEINTRESOURCEA of an ordinal) of the
// library, loaded once and kept; null when it is absent. An entry that the
// running system only holds as a placeholder that ends the process when
// called counts as absent too.
FARPROC FindSystemEntry(const char* library, const char* name);

}  // namespace shell
