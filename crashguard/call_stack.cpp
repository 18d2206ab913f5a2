#include "crashguard/call_stack.h"

#include <windows.h>

#include "crashguard/code_buffer.h"
#include "crashguard/guard_options.h"
#include "crashguard/guarded_memory.h"
#include "crashguard/hex_text.h"
#include "crashguard/module_list.h"
#include "crashguard/process_map.h"
#include "crashguard/thread_slot.h"

namespace crashguard {

namespace {

uint32_t g_popReturnCallback = 0;

ThreadSlot& CallStackSlot() {
  static ThreadSlot slot("_dbg.g_threadCallStack_tls");
  return slot;
}

// A chain that loops back on itself, or one without end, stops here.
constexpr size_t kMostFrames = 4096;

bool IsSystemModule(const std::string& name) {
  return lstrcmpiA(name.c_str(), "ntdll.dll") == 0 || lstrcmpiA(name.c_str(), "kernel32.dll") == 0 ||
         lstrcmpiA(name.c_str(), "kernelBase.dll") == 0;
}

}  // namespace

uint32_t GetPopReturnCallback() {
  if (g_popReturnCallback) return g_popReturnCallback;
  g_popReturnCallback = static_cast<uint32_t>(LookupProcessStringMap("_dbg.g_popRetnCallback"));
  if (g_popReturnCallback) return g_popReturnCallback;
  const uint32_t target = reinterpret_cast<uint32_t>(&TrackedReturnEntry);
  std::vector<uint8_t> thunk = {0x83, 0xEC, 0x04, 0x60, 0xB8};
  for (int i = 0; i < 4; ++i) thunk.push_back(static_cast<uint8_t>(target >> (8 * i)));
  for (uint8_t byte : {0xFF, 0xD0, 0x89, 0x44, 0x24, 0x20, 0x61, 0xC3}) thunk.push_back(byte);
  g_popReturnCallback = AllocateCode(thunk);
  StoreProcessStringMap("_dbg.g_popRetnCallback", static_cast<int32_t>(g_popReturnCallback));
  return g_popReturnCallback;
}

CallStackList* GetThreadCallStackSlot() {
  if (auto* list = static_cast<CallStackList*>(CallStackSlot().Get())) return list;
  auto* list = new CallStackList{{}, 0};
  CallStackSlot().Set(list);
  return list;
}

void ForgetThreadCallStackList() { CallStackSlot().Set(nullptr); }

uint32_t PopCallStackRecord() {
  CallStackList* list = GetThreadCallStackSlot();
  if (list->entries.empty()) return 0;
  CallStackEntry* entry = list->entries.back();
  list->entries.pop_back();
  const uint32_t address = entry->returnAddress;
  delete entry;
  return address;
}

uint32_t __stdcall TrackedReturnEntry() {
  const uint32_t address = PopCallStackRecord();
  // A return through the thunk with no entry has nowhere to go: end the
  // thread rather than jump to address 0.
  if (!address) ExitThread(0);
  return address;
}

CallStackList* SnapshotCallStackList() {
  const CallStackList* list = GetThreadCallStackSlot();
  auto* copy = new CallStackList{{}, list->reserved};
  for (const CallStackEntry* entry : list->entries) copy->entries.push_back(new CallStackEntry(*entry));
  return copy;
}

void ReleaseCallStackList(CallStackList* list) {
  if (!list) return;
  for (CallStackEntry* entry : list->entries) delete entry;
  delete list;
}

__attribute__((noinline)) uint32_t GetFrameAbove(int n) {
  uint32_t frame = ReadGuarded<uint32_t>(reinterpret_cast<uint32_t>(__builtin_frame_address(0)));  // the caller's
  for (int i = 0; i <= n; ++i) frame = ReadGuarded<uint32_t>(frame);
  return frame;
}

__attribute__((noinline)) uint32_t GetOwnReturnAddress() {
  const uint32_t callerFrame = ReadGuarded<uint32_t>(reinterpret_cast<uint32_t>(__builtin_frame_address(0)));
  return ReadGuarded<uint32_t>(callerFrame + 4);
}

std::vector<StackFrameRecord> CollectFrames(uint32_t framePointer, uint32_t codeAddress) {
  std::vector<StackFrameRecord> frames;
  StackFrameRecord record{framePointer, codeAddress};
  for (size_t steps = 0; steps < kMostFrames; ++steps) {
    StackFrameRecord next;
    if (!CopyGuarded(&next, record.framePointer, sizeof next)) break;
    if (IsExecutableRange(record.codeAddress, 1)) frames.push_back(record);
    // Frames lie ever higher on the stack; a link that does not has looped.
    if (next.framePointer != 0 && next.framePointer <= record.framePointer) break;
    record = next;
  }
  return frames;
}

void WalkCallStack(uint32_t framePointer, uint32_t codeAddress, std::vector<StackLine>& output) {
  const std::vector<StackFrameRecord> frames = CollectFrames(framePointer, codeAddress);
  const uint32_t thunk = GetPopReturnCallback();
  CallStackList* tracked = SnapshotCallStackList();
  const bool skipSystem = GetSkipSystemFrames() != 0;
  const int32_t maxOffset = GetMaxSymbolOffset();
  const bool outermostFirst = GetOutermostFirst() != 0;
  ModuleList modules;
  bool reset = false;

  for (size_t f = frames.size(); f-- > 0;) {
    StackLine line{frames[f].codeAddress, frames[f].framePointer, ""};
    const auto& entries = tracked->entries;
    for (size_t e = 0; e < entries.size(); ++e) {
      if (entries[e]->framePointer != line.framePointer) continue;
      if (line.codeAddress == thunk) {
        line.codeAddress = entries[e]->returnAddress;
        if (e + 1 < entries.size() && f > 0 && entries[e + 1]->framePointer == frames[f - 1].framePointer)
          line.codeAddress = entries[e + 1]->returnAddress;
      }
      line.text = "[" + FormatHex8(line.codeAddress) + "]" + entries[e]->name;
      break;
    }
    if (line.text.empty()) {
      if (line.codeAddress == thunk && !reset) {
        output.clear();
        reset = true;
        continue;
      }
      if (const uint32_t base = FindModuleBase(line.codeAddress, modules)) {
        const std::string module = FindModuleName(line.codeAddress, modules);
        if (skipSystem && output.empty() && IsSystemModule(module)) continue;
        std::string exportName;
        const uint32_t offset = AddressToText(line.codeAddress, base, exportName);
        if (static_cast<int64_t>(offset) <= maxOffset) {
          if (!exportName.empty()) {
            line.text = "[" + module + "]." + exportName;
            if (offset) line.text += "+0x" + FormatHexBySize(offset);
          } else {
            if (!module.empty()) line.text = "[" + module + "]+";
            line.text += "0x" + FormatHexBySize(line.codeAddress - base) + "=" + FormatHex8(line.codeAddress);
          }
        }
      }
    }
    if (line.text.empty()) line.text = "0x" + FormatHex8(line.codeAddress);
    if (outermostFirst) output.push_back(line);
    else output.insert(output.begin(), line);
  }
  ReleaseCallStackList(tracked);
}

std::string FormatCallStack(uint32_t framePointer, uint32_t codeAddress) {
  std::vector<StackLine> lines;
  WalkCallStack(framePointer, codeAddress, lines);
  std::string text;
  for (size_t i = 1; i <= lines.size(); ++i) text += std::string(i, ' ') + lines[i - 1].text + "\r\n";
  return text;
}

}  // namespace crashguard
