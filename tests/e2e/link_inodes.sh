#!/bin/bash
# Runs real checks under Wine and looks at the backup tree from the Linux
# side: every entry must be the source's own inode, under its lower-case name.
set -e
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
bench="$1"
work="$(mktemp -d "$(dirname "$bench")/inodes.XXXXXX")"
trap 'rm -rf "$work"' EXIT
src="$work/Src" bak="$work/Src_backupx"
mkdir -p "$src/Photos/2024" "$src/文档"
printf one >"$src/Photo.JPG"
printf two >"$src/Photos/2024/IMG_0001.Jpg"
printf three >"$src/文档/报告.DOC"
printf four >"$src/Photos/notes.txt"
winpath() { printf 'Z:%s\\' "$(tr / '\\' <<<"$1")"; }
check() { "$repo/tools/wine-run" "$bench" check "$(winpath "$src")" "$(winpath "$bak")" 100 0 >"$work/out" 2>&1; cat "$work/out"; }
fail() { echo "FAIL: $*"; exit 1; }

same_inodes() {
  local count=0
  while IFS= read -r -d '' f; do
    rel="${f#$src/}"
    dir="$(dirname "$rel")" name="$(basename "$rel")"
    lower="$(tr 'A-Z' 'a-z' <<<"$name")"
    [ "$dir" = . ] && entry="$bak/$lower" || entry="$bak/$dir/$lower"
    [ -f "$entry" ] || fail "no entry $entry"
    [ "$(stat -c %i "$f")" = "$(stat -c %i "$entry")" ] || fail "$entry is not a link to $f"
    [ "$(stat -c %h "$f")" = 2 ] || fail "$f has $(stat -c %h "$f") links"
    count=$((count + 1))
  done < <(find "$src" -type f -print0)
  [ "$count" = 4 ] || fail "saw $count files"
}

check; grep -q 'linked=4' "$work/out" || fail "first check"
same_inodes
[ -d "$bak/Photos/2024" ] && [ -d "$bak/文档" ] || fail "directories keep their case"

check; grep -q 'linked=0' "$work/out" || fail "no-change check"
same_inodes
[ -z "$(find "$bak" -name '*.old*')" ] || fail "an unchanged file was moved aside"

old_inode="$(stat -c %i "$src/Photo.JPG")"
rm "$src/Photo.JPG"; printf 'one, new' >"$src/Photo.JPG"
check; grep -q 'linked=1' "$work/out" || fail "check after a replaced source"
same_inodes
[ "$(stat -c %i "$bak/photo.jpg.old")" = "$old_inode" ] || fail "the old entry is not kept as photo.jpg.old"
[ "$(cat "$bak/photo.jpg.old")" = one ] || fail "old content"
echo "PASS"
