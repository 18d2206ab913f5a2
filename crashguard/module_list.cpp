#include "crashguard/module_list.h"

#include <windows.h>
#include <tlhelp32.h>

#include "crashguard/guarded_memory.h"
#include "crashguard/hex_text.h"
#include "base/owned.h"

namespace crashguard {

namespace {

const ModuleEntry* FindModule(uint32_t address, ModuleList& list) {
  if (list.empty()) ListProcessModules(list);
  for (const ModuleEntry& module : list)
    if (module.base <= address && address <= module.end) return &module;
  return nullptr;
}

// Guarded reads: an unreadable word reads as 0.
uint32_t Read32(uint32_t address) { return ReadGuarded<uint32_t>(address); }
uint16_t Read16(uint32_t address) { return ReadGuarded<uint16_t>(address); }

}  // namespace

void ListProcessModules(ModuleList& list) {
  list.clear();
  const shell::OwnedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, GetCurrentProcessId()));
  if (!snapshot) return;
  MODULEENTRY32 entry{};
  entry.dwSize = sizeof entry;
  static_assert(sizeof(MODULEENTRY32) == 548);
  for (BOOL more = Module32First(snapshot.Get(), &entry); more; more = Module32Next(snapshot.Get(), &entry)) {
    const uint32_t base = reinterpret_cast<uint32_t>(entry.modBaseAddr);
    list.push_back({entry.szModule, base, base + entry.modBaseSize});
  }
}

uint32_t FindModuleBase(uint32_t address, ModuleList& list) {
  const ModuleEntry* module = FindModule(address, list);
  return module ? module->base : 0;
}

std::string FindModuleName(uint32_t address, ModuleList& list) {
  const ModuleEntry* module = FindModule(address, list);
  return module ? module->name : "";
}

uint32_t AddressToText(uint32_t address, uint32_t base, std::string& name) {
  name.clear();
  if (!base || !address) return 0;
  if (Read16(base) != 0x5A4D) return 0;
  const uint32_t header = Read16(base + 60);
  if (!header || !IsReadableRange(base + header, 2)) return 0;
  if (Read16(base + header) != 0x4550) return 0;
  const uint32_t exports = Read32(base + header + 120);
  if (!exports || !IsReadableRange(base + exports, 40)) return 0;
  const uint32_t functionCount = Read32(base + exports + 20);
  const uint32_t nameCount = Read32(base + exports + 24);
  const uint32_t functions = Read32(base + exports + 28);
  const uint32_t names = Read32(base + exports + 32);
  const uint32_t ordinals = Read32(base + exports + 36);
  if (!functions || !names || !nameCount) return 0;

  uint32_t nearest = 0;
  int64_t index = -1;
  for (uint32_t i = 0; i < functionCount; ++i) {
    const uint32_t entry = base + Read32(base + functions + 4 * i);
    if (entry <= address && entry > nearest) {
      nearest = entry;
      index = i;
    }
  }
  if (index < 0) return 0;
  if (index - 1 > static_cast<int64_t>(nameCount)) return 0;
  // Only the name table's own entries are read: past it lie other bytes.
  for (uint32_t i = 0; i < functionCount && i < nameCount; ++i)
    if (Read16(base + ordinals + 2 * i) == index) {
      name = ReadGuardedText(base + Read32(base + names + 4 * i), 256);
      break;
    }
  if (name.empty()) name = FormatHex8(nearest);
  return address - nearest;
}

}  // namespace crashguard
