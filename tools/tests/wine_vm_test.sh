#!/usr/bin/env bash
# tools/wine-vm starts again a machine that panicked or hung, never one whose job failed, and
# gives up after three starts. Boots the real machine seven times (one to two minutes); a boot
# that panics of itself (one in ten or twenty) costs an extra start, which the checks allow.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
project=$(cd "$here/../.." && pwd)
# A machine left running for ever must not hold the test: each call has five minutes.
vm() { timeout 300 "$here/../wine-vm" "$@"; }
mkdir -p "$project/build"
# Inside the project: the machine sees it at the same path.
scratch=$(mktemp -d "$project/build/wine-vm-test.XXXXXX")
trap 'vm stop "$scratch/session"; rm -rf "$scratch"' EXIT
cd "$scratch"

# QEMU as the script runs it, counting its boots. The next boot fails as the file `fault` says,
# once: "panic" gives the kernel an init that exits at once, "freeze" a CPU that never starts.
# With "dead" no machine starts at all.
mkdir bin
cat >bin/qemu-system-x86_64 <<'EOF'
#!/usr/bin/env bash
d=$(dirname "$0")
PATH=${PATH#"$d":}
echo >>"$d/../boots"
args=("$@")
case $(cat "$d/../fault" 2>/dev/null) in
panic) for i in "${!args[@]}"; do [ "${args[i]}" != -append ] || args[i+1]+=" init=/bin/false"; done ;;
freeze) args+=(-S) ;;
dead) exit 1 ;;
esac
rm -f "$d/../fault"
exec qemu-system-x86_64 "${args[@]}"
EOF
chmod +x bin/qemu-system-x86_64
export PATH=$scratch/bin:$PATH

failed=0
expect() {  # what, then a command that must succeed
    if "${@:2}"; then echo "ok: $1"; else echo "FAILED: $1" >&2; failed=1; fi
}
said() { grep -qF -- "$1" err; }
attempt() {  # COMMAND...: its status in $status, its output in out, its error output in err
    status=0
    "$@" >out 2>err || status=$?
    cat err
}

# A job that writes a line to `runs` each time it starts, panics the machine on its first start
# when told to (the shared folder remembers), then ends with STATUS.
job() {  # STATUS [panic]
    rm -f runs panicked boots
    {
        echo "echo >>$scratch/runs"
        [ "${2:-}" != panic ] ||
            echo "[ -e $scratch/panicked ] || { touch $scratch/panicked; echo c >/proc/sysrq-trigger; }"
        echo "echo the job ran; exit $1"
    } >job.sh
}

echo panic >fault
attempt vm start session
expect "a session whose kernel panics at boot comes up on the next start" [ "$status" = 0 ]
expect "the panic and the second start are told" \
    said "wine-vm: the machine's kernel panicked (Kernel panic - not syncing: Attempted to kill init! exitcode=0x00000100); starting it again (2 of 3)"
expect "the session runs jobs" [ "$(vm sh session 'echo up')" = up ]
vm stop session

job 0 panic
attempt vm machine job.sh
expect "a job whose machine panics under it runs again and passes" \
    [ "$status" = 0 -a "$(cat out)" = "the job ran" -a "$(wc -l <runs)" = 2 ]
expect "the panic and the second start are told" \
    said "wine-vm: the machine's kernel panicked (Kernel panic - not syncing: sysrq triggered crash); starting it again (2 of 3)"

job 3
attempt vm machine job.sh
expect "a job that fails on its own ends with its status, run once" \
    [ "$status" = 3 -a "$(wc -l <runs)" = 1 ]

# Long enough for a clean boot's longest silence on a busy machine (4 s at a load of 8).
job 0
echo freeze >fault
ORVANDI_WINE_VM_STALL=15 attempt vm machine job.sh
expect "a machine that hangs is ended and started again" \
    [ "$status" = 0 -a "$(wc -l <runs)" = 1 ]
expect "the hang and the second start are told" \
    said "wine-vm: the machine showed no sign of life for 15 s; starting it again (2 of 3)"
expect "no machine is left running" eval '! pgrep -f "orvandi.job=$scratch/" >/dev/null'

job 0
echo dead >fault
attempt vm machine job.sh
expect "a machine that never starts is given up after three starts" \
    [ "$status" != 0 -a "$(wc -l <boots)" = 3 -a ! -e runs ]
expect "each start is told" said "wine-vm: the machine stopped before its job ended; starting it again (3 of 3)"
expect "so is the end" said "wine-vm: the machine stopped before its job ended; no start in 3 got further"
rm fault

exit "$failed"
