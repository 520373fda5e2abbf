#!/usr/bin/env bash
# Starts and stops the Wine session that the Windows tests run in: an Xvfb display and a fresh
# Wine prefix, both kept under the directory given as $2 (one per build tree).
#   wine-session.sh start DIR [KEEPER]  -- new prefix, booted, with its own display; KEEPER is
#                                          a Windows program left running for the whole session
#   wine-session.sh stop DIR    -- ends the wineserver and the display
set -euo pipefail
action=$1
dir=$2
mkdir -p "$dir"
export WINEPREFIX="$dir/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

stop() {
    if [ -d "$WINEPREFIX" ]; then wineserver -k 2>/dev/null || true; fi
    if [ -f "$dir/xvfb.pid" ]; then kill "$(cat "$dir/xvfb.pid")" 2>/dev/null || true; fi
    rm -f "$dir/xvfb.pid" "$dir/display"
}

case "$action" in
start)
    stop
    rm -rf "$WINEPREFIX"
    # -displayfd lets Xvfb pick a free display number and tell us which one it took.
    exec 3>"$dir/display.tmp"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$dir/xvfb.log" 2>&1 &
    echo $! >"$dir/xvfb.pid"
    exec 3>&-
    for _ in $(seq 100); do [ -s "$dir/display.tmp" ] && break; sleep 0.1; done
    echo ":$(tr -d '\n' <"$dir/display.tmp")" >"$dir/display"
    rm -f "$dir/display.tmp"
    export DISPLAY=$(cat "$dir/display")
    mkdir -p "$WINEPREFIX"
    wineserver -p >/dev/null 2>&1 </dev/null
    wine wineboot -i >/dev/null 2>&1
    # Without a window manager Wine waits about 2 s on every window close unless its windows are
    # unmanaged.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    if [ -n "${3:-}" ]; then
        # In a session of its own, so nothing that ends this script's process group ends it.
        setsid wine "$3" >/dev/null 2>&1 </dev/null &
    fi
    echo "Wine prefix $WINEPREFIX booted on display $DISPLAY"
    ;;
stop)
    stop
    ;;
*)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
