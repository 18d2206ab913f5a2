#!/bin/bash
# Maps drive Q: of the test prefix to a scratch directory and runs the
# scanner's drive-root case on it; then drive R: to its folder r, which the
# link writer's case renames to take the drive away.
# Usage: drive_root_scan.sh tree_scanner_tests.exe link_writer_tests.exe
set -e
. "$(dirname "${BASH_SOURCE[0]}")/scratch_drive.sh"
map_drive q
run_case "$1" '*ADriveRootIsWalkedAsTheRoot*'
map_drive r r
run_case "$2" '*TheFilesOfADriveThatWentAway*'
