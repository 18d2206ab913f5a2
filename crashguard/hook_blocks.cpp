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
  for (int32_t x = 0; x < length; x += GetInstructionLength(bytes + x)) {
    RetargetRelativeBranch(bytes + x, oldBase, newBase);
  }
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
  CodeAddress p = target;
  int32_t n = 0;
  while (n < minimum) {
    const int32_t k = GetInstructionLength(p);
    if (k <= 0) return HookStatus::NotExecutable;  // only address 0 has no length
    if (IsCopyableInstruction(p) == 0) return HookStatus::UnsupportedEntry;
    if (IsReturnInstruction(p)) break;  // not copied
    p += k;
    n += k;
  }
  // A function that returns within the patch would have its jump written over what follows it.
  if (n < minimum) return HookStatus::EntryTooShort;
  // Instructions that run into memory that is not code are never copied.
  if (!IsExecutableRange(target, n)) return HookStatus::NotExecutable;
  length = n;
  const HookStatus status = TakeCodeSlot(n + reserve, AsPointer(target), n, block);
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
