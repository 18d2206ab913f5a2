// The process's modules as the stack walk sees them, and the nearest
// exported name below a code address.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace crashguard {

struct ModuleEntry {
  std::string name;  // the module's file name, e.g. "kernel32.dll"
  uint32_t base;
  uint32_t end;      // base + size; counts as inside
};
using ModuleList = std::vector<ModuleEntry>;

// Replaces the list with the modules of the current process, in tool-help order.
void ListProcessModules(ModuleList& list);
// The first module holding the address; each fills an empty list first.
uint32_t FindModuleBase(uint32_t address, ModuleList& list);
std::string FindModuleName(uint32_t address, ModuleList& list);
// The distance from the nearest export at or below the address; the export's
// name (or its address in hex when it has none) goes to name. 0 and "" when
// the module has no usable export directory.
uint32_t AddressToText(uint32_t address, uint32_t moduleBase, std::string& name);

}  // namespace crashguard
