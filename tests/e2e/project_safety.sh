#!/bin/bash
# Maps drive K: of the test prefix to a fresh directory (with the share
# \\kavrel-k\share on its share\ folder and a small file system on full\),
# runs one end-to-end case of the project rules on it, then checks from the
# Linux side the files the case listed in K:\links.txt. A case that needs the
# editor's folder dialog works on C:, in folders named kavrel_e2e*, which go too.
set -e
. "$(dirname "${BASH_SOURCE[0]}")/scratch_drive.sh"
map_drive k
server="$prefix/dosdevices/unc/kavrel-k"
# A case that stopped half-way may leave a folder refusing writes.
cleanup+=("rm -rf $(printf %q "$server") $(printf %q "$prefix")/drive_c/kavrel_e2e*"
          "chattr -R -i $(printf %q "$target") 2>/dev/null || true")
mkdir -p "$target/share" "$server" "$target/full"
# K:\full\ is a small file system of its own, for a case to fill up; the lazy
# unmount does not wait for a Wine server that still holds a file there.
mount -t tmpfs -o size=8m kavrel-full "$target/full"
cleanup+=("umount -l $(printf %q "$target/full")")
ln -sfn "$target/share" "$server/share"
run_case "$1" "$2"
python3 "$repo/tests/e2e/check_links_from_linux.py" "$target/links.txt"
