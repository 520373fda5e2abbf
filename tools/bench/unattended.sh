#!/usr/bin/env bash
# How long an unattended install takes, run by hand (not a test): the release Orvandi.exe /S over
# OCX folders of 1, 10 and 100 copies of the sample control (each inspected, copied into the
# system folder, registered and waited for), then over the same 100 again (all identical: nothing
# copied), against a batch script that runs the 32-bit regsvr32 on those 100 files one after
# another; then /CHECK of the package of 100 (every copy's version read, every class looked up).
# Each figure is one start of Wine from the test machine's shell, so Wine's own start is
# in every one; "cmd /c exit 0" shows that floor. Under Wine WoW64 in the test machine
# (tools/wine-vm), whose CPU is emulated: compare ratios, not milliseconds.
#
#   tools/bench/unattended.sh [OTHER_ORVANDI_EXE]
#
# With another Orvandi.exe (an earlier release, say), each Orvandi figure is taken for both, this
# build's first, over the same folders (the second /S over 100 runs on what the first left).
#
# Builds nothing: build first with cmake --build --preset win32 and --preset win32-tests.
# Works in build/win32-tests/bench-unattended, with a private session ended on exit.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
exe=$root/build/win32/ui/Orvandi.exe
sample=$root/build/win32-tests/ui/tests/sample_control.ocx
other=${1:+$(cd "$(dirname "$1")" && pwd)/$(basename "$1")}
for f in "$exe" "$sample" ${other:+"$other"}; do
    [ -f "$f" ] || { echo "missing $f: build the win32 and win32-tests presets first" >&2; exit 1; }
done
work=$root/build/win32-tests/bench-unattended
mkdir -p "$work"
"$root/tools/wine-vm" start "$work/wine" >/dev/null
trap '"$root/tools/wine-vm" stop "$work/wine"' EXIT

"$root/tools/wine-vm" sh "$work/wine" "exe='$exe' other='$other' sample='$sample'; $(cat <<'JOB'
wine=/usr/lib/wine/wine64
timed() {  # LABEL COMMAND...: runs the command, prints how long it took
    label=$1; shift
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1; code=$?
    echo "$label: $(( ($(date +%s%N) - start) / 1000000 )) ms (exit $code)"
}
for n in 1 10 100; do
    mkdir -p /tmp/c$n/OCX /tmp/o$n/OCX && cp "$exe" /tmp/c$n/Orvandi.exe
    [ -z "$other" ] || cp "$other" /tmp/o$n/Orvandi.exe
    for i in $(seq -w 1 $n); do
        cp "$sample" /tmp/c$n/OCX/c${n}_$i.ocx
        cp "$sample" /tmp/o$n/OCX/o${n}_$i.ocx
    done
done
$wine cmd /c exit 0 >/dev/null 2>&1  # the session's first start also starts Wine's services
timed "cmd /c exit 0 (Wine's start)" $wine cmd /c exit 0
for n in 1 10 100; do
    timed "Orvandi.exe /S, $n controls" $wine /tmp/c$n/Orvandi.exe /S /PACKAGE=c$n
    [ -z "$other" ] || timed "  the other Orvandi.exe" $wine /tmp/o$n/Orvandi.exe /S /PACKAGE=o$n
done
timed "Orvandi.exe /S, the same 100 again" $wine /tmp/c100/Orvandi.exe /S /PACKAGE=c100
[ -z "$other" ] || timed "  the other Orvandi.exe" $wine /tmp/o100/Orvandi.exe /S /PACKAGE=o100
timed "Orvandi.exe /CHECK of those 100" $wine /tmp/c100/Orvandi.exe /CHECK /PACKAGE=c100
# printf, not echo: dash's echo would read the "\r" of "\regsvr32" as a carriage return.
# The script's exit code is the number of registrations that failed.
{ printf '@echo off\r\nset failed=0\r\n'
  for i in $(seq -w 1 100); do
      printf 'C:\\windows\\syswow64\\regsvr32.exe /s "Z:\\tmp\\c100\\OCX\\c100_%s.ocx"\r\n' $i
      printf 'if errorlevel 1 set /a failed+=1\r\n'
  done
  printf 'exit /b %%failed%%\r\n'; } >/tmp/c100/script.bat
timed "script: regsvr32 on the 100, one after another" $wine cmd /c 'Z:\tmp\c100\script.bat'
JOB
)"
