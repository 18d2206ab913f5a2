#!/bin/bash
# Maps drive Q: of the test prefix to a scratch directory and runs the
# scanner's drive-root case on it.
set -e
. "$(dirname "${BASH_SOURCE[0]}")/scratch_drive.sh"
map_drive q
run_case "$1" '*ADriveRootIsWalkedAsTheRoot*'
