#include "crashguard/api_hook.h"

#include <windows.h>

#include <cstring>

#include "crashguard/code_buffer.h"
#include "crashguard/original_call.h"

namespace crashguard {

namespace {

constexpr int32_t kJumpLength = 5;

const ApiHookOperations kOperations = {
    &ApiHook::DestroyApiHook,    &ApiHook::CopyApiHook,        &ApiHook::SetUnhookOnDestroy,
    &ApiHook::HookByNameDefault, &ApiHook::HookByName,         &ApiHook::HookByAddress,
    &ApiHook::InstallInlineHook, &ApiHook::BuildTrampoline,    &ApiHook::BuildPatchStub,
    &ApiHook::GetCodeTemplate,   &ApiHook::GetTrampoline,      &ApiHook::RemoveHook,
    &ApiHook::CallOriginal,      &ApiHook::CallOriginalWithArgs, &RetargetRelativeBranch,
    &IsCopyableInstruction,      &FollowJump,                  &WriteJump,
    &ApiHook::SetHookUserValue,  &ApiHook::GetHookUserValue,
};

void FlushCode(CodeAddress address) {
  FlushInstructionCache(GetCurrentProcess(), reinterpret_cast<const void*>(address), kJumpLength);
}

void* AsPointer(CodeAddress address) { return reinterpret_cast<void*>(address); }

// Re-aims each relative call and jump of `length` bytes of whole instructions
// that moved from oldBase to block.
void RetargetBranches(CodeAddress block, int32_t length, CodeAddress oldBase) {
  for (int32_t x = 0; x < length; x += GetInstructionLength(block + x)) {
    RetargetRelativeBranch(block + x, oldBase, block);
  }
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
  HMODULE module = GetModuleHandleA(moduleName);
  const auto target = module ? reinterpret_cast<CodeAddress>(GetProcAddress(module, exportName)) : 0;
  return InstallInlineHook(target, replacement, adapterFlag);
}

int32_t ApiHook::HookByAddress(CodeAddress target, CodeAddress replacement, int32_t adapterFlag) {
  return InstallInlineHook(target, replacement, adapterFlag);
}

int32_t ApiHook::InstallInlineHook(CodeAddress target, CodeAddress replacement, int32_t adapterFlag) {
  RemoveHook();
  if (trampoline != 0 || patchStub != 0) return 0;  // still hooked
  if (!IsValidCodeAddress(target) || !IsValidCodeAddress(replacement)) return 0;
  trampoline = BuildTrampoline(target, kJumpLength, kJumpLength, copiedLength);
  if (trampoline == 0) return 0;
  // The trampoline is complete before the entry is touched.
  WriteJump(trampoline + copiedLength, target + copiedLength);
  patchStub = BuildPatchStub(target, replacement, adapterFlag);
  if (patchStub == 0) {
    FreeCode(trampoline);
    trampoline = 0;
    return 0;
  }
  targetAddress = target;
  replacementAddress = replacement;
  return 1;
}

CodeAddress ApiHook::BuildTrampoline(CodeAddress target, int32_t minimum, int32_t reserve, int32_t& lengthOut) {
  CodeAddress p = target;
  int32_t n = 0;
  while (n < minimum) {
    const int32_t k = GetInstructionLength(p);
    if (k == 0 || k == -1) return 0;
    if (IsCopyableInstruction(p) == 0) return 0;
    const uint8_t first = ReadCodeByte(p);
    if (first == 0xC3 || first == 0xC2) break;  // a return: not copied
    p += k;
    n += k;
  }
  // A function that returns within the patch would have its jump written over what follows it.
  if (n < minimum) return 0;
  lengthOut = n;
  const CodeAddress block = AllocateCode(n + reserve, AsPointer(target), n);
  if (block == 0) return 0;
  RetargetBranches(block, n, target);
  return block;
}

CodeAddress ApiHook::BuildPatchStub(CodeAddress target, CodeAddress replacement, int32_t adapterFlag) {
  const std::vector<uint8_t> codeTemplate = GetCodeTemplate(adapterFlag);
  const auto t = static_cast<int32_t>(codeTemplate.size());
  // The old protection is kept neither now nor at removal: mode 1 writes the entry back.
  DWORD oldProtection;
  if (!VirtualProtect(AsPointer(target), kJumpLength, PAGE_EXECUTE_WRITECOPY, &oldProtection)) return 0;
  const CodeAddress stub = AllocateCode(t + kJumpLength, codeTemplate.data(), t);
  if (stub == 0) return 0;
  WriteJump(stub + t, replacement);
  WriteJump(target, stub);
  FlushCode(target);
  return stub;
}

std::vector<uint8_t> ApiHook::GetCodeTemplate(int32_t adapterFlag) const {
  if (adapterFlag == 0) return {};
  return {
      0xFF, 0x34, 0x24,        // push dword ptr [esp]: the return address twice
      0x89, 0x4C, 0x24, 0x04,  // mov [esp+4], ecx: ECX in the old return-address slot
  };
}

CodeAddress ApiHook::GetTrampoline() const { return trampoline; }

int32_t ApiHook::RemoveHook(int32_t mode) {
  if (!IsValidCodeAddress(patchStub) || !IsValidCodeAddress(trampoline)) return 0;
  if (mode == kRestoreEntry) {
    const auto* moved = reinterpret_cast<const uint8_t*>(trampoline);
    std::vector<uint8_t> original(moved, moved + copiedLength);
    const auto buffer = reinterpret_cast<CodeAddress>(original.data());
    for (int32_t x = 0; x < copiedLength; x += GetInstructionLength(buffer + x)) {
      RetargetRelativeBranch(buffer + x, trampoline, targetAddress);
    }
    std::memcpy(AsPointer(targetAddress), original.data(), copiedLength);  // still writable from installation
    FreeCode(patchStub);
    FreeCode(trampoline);
  } else if (mode == kPassThrough) {
    // The entry keeps jumping to the stub, which now leads straight to the trampoline.
    WriteJump(patchStub, trampoline);
    FlushCode(patchStub);
  } else {
    return 0;
  }
  FlushCode(targetAddress);
  targetAddress = 0;
  replacementAddress = 0;
  patchStub = 0;
  trampoline = 0;
  return 1;
}

int32_t ApiHook::CallOriginal(int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5, int32_t a6, int32_t a7,
                              int32_t a8, int32_t a9, int32_t a10, int32_t a11, int32_t a12) const {
  return CallOriginalWithArgs(0, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12);
}

int32_t ApiHook::CallOriginalWithArgs(int32_t objectValue, int32_t a1, int32_t a2, int32_t a3, int32_t a4,
                                      int32_t a5, int32_t a6, int32_t a7, int32_t a8, int32_t a9, int32_t a10,
                                      int32_t a11, int32_t a12) const {
  const CodeAddress code = trampoline;
  if (!IsValidCodeAddress(code)) return 0;
  const int32_t args[12] = {a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12};
  return CallWithStackArgs(code, objectValue, args);
}

void ApiHook::SetHookUserValue(int32_t value) { userValue = value; }

int32_t ApiHook::GetHookUserValue() const { return userValue; }

}  // namespace crashguard
