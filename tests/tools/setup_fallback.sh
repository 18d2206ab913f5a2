#!/bin/bash
# Runs tools/setup against stand-in apt-get, dpkg and dpkg-query that fail the
# way a faulty package index does, and checks how the setup answers.
set -u
repo="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"

# dpkg-query: every package is missing unless ALL_INSTALLED is set.
cat > "$work/bin/dpkg-query" <<'S'
#!/bin/bash
[ -n "${ALL_INSTALLED:-}" ] && echo "install ok installed"
exit 0
S
cat > "$work/bin/dpkg" <<'S'
#!/bin/bash
[ "$1" = --print-foreign-architectures ] && echo i386
exit 0
S
# apt-get: records each call; MODE flaky fails every update and the first
# install, MODE broken fails everything, MODE no-sources fails only the
# source-package step.
cat > "$work/bin/apt-get" <<'S'
#!/bin/bash
echo "$*" >> "$CALLS"
case "$MODE" in
  broken) exit 100 ;;
  no-sources) [[ " $* " == *" source "* ]] && exit 100; exit 0 ;;
  flaky)
    [[ " $* " == *" update "* ]] && exit 100
    grep -q -- '-t ' <<<"$*" && exit 0
    exit 100 ;;
esac
S
chmod +x "$work/bin/"*

# The picture libraries are built already, unless a case removes the mark.
mkdir "$work/deps"
touch "$work/deps/built-from-bookworm"

failed=0
run() { # name, env..., expected rc test
  local name="$1" expect="$2"; shift 2
  : > "$work/calls"
  env PATH="$work/bin:$PATH" CALLS="$work/calls" SETUP_RETRY_PAUSE=0 SETUP_DEPS_DIR="$work/deps" "$@" \
    "$repo/tools/setup" > "$work/out" 2>&1
  local rc=$?
  if ! eval "$expect"; then
    echo "FAIL $name (rc=$rc)"; cat "$work/out"; echo "-- apt-get calls:"; cat "$work/calls"
    failed=$((failed + 1))
  else
    echo "ok   $name"
  fi
}

run "a flaky index: update retried, install falls back to the release suite" \
  '[ $rc = 0 ] && [ "$(grep -c update "$work/calls")" = 3 ] && grep -q "^install .*-t bookworm" "$work/calls"' \
  MODE=flaky
run "a broken index: the setup stops and names the failing step" \
  '[ $rc != 0 ] && grep -q "apt-get install .* failed" "$work/out" && grep -q "run this script again" "$work/out"' \
  MODE=broken
run "everything installed: silent, no apt-get" \
  '[ $rc = 0 ] && [ ! -s "$work/out" ] && [ ! -s "$work/calls" ]' \
  MODE=broken ALL_INSTALLED=1

rm "$work/deps/built-from-bookworm"
run "the source packages: a private list, the release suite pinned, retried, then a clear stop" \
  '[ $rc != 0 ] && [ "$(grep -c " source libpng1.6/bookworm libjpeg-turbo/bookworm" "$work/calls")" = 3 ] &&
   ! grep " source " "$work/calls" | grep -qv "Dir::Etc::SourceList=$work/deps.work/" &&
   grep -q "apt-get source .* failed" "$work/out"' \
  MODE=no-sources ALL_INSTALLED=1

echo "$((4 - failed)) passed, $failed failed"
[ $failed = 0 ]
