#include "crashguard/hook_blocks.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "crashguard/code_buffer.h"
#include "crashguard/guarded_memory.h"

namespace crashguard {

namespace {

void* AsPointer(CodeAddress address) { return reinterpret_cast<void*>(address); }

// Re-aims each relative call and jump of `length` bytes of whole instructions
// that moved from oldBase to newBase; they are read where they lie, at `bytes`.
void RetargetBranches(CodeAddress bytes, int32_t length, CodeAddress oldBase, CodeAddress newBase) {
  for (int32_t x = 0, k; x < length; x += k) {
    k = GetInstructionLength(bytes + x);
    if (k <= 0) return;  // never for bytes the trampoline was built from
    RetargetRelativeBranch(bytes + x, oldBase, newBase);
  }
}

// Whether an export of the module holding from starts in [from, to).
bool ExportStartsIn(CodeAddress from, CodeAddress to) {
  HMODULE module;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(from), &module))
    return false;
  const auto base = reinterpret_cast<CodeAddress>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  if (entry.Size == 0) return false;
  const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
  const auto* functions = reinterpret_cast<const DWORD*>(base + exports->AddressOfFunctions);
  for (DWORD i = 0; i < exports->NumberOfFunctions; ++i)
    if (functions[i] != 0 && base + functions[i] - from < to - from) return true;
  return false;
}

// Bytes from `from` on, after an instruction the flow never passes, that no
// code reaches: int3 or nop up to the first 16-byte boundary a jump's length
// past the patch (code starting there keeps the five bytes before it, where
// hot patching writes), with no export of the module starting among them.
bool IsFreePadding(CodeAddress target, const std::vector<uint8_t>& entry, int32_t from, int32_t patched) {
  const CodeAddress boundary = (target + patched + kJumpLength + 15) & ~CodeAddress{15};
  const auto end = static_cast<int32_t>(boundary - target);
  if (end > static_cast<int32_t>(entry.size())) return false;
  for (int32_t x = from; x < end; ++x)
    if (entry[x] != 0xCC && entry[x] != 0x90) return false;
  return !ExportStartsIn(target + from, boundary);
}

// Whether a 32-bit relative branch among the moved bytes leads back into them,
// where the patch will lie.
bool BranchesIntoMovedBytes(const std::vector<uint8_t>& entry, int32_t length) {
  for (int32_t x = 0; x < length;) {
    const InstructionShape shape = MeasureInstruction(entry.data() + x, length - x);
    if (shape.length == 0) return false;  // padding after the last instruction
    if (shape.relativeSize == 4) {
      int32_t displacement;
      std::memcpy(&displacement, entry.data() + x + shape.relativeOffset, sizeof displacement);
      if (static_cast<uint32_t>(x + shape.length + displacement) < static_cast<uint32_t>(length)) return true;
    }
    x += shape.length;
  }
  return false;
}

// Write-copy keeps a loaded image's page private to this process; memory the
// process allocated itself refuses it and takes read-write-execute instead.
// The old protection is kept neither now nor at removal: restoring writes the entry back.
HookStatus MakeEntryWritable(CodeAddress target) {
  DWORD oldProtection;
  for (const DWORD protection : {PAGE_EXECUTE_WRITECOPY, PAGE_EXECUTE_READWRITE})
    if (VirtualProtect(AsPointer(target), kJumpLength, protection, &oldProtection)) return HookStatus::Ok;
  return HookStatus::ProtectionRefused;
}

CodeAddress SealAddress(CodeAddress trampoline, int32_t length) { return trampoline + length + kJumpLength; }

using EntryBytes = std::array<uint8_t, kJumpLength>;

EntryBytes JumpBytes(CodeAddress at, CodeAddress destination) {
  EntryBytes jump{0xE9};
  const uint32_t displacement = destination - (at + kJumpLength);
  std::memcpy(&jump[1], &displacement, sizeof displacement);
  return jump;
}

// No other thread runs the five bytes while they change.
void PatchEntry(CodeAddress target, const EntryBytes& bytes, const std::vector<ThreadMove>& moves) {
  const HeldThreads held(moves);
  std::memcpy(AsPointer(target), bytes.data(), bytes.size());
  FlushJump(target);
}

}  // namespace

HookStatus MakeTrampoline(CodeAddress target, int32_t minimum, int32_t reserve, CodeAddress& block,
                          int32_t& length) {
  // One guarded copy of the entry, enough for the padding check too: the bytes
  // decoded are the bytes moved, read under the protection they are read with.
  const int32_t wanted = (minimum > 0 ? minimum : 0) + kLongestInstruction + kJumpLength + 16;
  std::vector<uint8_t> entry(ReadableLength(target, static_cast<size_t>(wanted)));
  if (!entry.empty()) std::memcpy(entry.data(), AsPointer(target), entry.size());
  const auto available = static_cast<int32_t>(entry.size());
  int32_t n = 0;
  while (n < minimum) {
    const InstructionShape shape = MeasureInstruction(entry.data() + n, available - n);
    if (shape.length == 0) return shape.cutShort ? HookStatus::UnreadableEntry : HookStatus::UnknownInstruction;
    if (!IsCarriable(shape)) return HookStatus::UnsupportedEntry;
    n += shape.length;
    if (EndsTheFlow(shape)) {
      // The patch may cover what follows only when nothing runs there.
      if (n < minimum && !IsFreePadding(target, entry, n, minimum)) return HookStatus::EntryTooShort;
      if (n < minimum) n = minimum;
      break;
    }
  }
  if (BranchesIntoMovedBytes(entry, n)) return HookStatus::UnsupportedEntry;
  // Instructions that run into memory that is not code are never copied.
  if (!IsExecutableRange(target, n)) return HookStatus::NotExecutable;
  length = n;
  const HookStatus status = TakeCodeSlot(n + reserve, entry.data(), n, block);
  if (status != HookStatus::Ok) return status;
  RetargetBranches(block, n, target, block);
  return HookStatus::Ok;
}

HookStatus MakePatchStub(CodeAddress target, CodeAddress replacement, const std::vector<uint8_t>& codeTemplate,
                         CodeAddress& stub, const std::vector<ThreadMove>& moves) {
  HookStatus status = MakeEntryWritable(target);
  if (status != HookStatus::Ok) return status;
  const auto t = static_cast<int32_t>(codeTemplate.size());
  status = TakeCodeSlot(t + kJumpLength, codeTemplate.data(), t, stub);
  if (status != HookStatus::Ok) return status;
  WriteJump(stub + t, replacement);
  PatchEntry(target, JumpBytes(target, stub), moves);
  return HookStatus::Ok;
}

HookStatus RestoreEntry(CodeAddress trampoline, int32_t length, CodeAddress target, CodeAddress stub,
                        const std::vector<ThreadMove>& moves) {
  // Another hook's jump, or no code at all once the module is gone, or other code now: none of it is ours.
  EntryBytes entry;
  if (!CopyGuarded(entry.data(), target, entry.size()) || entry != JumpBytes(target, stub))
    return HookStatus::EntryChanged;
  // Someone may have put the entry's protection back since the install.
  const HookStatus status = MakeEntryWritable(target);
  if (status != HookStatus::Ok) return status;
  const auto* moved = reinterpret_cast<const uint8_t*>(trampoline);
  std::vector<uint8_t> original(moved, moved + length);
  RetargetBranches(reinterpret_cast<CodeAddress>(original.data()), length, trampoline, target);
  // Only the jump's bytes were changed, and only they were made writable.
  std::copy_n(original.begin(), kJumpLength, entry.begin());
  PatchEntry(target, entry, moves);
  return HookStatus::Ok;
}

std::vector<int32_t> InstructionStarts(CodeAddress code, int32_t length) {
  std::vector<int32_t> starts;
  for (int32_t x = 0; x < length; x += GetInstructionLength(code + x)) starts.push_back(x);
  return starts;
}

void SealTrampoline(CodeAddress trampoline, int32_t length, const HookSeal& seal) {
  std::memcpy(AsPointer(SealAddress(trampoline, length)), &seal, sizeof seal);
}

bool IsTrampolineSealed(CodeAddress trampoline, int32_t length, const HookSeal& seal) {
  HookSeal found;
  return CopyGuarded(&found, SealAddress(trampoline, length), sizeof found) &&
         std::memcmp(&found, &seal, sizeof seal) == 0;
}

void FlushJump(CodeAddress at) { FlushInstructionCache(GetCurrentProcess(), AsPointer(at), kJumpLength); }

}  // namespace crashguard
