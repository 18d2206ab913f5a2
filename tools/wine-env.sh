# Sourced by the run scripts: which Wine runs the programs, and its prefix.
# Debian's 32-bit Wine needs a kernel that runs 32-bit Linux programs. Where
# the kernel runs 64-bit programs only, tools/setup builds Wine 8 from
# Debian's source with both Windows architectures into KAVREL_WINE_DIR; that
# Wine runs the same 32-bit Windows programs inside a 64-bit process, in a
# 64-bit prefix.
repo_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
KAVREL_WINE_DIR="${KAVREL_WINE_DIR:-/opt/kavrel-wine}"

host_runs_32bit_programs() { /lib/ld-linux.so.2 --help >/dev/null 2>&1; }

if host_runs_32bit_programs; then
  export WINEARCH=win32
else
  export PATH="$KAVREL_WINE_DIR/bin:$PATH" WINEARCH=win64
fi
export WINEPREFIX="${WINEPREFIX:-$repo_dir/build/wineprefix}"
