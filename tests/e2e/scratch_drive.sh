# Sourced by the scripts that run one case of a test program on a drive of
# the test prefix mapped to a fresh directory, $target. The directory goes
# when the script ends, after the steps a script adds to `cleanup`.
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
prefix="${WINEPREFIX:-$repo/build/wineprefix}"
target="$(mktemp -d)"
cleanup=()
trap 'for step in "${cleanup[@]}"; do eval "$step"; done; rm -rf "$target"' EXIT

# Maps drive letter $1 to $target, or to its folder $2, made here.
map_drive() {
  local link="$prefix/dosdevices/$1:" folder="$target${2:+/$2}"
  mkdir -p "$folder"
  ln -sfn "$folder" "$link"
  cleanup+=("rm -f $(printf %q "$link")")
}

# Runs case $2 of test program $1; fails unless that one case passed.
run_case() {
  local out
  out="$("$repo/tools/wine-run" "$1" --gtest_filter="$2" 2>&1)" || { echo "$out"; return 1; }
  echo "$out"
  grep -q '\[  PASSED  \] 1 test' <<<"$out" && ! grep -q SKIPPED <<<"$out"
}
