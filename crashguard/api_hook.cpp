#include "crashguard/api_hook.h"

#include <windows.h>

#include "crashguard/code_buffer.h"
#include "crashguard/hook_blocks.h"
#include "crashguard/original_call.h"

namespace crashguard {

namespace {

const ApiHookOperations kOperations = {
    &ApiHook::DestroyApiHook,    &ApiHook::CopyApiHook,        &ApiHook::SetUnhookOnDestroy,
    &ApiHook::HookByNameDefault, &ApiHook::HookByName,         &ApiHook::HookByAddress,
    &ApiHook::InstallInlineHook, &ApiHook::BuildTrampoline,    &ApiHook::BuildPatchStub,
    &ApiHook::GetCodeTemplate,   &ApiHook::GetTrampoline,      &ApiHook::RemoveHook,
    &ApiHook::CallOriginal,      &ApiHook::CallOriginalWithArgs, &RetargetRelativeBranch,
    &IsCopyableInstruction,      &FollowJump,                  &WriteJump,
    &ApiHook::SetHookUserValue,  &ApiHook::GetHookUserValue,
};

volatile LONG g_lastGeneration = 0;

// Where a thread may stand in the copied instructions (and the jump after
// them) and the same place in the code at `to`.
std::vector<ThreadMove> CopiedInstructionMoves(CodeAddress from, CodeAddress to, CodeAddress trampoline,
                                               int32_t length) {
  std::vector<ThreadMove> moves;
  for (const int32_t x : InstructionStarts(trampoline, length)) moves.push_back({from + x, to + x, 0});
  moves.push_back({from + length, to + length, 0});
  return moves;
}

// A thread in a patch stub goes back to the entry as it was called: the
// adapter's words (see GetCodeTemplate) are dropped.
void AddStubMoves(std::vector<ThreadMove>& moves, CodeAddress stub, CodeAddress target, bool adapted) {
  moves.push_back({stub, target, 0});
  if (adapted) moves.insert(moves.end(), {{stub + 3, target, 1}, {stub + 7, target, 1}});
}

}  // namespace

const ApiHookOperations& ApiHookTable() { return kOperations; }

ApiHook* AllocateApiHook() {
  auto* hook = new ApiHook();  // value-initialised: every field zero
  hook->operations = &kOperations;
  return hook;
}

void ReleaseApiHook(ApiHook*& hook) {
  if (!hook) return;
  (hook->*(hook->operations->destroyApiHook))();
  delete hook;
  hook = nullptr;
}

void ApiHook::ConstructApiHook() { SetUnhookOnDestroy(1); }

void ApiHook::DestroyApiHook() {
  if (unhookOnDestroy != 0) RemoveHook(kPassThrough);
}

ApiHook* ApiHook::CopyApiHook() const { return new ApiHook(*this); }

void ApiHook::SetUnhookOnDestroy(int32_t flag) { unhookOnDestroy = flag; }

int32_t ApiHook::HookByNameDefault(const char* moduleName, const char* exportName, CodeAddress replacement) {
  return HookByName(moduleName, exportName, replacement);
}

int32_t ApiHook::HookByName(const char* moduleName, const char* exportName, CodeAddress replacement,
                            int32_t adapterFlag) {
  return InstallByName(moduleName, exportName, replacement, adapterFlag) == HookStatus::Ok;
}

int32_t ApiHook::HookByAddress(CodeAddress target, CodeAddress replacement, int32_t adapterFlag) {
  return InstallInlineHook(target, replacement, adapterFlag);
}

int32_t ApiHook::InstallInlineHook(CodeAddress target, CodeAddress replacement, int32_t adapterFlag) {
  return Install(target, replacement, adapterFlag) == HookStatus::Ok;
}

CodeAddress ApiHook::BuildTrampoline(CodeAddress target, int32_t minimum, int32_t reserve, int32_t& lengthOut) {
  CodeAddress block = 0;
  return MakeTrampoline(target, minimum, reserve, block, lengthOut) == HookStatus::Ok ? block : 0;
}

CodeAddress ApiHook::BuildPatchStub(CodeAddress target, CodeAddress replacement, int32_t adapterFlag) {
  CodeAddress stub = 0;
  return MakePatchStub(target, replacement, GetCodeTemplate(adapterFlag), stub) == HookStatus::Ok ? stub : 0;
}

HookStatus ApiHook::InstallByName(const char* moduleName, const char* exportName, CodeAddress replacement,
                                  int32_t adapterFlag) {
  HMODULE module = GetModuleHandleA(moduleName);
  if (!module) return HookStatus::ModuleNotLoaded;
  const auto target = reinterpret_cast<CodeAddress>(GetProcAddress(module, exportName));
  if (!target) return HookStatus::ExportNotFound;
  return Install(target, replacement, adapterFlag);
}

HookStatus ApiHook::Install(CodeAddress target, CodeAddress replacement, int32_t adapterFlag) {
  RemoveHook();
  if (trampoline != 0 || patchStub != 0) return HookStatus::StillHooked;
  if (!IsValidCodeAddress(target) || !IsValidCodeAddress(replacement)) return HookStatus::NotExecutable;
  CodeAddress block = 0;
  HookStatus status = MakeTrampoline(target, kJumpLength, kJumpLength + kSealLength, block, copiedLength);
  if (status != HookStatus::Ok) return status;
  // The trampoline is complete before the entry is touched.
  WriteJump(block + copiedLength, target + copiedLength);
  CodeAddress stub = 0;
  // A thread standing in the bytes that move carries on in their copy.
  status = MakePatchStub(target, replacement, GetCodeTemplate(adapterFlag), stub,
                         CopiedInstructionMoves(target, block, block, copiedLength));
  if (status != HookStatus::Ok) {
    FreeCode(block);
    return status;
  }
  targetAddress = target;
  replacementAddress = replacement;
  patchStub = stub;
  trampoline = block;
  generation = static_cast<uint32_t>(InterlockedIncrement(&g_lastGeneration));
  SealTrampoline(block, copiedLength, Seal());
  return HookStatus::Ok;
}

HookSeal ApiHook::Seal() const { return HookSeal{patchStub, targetAddress, replacementAddress, generation}; }

bool ApiHook::IsInstalled() const {
  // Blocks given back through a copy of this record, and maybe taken again since, are not this hook's.
  return IsValidCodeAddress(patchStub) && IsValidCodeAddress(trampoline) &&
         IsTrampolineSealed(trampoline, copiedLength, Seal());
}

HookStatus ApiHook::Remove(int32_t mode) {
  if (!IsInstalled()) return HookStatus::NotHooked;
  if (mode == kRestoreEntry) {
    std::vector<ThreadMove> moves = CopiedInstructionMoves(trampoline, targetAddress, trampoline, copiedLength);
    AddStubMoves(moves, patchStub, targetAddress, FollowJump(patchStub) != replacementAddress);
    const HookStatus status = RestoreEntry(trampoline, copiedLength, targetAddress, patchStub, moves);
    if (status != HookStatus::Ok) return status;
    FreeCode(patchStub);
    FreeCode(trampoline);
  } else if (mode == kPassThrough) {
    // The entry keeps jumping to the stub, which now leads straight to the trampoline. The blocks stay
    // for good, and their seal goes: no copy of this record finds its hook installed any more.
    WriteJump(patchStub, trampoline);
    FlushJump(patchStub);
    SealTrampoline(trampoline, copiedLength, HookSeal{});
  } else {
    return HookStatus::UnknownMode;
  }
  targetAddress = 0;
  replacementAddress = 0;
  patchStub = 0;
  trampoline = 0;
  return HookStatus::Ok;
}

std::vector<uint8_t> ApiHook::GetCodeTemplate(int32_t adapterFlag) const {
  if (adapterFlag == 0) return {};
  return {
      0xFF, 0x34, 0x24,        // push dword ptr [esp]: the return address twice
      0x89, 0x4C, 0x24, 0x04,  // mov [esp+4], ecx: ECX in the old return-address slot
  };
}

CodeAddress ApiHook::GetTrampoline() const { return trampoline; }

int32_t ApiHook::RemoveHook(int32_t mode) { return Remove(mode) == HookStatus::Ok; }

int32_t ApiHook::CallOriginal(int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5, int32_t a6, int32_t a7,
                              int32_t a8, int32_t a9, int32_t a10, int32_t a11, int32_t a12) const {
  return CallOriginalWithArgs(0, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12);
}

int32_t ApiHook::CallOriginalWithArgs(int32_t objectValue, int32_t a1, int32_t a2, int32_t a3, int32_t a4,
                                      int32_t a5, int32_t a6, int32_t a7, int32_t a8, int32_t a9, int32_t a10,
                                      int32_t a11, int32_t a12) const {
  if (!IsInstalled()) return 0;
  const int32_t args[12] = {a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12};
  return CallWithStackArgs(trampoline, objectValue, args);
}

void ApiHook::SetHookUserValue(int32_t value) { userValue = value; }

int32_t ApiHook::GetHookUserValue() const { return userValue; }

}  // namespace crashguard
