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

# The machine mounts /proc, /sys and /dev of its own, and holds /tmp and
# /dev/shm of its own, into which tools/vm-init brings the folders a job
# needs from here. machine_reaches PATH...: true when the machine reaches
# every PATH as this machine does; else one line names the first it cannot.
machine_reaches() {
  local path
  for path in "$@"; do
    case "$path/" in
      /dev/shm/*) ;;
      /proc/* | /sys/* | /dev/*)
        echo "tools/$(basename "$0"): the emulated machine cannot reach $path: it has a /proc, /sys and /dev of its own; use a folder elsewhere" >&2
        return 1 ;;
    esac
  done
}

# machine_brings_in PATH: the folder right below /tmp or /dev/shm that holds
# PATH, which the machine brings in; nothing for a PATH elsewhere.
machine_brings_in() { sed -n -E 's#^(/tmp|/dev/shm)/([^/]+).*#\1/\2#p' <<<"$1"; }

# machine_reaches_checkout REPO: before a build, that the machine, where one
# is needed, reaches the checkout and the working directory.
machine_reaches_checkout() { ! needs_emulated_machine || machine_reaches "$1" "$PWD"; }
