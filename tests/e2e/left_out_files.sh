#!/bin/bash
# Passes of the real program (kavrel_pass) over trees built from Linux that
# narrow calls cannot walk; from Linux, which entries link to which sources,
# beside the end text and row images. Usage: left_out_files.sh FAMILY kavrel_pass.exe
set -e
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
work="$(realpath "$(mktemp -d)")"  # a local disk: in the emulated machine, build/ is shared over 9p
other="$(mktemp -d /dev/shm/kavrel_left_out.XXXXXX)"  # a volume that holds no link into $work
trap 'rm -rf "$work" "$other"' EXIT
src="$work/src" bak="$work/src_backupx"
mkdir -p "$src"
winpath() { printf 'Z:%s\\' "$(tr / '\\' <<<"$1")"; }
fail() { echo "FAIL ($1): ${*:2}"; exit 1; }
inode() { stat -c %i "$1"; }
linked() { for f in "${@:2}"; do [ "$(inode "$1/$f")" = "$(inode "$bak/$f")" ] || fail "$1/$f" not linked; done; }
# pass TEXT IMAGES MONITOR BACKUP [MONITOR BACKUP]: one pass with $options, which must end so.
# With $interval (minutes) set, TEXT is a pattern of the countdown's first text after the pass.
pass() {
  local want=("$1" "$2") args=() d
  for d in "${@:3}"; do args+=("$(winpath "$d")"); done
  KAVREL_OPTIONS="$options" KAVREL_INTERVAL_MINUTES="$interval" \
    "$repo/tools/wine-run" "$driver" "$(winpath "$work")" "${args[@]}" >"$work/out" 2>&1 ||
    fail pass "exit code $?: $(cat "$work/out")"
  local got=("$(sed -n 's/^text=//p' "$work/out" | tr -d '\r' | iconv -f GBK -t UTF-8)"
             "$(sed -n 's/^image=//p' "$work/out" | tr -d '\r' | paste -sd' ')")
  [[ "${got[*]}" == ${want[*]} ]] || fail pass "ended with '${got[*]}', not '${want[*]}'"
}
driver="$2" options="1|1|1|2|"  # skip system, hidden and empty entries
interval=
case "$1" in
sizes)  # a folder whose size narrow calls cannot measure is no empty folder
  files=(top.txt Photos/2023/beach.jpg Docs/Köln/dom.txt Docs/2024/report.txt Music/Live/song.mp3)
  mkdir -p "$src/Photos/서울" "$src/Music/a?b" && for f in "${files[@]}"; do mkdir -p "$(dirname "$src/$f")"; echo "$f" >"$src/$f"; done
  options="1|2|1|2|"  # hidden entries kept: a?b, which no path reaches, is no folder to the check
  pass " 本次检查共发现5个增量文件并已备份，1个文件未能备份" 2 "$src" "$bak"
  linked "$src" "${files[@]}" && [ ! -e "$bak/Photos/서울" ] || fail sizes "the empty folder was mirrored"
  ;;
kinds)  # a file replaced by a folder, a folder by a file, and back
  mkdir "$src/y" && echo x1 >"$src/x" && echo in >"$src/y/in.txt"
  pass " 本次检查共发现2个增量文件并已备份" 1 "$src" "$bak"
  old=("$(inode "$src/x")" "$(inode "$src/y/in.txt")")
  rm -r "$src/x" "$src/y" && mkdir -p "$src/x/sub" && echo a >"$src/x/a.txt" && echo b >"$src/x/sub/b.txt" && echo y >"$src/y"
  pass " 本次检查共发现3个增量文件并已备份" 1 "$src" "$bak"
  linked "$src" x/a.txt x/sub/b.txt y
  [ "$(inode "$bak/x.old") $(inode "$bak/y.old/in.txt")" = "${old[*]}" ] || fail kinds "the other kinds are not kept as .old"
  old_a="$(inode "$src/x/a.txt")" && rm -r "$src/x" && echo x2 >"$src/x"
  pass " 本次检查共发现1个增量文件并已备份" 1 "$src" "$bak"
  linked "$src" x && [ "$(inode "$bak/x.old1/a.txt")" = "$old_a" ] || fail kinds "the folder x is not kept as x.old1"
  pass " 本次检查未发现增量文件" 1 "$src" "$bak"
  ;;
failures)  # what cannot be backed up is counted; the rest is backed up
  near="$(printf 'n%.0s' $(seq $((253 - ${#src} - 7))))"  # with "Z:", "\" and ".txt" a path of 253 bytes
  far="$(printf 'd%.0s' {1..200})/$(printf 'e%.0s' {1..60})/far.txt"  # over 300, in a folder over 260
  mkdir -p "$work/a" "$bak" "$(dirname "$src/$far")" "$src/bs\\dir"
  for f in 서울.txt 😀.txt $'\xff'.txt Photo.jpg photo.JPG 'a?b.txt' 'a\b.txt' 'bs\dir/in.txt' full.txt "$near.txt" "$far" 'dot.' 'blank '; do
    echo "$f" >"$src/$f"
  done
  echo 1 >"$work/a/one.txt" && echo 2 >"$work/a/two.txt" && mkfifo "$src/pipe"
  for n in '' $(seq 50); do echo old >"$bak/full.txt.old$n"; done && echo entry >"$bak/full.txt"
  # Left out: one of two names that differ in case only, a?b.txt, a\b.txt and the folder bs\dir, which
  # no path reaches, the pipe, full.txt, whose .old names are all taken, and both links of the last
  # check, across volumes.
  pass " 本次检查共发现8个增量文件并已备份，8个文件未能备份" "2 2" "$src" "$bak" "$work/a" "$other/a_backupx"
  linked "$src" 서울.txt 😀.txt "$near.txt" "$far" 'dot.' 'blank '  # names GBK lacks, long paths, a last dot or blank
  [ "$(inode "$src/"$'\xff'.txt)" = "$(inode "$bak/"$'\xef\xbf\xbd'.txt)" ] || fail failures "no link to the name Wine gives"
  case "$(inode "$bak/photo.jpg")" in
    "$(inode "$src/Photo.jpg")") gone=photo.JPG ;; "$(inode "$src/photo.JPG")") gone=Photo.jpg ;;
    *) fail failures "photo.jpg links to neither name" ;; esac
  [ "$(cat "$bak/full.txt")" = entry ] && [ ! -e "$other/a_backupx/one.txt" ] || fail failures "a left-out file was linked"
  options="1|2|1|2|"  # hidden entries kept: the size of the pipe cannot be read
  pass " 本次检查未发现增量文件，8个文件未能备份" "2 2" "$src" "$bak" "$work/a" "$other/a_backupx"
  rm "$src/pipe" "$src/a?b.txt" "$src/$gone" "$bak/full.txt.old50"
  options="1|2|2|2|"  # hidden and empty entries kept: no filter stands for a\b.txt
  pass " 本次检查共发现1个增量文件并已备份，2个文件未能备份" 2 "$src" "$bak"
  linked "$src" full.txt && [ "$(cat "$bak/full.txt.old50")" = entry ] || fail failures "full.txt not linked"
  ;;
texts)  # the texts count the links of every check of the pass, and a pass that made none says so
  a="$work/a" && mkdir -p "$a" && echo 1 >"$src/one.txt" && echo 2 >"$a/two.txt"
  pass " 本次检查共发现2个增量文件并已备份" "1 1" "$src" "$bak" "$a" "$work/a_backupx"
  echo 3 >"$src/three.txt" && echo 4 >"$src/four.txt"  # links in the first project only
  pass " 本次检查共发现2个增量文件并已备份" "1 1" "$src" "$bak" "$a" "$work/a_backupx"
  echo 5 >"$src/five.txt" && interval=10
  pass " 已备份1个增量文件，9分5?秒后重新检查" "1 1" "$src" "$bak" "$a" "$work/a_backupx"
  # No link, and full.txt, whose .old names are all taken, cannot be backed up.
  for n in '' $(seq 50); do echo old >"$bak/full.txt.old$n"; done && echo entry >"$bak/full.txt" && echo f >"$src/full.txt"
  pass " 无增量文件，1个文件未能备份，程序将在*秒后重新检查" "2 1" "$src" "$bak" "$a" "$work/a_backupx"
  interval=
  pass " 本次检查未发现增量文件，1个文件未能备份" "2 1" "$src" "$bak" "$a" "$work/a_backupx"
  linked "$src" one.txt three.txt four.txt five.txt
  [ "$(inode "$a/two.txt")" = "$(inode "$work/a_backupx/two.txt")" ] || fail texts "two.txt not linked"
  [ "$(cat "$bak/full.txt")" = entry ] || fail texts "the entry of full.txt was replaced"
  ;;
*) fail "$1" "no such family" ;;
esac
echo PASS
