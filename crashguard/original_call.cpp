#include "crashguard/original_call.h"

extern "C" int32_t crashguard_call_with_stack_args(uint32_t code, int32_t ecxValue, const int32_t* args);

// cdecl (code, ecxValue, args): pushes args[11] ... args[0], so args[0] is the
// first stack argument; EBP holds the stack pointer across the call.
asm(R"(
  .text
  .globl _crashguard_call_with_stack_args
  .def _crashguard_call_with_stack_args; .scl 2; .type 32; .endef
_crashguard_call_with_stack_args:
  pushl %ebp
  movl %esp, %ebp
  movl 16(%ebp), %edx
  movl $11, %ecx
1:
  pushl (%edx,%ecx,4)
  decl %ecx
  jns 1b
  movl 12(%ebp), %ecx
  call *8(%ebp)
  movl %ebp, %esp
  popl %ebp
  ret
)");

namespace crashguard {

int32_t CallWithStackArgs(uint32_t code, int32_t ecxValue, const int32_t (&args)[12]) {
  return crashguard_call_with_stack_args(code, ecxValue, args);
}

}  // namespace crashguard
