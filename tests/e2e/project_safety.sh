#!/bin/bash
# Maps drive K: of the test prefix to a fresh directory (and the share
# \\kavrel-k\share to its share\ folder), runs one end-to-end case of the
# project rules on it, then checks from the Linux side the files the case
# listed in K:\links.txt. A case that needs the editor's folder dialog works on
# C:, in folders named kavrel_e2e*, which go too.
set -e
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
exe="$1"
filter="$2"
prefix="${WINEPREFIX:-$repo/build/wineprefix}"
target="$(mktemp -d)"
link="$prefix/dosdevices/k:"
server="$prefix/dosdevices/unc/kavrel-k"
# A case that stopped half-way may leave a folder refusing writes.
trap 'chattr -R -i "$target" 2>/dev/null || true; rm -f "$link"; rm -rf "$server" "$target" "$prefix"/drive_c/kavrel_e2e*' EXIT
mkdir -p "$target/share" "$server"
ln -sfn "$target" "$link"
ln -sfn "$target/share" "$server/share"
out="$("$repo/tools/wine-run" "$exe" --gtest_filter="$filter" 2>&1)" || { echo "$out"; exit 1; }
echo "$out"
grep -q '\[  PASSED  \] 1 test' <<<"$out"
python3 "$repo/tests/e2e/check_links_from_linux.py" "$target/links.txt"
