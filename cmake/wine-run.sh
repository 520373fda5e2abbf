#!/usr/bin/env bash
# CTest's emulator for the Windows tests: runs a program under 64-bit Wine in the session that
# wine-session.sh started for this build tree ($1).
set -euo pipefail
dir=$1
shift
export WINEPREFIX="$dir/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export DISPLAY=$(cat "$dir/display")
exec wine "$@"
