#!/bin/bash
# Runs tools/vm-run against a stand-in emulator that behaves as the machine
# does (runs the job and leaves its exit code), fails to start, hangs or
# ends early, and checks what the command answers and what it leaves running.
set -u
repo="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d /tmp/vm-run.XXXXXX)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/vm/kernel/lib/modules/9.9/kernel/fs"

# A kernel whose modules name what they depend on, as the real .modinfo does.
echo kernel > "$work/vm/kernel/vmlinuz"
module() { printf 'junk\0depends=%s\0vermagic=9.9\0' "$2" > "$work/vm/kernel/lib/modules/9.9/kernel/fs/$1.ko"; }
for m in virtio virtio_ring virtio_pci_modern_dev virtio_pci_legacy_dev 9pnet netfs crc32c_generic jbd2 mbcache crc16 \
  net_failover failover; do module "$m" ""; done
module virtio_pci virtio_ring,virtio_pci_modern_dev,virtio_pci_legacy_dev,virtio
module 9pnet_virtio virtio,9pnet,virtio_ring
module fscache netfs
module 9p 9pnet,fscache,netfs
module virtio_blk virtio,virtio_ring
module ext4 jbd2,mbcache,crc16
module virtio_net virtio_ring,virtio,net_failover
module net_failover failover

# The stand-in emulator. MODE run: runs the job as the machine's init does
# and leaves its exit code, with no namespace of its own (a chroot or a
# container may refuse one): the machine's own /tmp holds only the folders
# that tools/vm-run lists as brought in, which are kept in brought-in; fail:
# ends at once, as when the emulator cannot start; hang: never ends; die:
# ends without a word, as after a crash.
cat > "$work/bin/qemu-system-x86_64" <<'S'
#!/bin/bash
echo $$ > "$WORK/emulator.pid"
echo "$*" > "$WORK/emulator.args"
job="$(sed -n 's/.* vm.job=\([^ ]*\).*/\1/p' <<<"$*")"
case "$MODE" in
  run) cp "$job/brought-in" "$WORK/brought-in"; bash "$job/job" >"$WORK/job.out" 2>&1; echo $? > "$job/rc" ;;
  fail) echo "qemu: could not load kernel" >&2; exit 1 ;;
  hang) exec sleep 1000 ;;
  stops) touch "$job/started"; read -r stop <"$(sed -n 's/.*pipe,id=stops,path=\([^ ]*\) .*/\1/p' <<<"$*").in"
    echo "$stop" > "$WORK/stop.got"; exec sleep 1000 ;;
  die) exit 0 ;;
esac
S
chmod +x "$work/bin/qemu-system-x86_64"

failed=0
run() { # name, expected rc test, env...
  local name="$1" expect="$2"; shift 2
  rm -f "$work/emulator.pid" "$work/job.out"
  (cd "$work" && env PATH="$work/bin:$PATH" WORK="$work" REPO="$repo" VM_DIR="$work/vm" JOB_SEEN=here "$@") >"$work/out" 2>&1
  local rc=$?
  if ! eval "$expect"; then
    echo "FAIL $name (rc=$rc)"; cat "$work/out" "$work/job.out" 2>/dev/null
    failed=$((failed + 1))
  else
    echo "ok   $name"
  fi
}
emulator_gone() { [ -s "$work/emulator.pid" ] && ! kill -0 "$(cat "$work/emulator.pid")" 2>/dev/null; }

run "the job runs in the same folder with the same environment, and its exit code is the command's" \
  '[ $rc = 7 ] && [ "$(cat "$work/job.out")" = "$work here a b" ] && ! ls "$work/vm/runs"/* >/dev/null 2>&1' \
  MODE=run "$repo/tools/vm-run" -- bash -c 'echo "$PWD $JOB_SEEN $0 $1"; exit 7' a b
# Another folder under /tmp.
other="$(mktemp -d /tmp/vm-run.XXXXXX)"
trap 'rm -rf "$work" "$other"' EXIT
echo from-there > "$other/there.txt"
run "a job run from another folder under /tmp brings in both folders, and nothing else of /tmp" \
  '[ $rc = 0 ] && [ "$(cat "$work/job.out")" = from-there ] && [ "$(cat "$work/brought-in")" = "$(printf "%s\n" "$work" "$other" | sort)" ]' \
  MODE=run bash -c 'cd "$0" && "$1" -- cat there.txt' "$other" "$repo/tools/vm-run"
run "a working directory the machine cannot reach: one line says so, and no machine starts" \
  '[ $rc != 0 ] && [ "$(wc -l < "$work/out")" = 1 ] && grep -q "cannot reach /proc" "$work/out" && [ ! -e "$work/emulator.pid" ]' \
  MODE=run bash -c 'cd /proc && "$0" -- true' "$repo/tools/vm-run"
run "the initramfs loads every module after the modules it depends on" \
  'order="$(gunzip -c "$work/vm/initrd.img" | (cd "$work" && busybox cpio -i --to-stdout modules.order 2>/dev/null) | tr "\n" " ")"
   before() { [[ "$order" =~ (^| )$1\.ko\ (.* )?$2\.ko ]]; }
   [ $rc = 0 ] && before virtio_ring virtio_pci && before virtio virtio_pci && before netfs fscache &&
   before fscache 9p && before 9pnet 9p && before crc32c_generic ext4 && before jbd2 ext4 &&
   before failover net_failover && before net_failover virtio_net &&
   [ "$(wc -w <<<"$order")" = "$(ls "$work/vm/kernel/lib/modules/9.9/kernel/fs" | wc -l)" ]' \
  MODE=run "$repo/tools/vm-run" -- true
run "an emulator that cannot start: a clear message and a failing exit code" \
  '[ $rc != 0 ] && grep -q "ended without finishing" "$work/out"' \
  MODE=fail "$repo/tools/vm-run" -- true
run "a machine that ends without its job finishing fails, and its disk is made anew next time" \
  '[ $rc != 0 ] && grep -q "ended without finishing" "$work/out" && [ -e "$work/vm/scratch.img.dirty" ]' \
  MODE=die "$repo/tools/vm-run" -- true
echo mark | dd of="$work/vm/scratch.img" conv=notrunc status=none
run "a disk whose last machine did not end cleanly is made anew" \
  '[ $rc = 0 ] && [ "$(head -c 4 "$work/vm/scratch.img" | tr -d "\0")" != mark ] && [ ! -e "$work/vm/scratch.img.dirty" ]' \
  MODE=run "$repo/tools/vm-run" -- true
echo mark | dd of="$work/vm/scratch.img" conv=notrunc status=none
run "a disk whose last machine ended cleanly is kept" \
  '[ $rc = 0 ] && [ "$(head -c 4 "$work/vm/scratch.img" | tr -d "\0")" = mark ]' \
  MODE=run "$repo/tools/vm-run" -- true
run "a machine that hangs is stopped at the time limit, by its process id, with a clear message" \
  '[ $rc != 0 ] && grep -q "did not finish within 2 s" "$work/out" && emulator_gone' \
  MODE=hang "$repo/tools/vm-run" --timeout 2 -- true
run "a stopped command stops its machine" \
  '[ $rc != 0 ] && grep -q "interrupted" "$work/out" && emulator_gone' \
  MODE=hang bash -c '"$0" -- true & pid=$!; for _ in $(seq 100); do [ -s "$WORK/emulator.pid" ] && break; sleep 0.1; done
    kill -TERM $pid; wait $pid' "$repo/tools/vm-run"
run "a first stop is passed on to the running command in the machine, a second stops the machine" \
  '[ $rc != 0 ] && [ "$(cat "$work/stop.got")" = TERM ] && [ -e "$work/ran-on" ] && grep -q "interrupted" "$work/out" && emulator_gone' \
  MODE=stops bash -c '"$0" -- true & pid=$!; for _ in $(seq 300); do compgen -G "$VM_DIR/runs/*/started" >/dev/null && break; sleep 0.1; done
    kill -TERM $pid; for _ in $(seq 300); do [ -s "$WORK/stop.got" ] && break; sleep 0.1; done
    ! kill -0 $pid || touch "$WORK/ran-on"; kill -HUP $pid; wait $pid' "$repo/tools/vm-run"
# The machine takes this machine's name, or the display's window manager marks its windows as remote.
run "a display is reached through the machine's network, a connection at a time, from a machine of this name" \
  '[ $rc = 0 ] && grep -q "guestfwd=tcp:10.0.2.100:6000-cmd:socat STDIO UNIX-CONNECT:/tmp/.X11-unix/X5" "$work/emulator.args" &&
   grep -q " vm.host=$(hostname) " "$work/emulator.args" &&
   [ "$(cat "$work/job.out")" = 10.0.2.100:0 ]' \
  MODE=run DISPLAY=:5.0 "$repo/tools/vm-run" --display -- bash -c 'echo $DISPLAY'

cases="$(grep -c '^run "' "$0")"
echo "$((cases - failed)) passed, $failed failed"
[ $failed = 0 ]
