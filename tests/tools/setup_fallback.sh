#!/bin/bash
# Runs tools/setup against stand-in apt-get, dpkg and dpkg-query that fail the
# way a faulty package index does, and checks how the setup answers.
set -u
repo="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"

# dpkg-query: every package is missing unless ALL_INSTALLED is set; the
# one installed package of both architectures is libskew, at amd64 only.
cat > "$work/bin/dpkg-query" <<'S'
#!/bin/bash
[[ " $* " == *'${Multi-Arch}'* ]] && { echo "libskew:amd64 same"; echo "tool:amd64 foreign"; exit 0; }
[ -n "${ALL_INSTALLED:-}" ] && echo "install ok installed"
exit 0
S
# apt-cache: libskew's amd64 is at a newer security version than the i386
# list offers; the kernel's package is named by linux-image-amd64.
cat > "$work/bin/apt-cache" <<'S'
#!/bin/bash
case "$1" in
  depends) echo "linux-image-amd64"; echo "  Depends: linux-image-6.1.0-99-amd64" ;;
  policy) cat <<'P'
libskew:i386:
  Installed: (none)
  Candidate: 1.0-3+deb12u6
  Version table:
     1.0-3+deb12u6 500
        500 http://deb.debian.org/debian-security bookworm-security/main i386 Packages
libskew:
  Installed: 1.0-3+deb12u7
  Candidate: 1.0-3+deb12u7
  Version table:
 *** 1.0-3+deb12u7 500
        100 /var/lib/dpkg/status
     1.0-3+deb12u6 500
        500 http://deb.debian.org/debian bookworm/main amd64 Packages
P
  ;;
esac
S
# The i386 loader of a kernel that runs no 32-bit code.
printf '#!/bin/sh\nexit 126\n' > "$work/bin/refused-loader"
cat > "$work/bin/dpkg" <<'S'
#!/bin/bash
[ "$1" = --print-foreign-architectures ] && echo i386
exit 0
S
# apt-get: records each call; MODE flaky fails every update and the first
# install, MODE broken fails everything, MODE no-sources fails only the
# source-package step, MODE skewed fails every install that does not line
# libskew's amd64 up to the i386 version. A download leaves the kernel's package.
cat > "$work/bin/apt-get" <<'S'
#!/bin/bash
echo "$*" >> "$CALLS"
[[ " $* " == *" download "* ]] && { cp "$KERNEL_DEB" .; exit 0; }
case "$MODE" in
  skewed)
    [[ " $* " == *" install "* ]] || exit 0
    [[ " $* " == *" --allow-downgrades "* && " $* " == *" libskew:amd64=1.0-3+deb12u6 "* ]] && exit 0
    exit 100 ;;
  broken) exit 100 ;;
  no-sources) [[ " $* " == *" source "* ]] && exit 100; exit 0 ;;
  flaky)
    [[ " $* " == *" update "* ]] && exit 100
    grep -q -- '-t ' <<<"$*" && exit 0
    exit 100 ;;
esac
S
chmod +x "$work/bin/"*

# A kernel package as Debian lays it out.
mkdir -p "$work/deb/DEBIAN" "$work/deb/boot" "$work/deb/lib/modules/6.1.0-99-amd64/kernel/fs"
printf 'Package: linux-image-6.1.0-99-amd64\nVersion: 1\nArchitecture: amd64\nMaintainer: t <t@t>\nDescription: t\n' \
  > "$work/deb/DEBIAN/control"
echo kernel > "$work/deb/boot/vmlinuz-6.1.0-99-amd64"
echo module > "$work/deb/lib/modules/6.1.0-99-amd64/kernel/fs/9p.ko"
dpkg-deb -b "$work/deb" "$work/kernel.deb" >/dev/null

# The picture libraries are built already, unless a case removes the mark.
mkdir "$work/deps"
touch "$work/deps/built-from-bookworm"
# So is the window font.
mkdir "$work/fonts"
echo font > "$work/fonts/wqy-zenhei-sharp-tight.ttf"

failed=0
run() { # name, env..., expected rc test
  local name="$1" expect="$2"; shift 2
  : > "$work/calls"
  env -u KAVREL_MACHINE PATH="$work/bin:$PATH" CALLS="$work/calls" SETUP_RETRY_PAUSE=0 SETUP_DEPS_DIR="$work/deps" \
    SETUP_FONTS_DIR="$work/fonts" SETUP_VM_DIR="$work/vm" KERNEL_DEB="$work/kernel.deb" SETUP_I386_LOADER=/bin/true "$@" \
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

run "a package of both architectures at a newer amd64 version: the amd64 side is lined up to i386's" \
  '[ $rc = 0 ] && grep -q "^install .*--allow-downgrades .*libskew:amd64=1.0-3+deb12u6" "$work/calls"' \
  MODE=skewed
run "a kernel without 32-bit code: the machine's packages without recommends, its kernel under build/vm only" \
  '[ $rc = 0 ] && grep -q "^install .*--no-install-recommends qemu-system-x86$" "$work/calls" &&
   grep -q "^download .*linux-image-6.1.0-99-amd64" "$work/calls" && [ "$(cat "$work/vm/kernel/vmlinuz")" = kernel ] &&
   [ -f "$work/vm/kernel/lib/modules/6.1.0-99-amd64/kernel/fs/9p.ko" ] && [ ! -e "$work/vm/kernel.work" ]' \
  MODE=flaky SETUP_I386_LOADER="$work/bin/refused-loader"
run "a kernel without 32-bit code and everything in place: silent, no apt-get" \
  '[ $rc = 0 ] && [ ! -s "$work/out" ] && [ ! -s "$work/calls" ]' \
  MODE=broken ALL_INSTALLED=1 SETUP_I386_LOADER="$work/bin/refused-loader"

rm "$work/deps/built-from-bookworm"
run "the source packages: a private list, the release suite pinned, retried, then a clear stop" \
  '[ $rc != 0 ] && [ "$(grep -c " source libpng1.6/bookworm libjpeg-turbo/bookworm" "$work/calls")" = 3 ] &&
   ! grep " source " "$work/calls" | grep -qv "Dir::Etc::SourceList=$work/deps.work/" &&
   grep -q "apt-get source .* failed" "$work/out"' \
  MODE=no-sources ALL_INSTALLED=1

cases="$(grep -c '^run "' "$0")"
echo "$((cases - failed)) passed, $failed failed"
[ $failed = 0 ]
