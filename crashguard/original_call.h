// Calls code with twelve stack arguments and a value in ECX, then puts the
// stack pointer back itself, so stdcall and cdecl callees are both safe.
#pragma once

#include <cstdint>

namespace crashguard {

int32_t CallWithStackArgs(uint32_t code, int32_t ecxValue, const int32_t (&args)[12]);

}  // namespace crashguard
