# Sourced by tools/vm-init (busybox sh). The emulated machine holds /tmp
# and /dev/shm of its own. The folders right below them that its job needs
# from this machine (a checkout under /tmp, say) are listed by tools/vm-run,
# one a line: each is held aside before those places are covered, and put
# back at its own path on top of them.

# hold_brought_in ROOT HELD LIST: binds each listed folder of the shared root
# ROOT under the folder HELD, which nothing covers.
hold_brought_in() {
  while IFS= read -r dir; do
    mkdir -p "$2$dir" && mount --bind "$1$dir" "$2$dir" ||
      echo "vm-run: the machine could not hold $dir" >&2
  done <"$3"
}

# put_back_brought_in ROOT HELD LIST: binds each held folder back at its own
# path below ROOT, now on the machine's own /tmp or /dev/shm.
put_back_brought_in() {
  while IFS= read -r dir; do
    mkdir -p "$1$dir" && mount --bind "$2$dir" "$1$dir" ||
      echo "vm-run: the machine could not bring in $dir" >&2
  done <"$3"
}
