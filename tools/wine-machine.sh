# Sourced by the scripts that need a machine where Wine starts 32-bit programs.

# needs_emulated_machine [LOADER]: true when this kernel runs no 32-bit code
# (it refuses to start the i386 loader at all: 126; any other answer means it
# started), or when KAVREL_MACHINE=emulated asks for the emulated machine.
needs_emulated_machine() {
  [ "${KAVREL_MACHINE:-}" != emulated ] || return 0
  local rc=0
  "${1:-/lib/ld-linux.so.2}" --help >/dev/null 2>&1 || rc=$?
  [ "$rc" = 126 ]
}
