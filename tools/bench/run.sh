#!/usr/bin/env bash
# Orvandi's benchmark, run by hand (not a test): prints a table of
#   (a) the release Orvandi.exe's size and what takes the room (sections; by library and archive
#       member when the win32 build wrote ui/Orvandi.map, else the largest symbols),
#   (b) start to window shown: Orvandi.exe with an empty OCX folder vs minimal_window.exe,
#   (c) start to window shown with 32767 .ocx files in the OCX folder: Orvandi.exe vs bare_list.exe,
# timed by launch_timer.exe under 64-bit Wine, median of RUNS runs (after one warm-up round).
#
#   tools/bench/run.sh WIN64_BUILD_DIR [WIN32_BUILD_DIR] [RUNS]
#
# Builds nothing: build first, e.g. cmake --build --preset win64 (and --preset win32 for (a)).
# Works in WIN64_BUILD_DIR/bench: the program folders and a private Wine session (own prefix and
# Xvfb display), ended on exit.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
b64=$(cd "${1:?usage: run.sh WIN64_BUILD_DIR [WIN32_BUILD_DIR] [RUNS]}" && pwd)
b32=${2:-}
runs=${3:-7}
entries=32767

for f in ui/Orvandi.exe tools/bench/launch_timer.exe tools/bench/minimal_window.exe \
    tools/bench/bare_list.exe; do
    [ -f "$b64/$f" ] || { echo "missing $b64/$f: build the win64 preset first" >&2; exit 1; }
done

work=$b64/bench
wine_dir=$work/wine

# --- (a) size of the release executable -----------------------------------------------------
# (Debian's default awk, mawk, has no strtonum.)
hex='function hex(s,  i, v) { v = 0; s = tolower(s)
    for (i = 1; i <= length(s); ++i) v = v * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1
    return v }
'
if [ -n "$b32" ]; then
    exe=$b32/ui/Orvandi.exe
    [ -f "$exe" ] || { echo "missing $exe: build the win32 preset first" >&2; exit 1; }
    echo "(a) release Orvandi.exe: $(stat -c %s "$exe") bytes ($exe)"
    echo
    echo "    section            bytes"
    i686-w64-mingw32-objdump -h "$exe" |
        awk "$hex"'$2 ~ /^\./ { printf "    %-16s %7d\n", $2, hex($3) }' |
        sort -k2,2nr
    echo
    if [ -f "$b32/ui/Orvandi.map" ]; then
        echo "    bytes by origin (from the linker map $b32/ui/Orvandi.map):"
        awk "$hex$(cat "$here/map_summary.awk")" "$b32/ui/Orvandi.map"
    elif [ -n "$(i686-w64-mingw32-nm "$exe" 2>/dev/null | head -1)" ]; then
        echo "    largest symbols (no linker map; link with -Wl,-Map=Orvandi.map for a breakdown):"
        i686-w64-mingw32-nm --size-sort -S -C "$exe" | awk "$hex"'$3 ~ /^[TtWw]$/ && $4 !~ /^\./ {
            name = $0; sub(/^[^ ]+ [^ ]+ [^ ]+ /, "", name)
            top[++n] = sprintf("    %8d  %s", hex($2), substr(name, 1, 100)) }
            END { for (i = n; i > n - 12 && i > 0; --i) print top[i] }'
    else
        echo "    (stripped and no linker map: link with -Wl,-Map=Orvandi.map for a breakdown)"
    fi
    echo
fi

# --- folders for the start-up runs ----------------------------------------------------------
rm -rf "$work/empty" "$work/minimal" "$work/full" "$work/keeper"
mkdir -p "$work/empty/OCX" "$work/minimal" "$work/full/OCX" "$work/keeper"
cp "$b64/ui/Orvandi.exe" "$work/empty/"
cp "$b64/tools/bench/minimal_window.exe" "$work/minimal/"
cp "$b64/ui/Orvandi.exe" "$b64/tools/bench/bare_list.exe" "$work/full/"
cp "$b64/tools/bench/minimal_window.exe" "$work/keeper/"
(cd "$work/full/OCX" && seq -f 'OCX%05g.ocx' 1 "$entries" | xargs touch)

# --- Wine session -----------------------------------------------------------------------------
# Its output goes to a log: wineserver stays running and would hold our stdout open.
"$root/cmake/wine-session.sh" start "$wine_dir" >"$work/session.log" 2>&1 </dev/null
keeper=
finish() {
    "$root/cmake/wine-session.sh" stop "$wine_dir" >/dev/null 2>&1 || true
    if [ -n "$keeper" ]; then wait "$keeper" 2>/dev/null || true; fi
}
trap finish EXIT
# Wine ends its desktop process when the last program on it exits, and starting it again can
# stall for 10 s (err:ole:start_rpcss): a window kept open for the whole run avoids that.
"$root/cmake/wine-run.sh" "$wine_dir" "$work/keeper/minimal_window.exe" >/dev/null 2>&1 </dev/null &
keeper=$!

dos() { echo "Z:$1" | tr / '\\'; }

# name -> "CLASS PROGRAM"
declare -A target=(
    [orvandi_empty]="OrvandiForm1 $(dos "$work/empty/Orvandi.exe")"
    [minimal]="BenchMinimalWindow $(dos "$work/minimal/minimal_window.exe")"
    [orvandi_full]="OrvandiForm1 $(dos "$work/full/Orvandi.exe")"
    [bare_list]="BenchBareList $(dos "$work/full/bare_list.exe")"
)
order=(orvandi_empty minimal orvandi_full bare_list)
declare -A times

load=$(cut -d' ' -f1-3 /proc/loadavg)
# Rounds interleave the programs so that a change in machine load hits all of them alike.
for round in $(seq 0 "$runs"); do
    for name in "${order[@]}"; do
        read -r class program <<<"${target[$name]}"
        read -r ms listed < <("$root/cmake/wine-run.sh" "$wine_dir" \
            "$b64/tools/bench/launch_timer.exe" "$class" "$program" </dev/null | tr -d '\r') || true
        [ -n "${ms:-}" ] || { echo "launch_timer failed for $name" >&2; exit 1; }
        if [ "$name" = orvandi_full ] || [ "$name" = bare_list ]; then
            [ "${listed:-}" = "$entries" ] ||
                { echo "$name listed ${listed:-no} entries, not $entries" >&2; exit 1; }
        fi
        [ "$round" -eq 0 ] && continue  # warm-up
        times[$name]="${times[$name]:-} $ms"
    done
done

median() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{ v[NR] = $1 } END {
    print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

wine_version=$(wine --version 2>/dev/null | head -1)
echo "Start to window shown, ms: median of $runs runs under $wine_version (x86_64 builds," \
    "$(nproc) cores, load average before: $load)"
echo
printf '%-34s %12s   %-16s %12s   %7s\n' case Orvandi.exe reference "reference ms" ratio
row() {
    local label=$1 mine=$2 ref=$3 refname=$4
    local a b
    a=$(median "${times[$mine]}")
    b=$(median "${times[$ref]}")
    printf '%-34s %12.1f   %-16s %12.1f   %7.2f\n' "$label" "$a" "$refname" "$b" \
        "$(awk -v a="$a" -v b="$b" 'BEGIN { print a / b }')"
}
row "(b) empty OCX folder" orvandi_empty minimal minimal_window
row "(c) $entries .ocx in OCX folder" orvandi_full bare_list bare_list
echo
echo "runs (ms):"
for name in "${order[@]}"; do printf '  %-14s%s\n' "$name" "${times[$name]}"; done
