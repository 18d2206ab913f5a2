#!/bin/bash
# Maps drive Q: of the test prefix to a scratch directory and runs the
# scanner's drive-root case on it.
set -e
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
exe="$1"
prefix="${WINEPREFIX:-$repo/build/wineprefix}"
target="$(mktemp -d)"
link="$prefix/dosdevices/q:"
trap 'rm -f "$link"; rm -rf "$target"' EXIT
ln -sfn "$target" "$link"
out="$("$repo/tools/wine-run" "$exe" --gtest_filter='*ADriveRootIsWalkedAsTheRoot*' 2>&1)" || { echo "$out"; exit 1; }
echo "$out"
grep -q '\[  PASSED  \] 1 test' <<<"$out" && ! grep -q SKIPPED <<<"$out"
