// The code blocks of an inline hook: the trampoline that carries the entry's
// first whole instructions, and the patch stub that the entry jumps to.
#pragma once

#include <cstdint>
#include <type_traits>
#include <vector>

#include "crashguard/held_threads.h"
#include "crashguard/hook_status.h"
#include "crashguard/instruction_decoder.h"

namespace crashguard {

// Bytes of the E9 rel32 jump written over an entry.
constexpr int32_t kJumpLength = 5;

// Copies target's first whole instructions, at least `minimum` bytes, into a
// new block of length + reserve bytes, re-aiming their relative calls and
// jumps; length is set once the instructions are known to fit.
HookStatus MakeTrampoline(CodeAddress target, int32_t minimum, int32_t reserve, CodeAddress& block,
                          int32_t& length);
// Makes the entry writable, builds codeTemplate followed by a jump to
// replacement, and aims the entry at it while the other threads are held and
// moved as `moves` says.
HookStatus MakePatchStub(CodeAddress target, CodeAddress replacement, const std::vector<uint8_t>& codeTemplate,
                         CodeAddress& stub, const std::vector<ThreadMove>& moves = {});
// Puts the entry's first kJumpLength bytes back from the trampoline's first
// length bytes, their relative branches re-aimed from there, in the same way.
// EntryChanged, with nothing written, unless the entry still jumps to stub.
HookStatus RestoreEntry(CodeAddress trampoline, int32_t length, CodeAddress target, CodeAddress stub,
                        const std::vector<ThreadMove>& moves);
// Offsets of the whole instructions in the first length bytes at code.
std::vector<int32_t> InstructionStarts(CodeAddress code, int32_t length);

// The hook a trampoline belongs to, kept in its slot after the jump back. A
// copy of a hook record that outlived its hook finds no such seal: the slot
// was wiped when it was freed or the hook switched to pass-through, or a later
// hook's seal lies there now, whose generation no earlier hook had.
struct HookSeal {
  CodeAddress patchStub;
  CodeAddress target;
  CodeAddress replacement;
  uint32_t generation;
};
static_assert(std::is_standard_layout_v<HookSeal> && sizeof(HookSeal) == 16);
constexpr int32_t kSealLength = sizeof(HookSeal);
void SealTrampoline(CodeAddress trampoline, int32_t length, const HookSeal& seal);
bool IsTrampolineSealed(CodeAddress trampoline, int32_t length, const HookSeal& seal);

void FlushJump(CodeAddress at);

}  // namespace crashguard
