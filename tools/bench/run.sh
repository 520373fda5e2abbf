#!/usr/bin/env bash
# Orvandi's benchmark, run by hand (not a test): prints a table of
#   (a) the release Orvandi.exe's size and what takes the room (sections; by library and archive
#       member, from the linker map ui/Orvandi.map),
#   (b) start to window shown: Orvandi.exe with an empty OCX folder vs minimal_window.exe,
#   (c) start to window shown with 32767 .ocx files in the OCX folder: Orvandi.exe vs bare_list.exe,
# timed by launch_timer.exe under Wine WoW64 in the test machine (tools/wine-vm), median of RUNS
# runs (after one warm-up round). All four programs are 32-bit; Orvandi.exe is the release build.
# The machine emulates its CPU in software: compare the ratios, not the milliseconds, with a
# computer's.
#
#   tools/bench/run.sh [RUNS]
#
# Builds nothing: build first with cmake --build --preset win32 and --preset win32-tests.
# Works in build/win32-tests/bench: the program folders and a private session, ended on exit.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
b32=$root/build/win32
bt=$root/build/win32-tests
runs=${1:-7}
entries=32767

for f in "$b32/ui/Orvandi.exe" "$bt/tools/bench/launch_timer.exe" \
    "$bt/tools/bench/minimal_window.exe" "$bt/tools/bench/bare_list.exe"; do
    [ -f "$f" ] || { echo "missing $f: build the win32 and win32-tests presets first" >&2; exit 1; }
done

work=$bt/bench
wine_dir=$work/wine

# --- (a) size of the release executable -----------------------------------------------------
# (Debian's default awk, mawk, has no strtonum.)
hex='function hex(s,  i, v) { v = 0; s = tolower(s)
    for (i = 1; i <= length(s); ++i) v = v * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1
    return v }
'
exe=$b32/ui/Orvandi.exe
echo "(a) release Orvandi.exe: $(stat -c %s "$exe") bytes ($exe)"
echo
echo "    section            bytes"
i686-w64-mingw32-objdump -h "$exe" |
    awk "$hex"'$2 ~ /^\./ { printf "    %-16s %7d\n", $2, hex($3) }' |
    sort -k2,2nr
echo
echo "    bytes by origin (from the linker map $b32/ui/Orvandi.map):"
awk "$hex$(cat "$here/map_summary.awk")" "$b32/ui/Orvandi.map"
echo

# --- folders for the start-up runs ----------------------------------------------------------
rm -rf "$work/empty" "$work/minimal" "$work/full" "$work/keeper"
mkdir -p "$work/empty/OCX" "$work/minimal" "$work/full/OCX" "$work/keeper"
cp "$b32/ui/Orvandi.exe" "$work/empty/"
cp "$bt/tools/bench/minimal_window.exe" "$work/minimal/"
cp "$b32/ui/Orvandi.exe" "$bt/tools/bench/bare_list.exe" "$work/full/"
cp "$bt/tools/bench/minimal_window.exe" "$work/keeper/"

# --- Wine session -----------------------------------------------------------------------------
# The keeper window holds Wine's desktop up between the programs measured.
"$root/tools/wine-vm" start "$wine_dir" "$work/keeper/minimal_window.exe" >/dev/null
trap '"$root/tools/wine-vm" stop "$wine_dir"' EXIT

# The programs run from the machine's own disk: a folder of 32767 files listed through the shared
# project folder would time the sharing, not the programs.
local_work=/tmp/bench
"$root/tools/wine-vm" sh "$wine_dir" "rm -rf $local_work && cp -r '$work' $local_work &&
    cd $local_work/full/OCX && seq -f 'OCX%05g.ocx' 1 $entries | xargs touch"
dos() { echo "Z:$local_work/$1" | tr / '\\'; }

# name -> "CLASS PROGRAM"
declare -A target=(
    [orvandi_empty]="OrvandiForm1 $(dos empty/Orvandi.exe)"
    [minimal]="BenchMinimalWindow $(dos minimal/minimal_window.exe)"
    [orvandi_full]="OrvandiForm1 $(dos full/Orvandi.exe)"
    [bare_list]="BenchBareList $(dos full/bare_list.exe)"
)
order=(orvandi_empty minimal orvandi_full bare_list)
declare -A times

load=$(cut -d' ' -f1-3 /proc/loadavg)
# Rounds interleave the programs so that a change in machine load hits all of them alike.
for round in $(seq 0 "$runs"); do
    for name in "${order[@]}"; do
        read -r class program <<<"${target[$name]}"
        read -r ms listed < <("$root/tools/wine-vm" run "$wine_dir" \
            "$bt/tools/bench/launch_timer.exe" "$class" "$program" </dev/null | tr -d '\r') || true
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

echo "Start to window shown, ms: median of $runs runs under Wine 10 WoW64 in the test machine" \
    "(32-bit builds, $(nproc) cores, load average before: $load)"
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
