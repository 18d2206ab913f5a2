// Inline hook of a 32-bit x86 function: its entry jumps through a patch stub
// to a replacement, while a trampoline keeps the displaced instructions so the
// function's own behaviour stays callable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "crashguard/hook_blocks.h"
#include "crashguard/hook_status.h"
#include "crashguard/instruction_decoder.h"

namespace crashguard {

class ApiHook;

// The class's table of operations, in table order.
struct ApiHookOperations {
  void (ApiHook::*destroyApiHook)();
  ApiHook* (ApiHook::*copyApiHook)() const;
  void (ApiHook::*setUnhookOnDestroy)(int32_t flag);
  int32_t (ApiHook::*hookByNameDefault)(const char* moduleName, const char* exportName, CodeAddress replacement);
  int32_t (ApiHook::*hookByName)(const char* moduleName, const char* exportName, CodeAddress replacement,
                                 int32_t adapterFlag);
  int32_t (ApiHook::*hookByAddress)(CodeAddress target, CodeAddress replacement, int32_t adapterFlag);
  int32_t (ApiHook::*installInlineHook)(CodeAddress target, CodeAddress replacement, int32_t adapterFlag);
  CodeAddress (ApiHook::*buildTrampoline)(CodeAddress target, int32_t minimum, int32_t reserve,
                                          int32_t& lengthOut);
  CodeAddress (ApiHook::*buildPatchStub)(CodeAddress target, CodeAddress replacement, int32_t adapterFlag);
  std::vector<uint8_t> (ApiHook::*getCodeTemplate)(int32_t adapterFlag) const;
  CodeAddress (ApiHook::*getTrampoline)() const;
  int32_t (ApiHook::*removeHook)(int32_t mode);
  int32_t (ApiHook::*callOriginal)(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                                   int32_t, int32_t, int32_t, int32_t) const;
  int32_t (ApiHook::*callOriginalWithArgs)(int32_t objectValue, int32_t, int32_t, int32_t, int32_t, int32_t,
                                           int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) const;
  int32_t (*retargetRelativeBranch)(CodeAddress at, CodeAddress oldBase, CodeAddress newBase);
  int32_t (*isCopyableInstruction)(CodeAddress address);
  CodeAddress (*followJump)(CodeAddress address);
  void (*writeJump)(CodeAddress at, CodeAddress destination);
  void (ApiHook::*setHookUserValue)(int32_t value);
  int32_t (ApiHook::*getHookUserValue)() const;
};

// RemoveHook modes.
constexpr int32_t kRestoreEntry = 1;
constexpr int32_t kPassThrough = 2;

// The object record: its operation table, then eight 32-bit fields, all 0 in a new object.
class ApiHook {
 public:
  void ConstructApiHook();
  void DestroyApiHook();
  // A new object naming the same code blocks.
  ApiHook* CopyApiHook() const;
  void SetUnhookOnDestroy(int32_t flag);
  int32_t HookByNameDefault(const char* moduleName, const char* exportName, CodeAddress replacement);
  int32_t HookByName(const char* moduleName, const char* exportName, CodeAddress replacement,
                     int32_t adapterFlag = 0);
  int32_t HookByAddress(CodeAddress target, CodeAddress replacement, int32_t adapterFlag = 0);
  // 1 when the entry now jumps to the replacement; 0 leaves the function unpatched.
  int32_t InstallInlineHook(CodeAddress target, CodeAddress replacement, int32_t adapterFlag = 0);
  CodeAddress BuildTrampoline(CodeAddress target, int32_t minimum, int32_t reserve, int32_t& lengthOut);
  CodeAddress BuildPatchStub(CodeAddress target, CodeAddress replacement, int32_t adapterFlag = 0);
  // The 7-byte adapter (ECX becomes the first stack argument) when the flag is set, else empty.
  std::vector<uint8_t> GetCodeTemplate(int32_t adapterFlag = 0) const;
  CodeAddress GetTrampoline() const;
  // kRestoreEntry or kPassThrough; 1 when the hook was removed or switched.
  // A restore is refused while a later hook holds the entry; pass-through is not.
  int32_t RemoveHook(int32_t mode = 0);
  int32_t CallOriginal(int32_t a1 = 0, int32_t a2 = 0, int32_t a3 = 0, int32_t a4 = 0, int32_t a5 = 0,
                       int32_t a6 = 0, int32_t a7 = 0, int32_t a8 = 0, int32_t a9 = 0, int32_t a10 = 0,
                       int32_t a11 = 0, int32_t a12 = 0) const;
  // Calls the trampoline with ECX = objectValue and a1 first on the stack; 0 when unhooked.
  int32_t CallOriginalWithArgs(int32_t objectValue = 0, int32_t a1 = 0, int32_t a2 = 0, int32_t a3 = 0,
                               int32_t a4 = 0, int32_t a5 = 0, int32_t a6 = 0, int32_t a7 = 0, int32_t a8 = 0,
                               int32_t a9 = 0, int32_t a10 = 0, int32_t a11 = 0, int32_t a12 = 0) const;
  void SetHookUserValue(int32_t value);
  int32_t GetHookUserValue() const;

  // The work behind the operations above, naming what failed.
  HookStatus InstallByName(const char* moduleName, const char* exportName, CodeAddress replacement,
                           int32_t adapterFlag = 0);
  HookStatus Install(CodeAddress target, CodeAddress replacement, int32_t adapterFlag = 0);
  HookStatus Remove(int32_t mode);

  const ApiHookOperations* operations;
  CodeAddress targetAddress;       // 0 = not hooked
  CodeAddress replacementAddress;
  int32_t unhookOnDestroy;         // nonzero: DestroyApiHook switches to pass-through
  int32_t userValue;
  CodeAddress patchStub;
  CodeAddress trampoline;
  int32_t copiedLength;
  // Counted up per install in the whole process: no later hook shares it, so a
  // copy that outlived its hook never passes for the hook installed now.
  uint32_t generation;

 private:
  HookSeal Seal() const;
  // This object's hook is the one its blocks belong to now.
  bool IsInstalled() const;
};
static_assert(std::is_standard_layout_v<ApiHook>);
static_assert(offsetof(ApiHook, operations) == 0, "the operation table comes first");
static_assert(offsetof(ApiHook, targetAddress) == 4);
static_assert(offsetof(ApiHook, unhookOnDestroy) == 12);
static_assert(offsetof(ApiHook, patchStub) == 20);
static_assert(offsetof(ApiHook, copiedLength) == 28);
static_assert(offsetof(ApiHook, generation) == 32, "after the seven published fields");
static_assert(sizeof(ApiHook) == 36);

const ApiHookOperations& ApiHookTable();

// A zeroed object with its operation table, as the global set-up makes it
// before ConstructApiHook.
ApiHook* AllocateApiHook();
// Runs the destroy operation, then frees the object itself.
void ReleaseApiHook(ApiHook*& hook);

}  // namespace crashguard
