#!/bin/sh
# The Application event of a failed, a good and a refused run of the release. Wine keeps no event
# log: ReportEventW writes type and ID on its advapi channel, each line of the text on its eventlog
# channel (err:, warn: or trace: by type), on the process's Unix standard error.
#   events.sh ORVANDI_EXE SAMPLE_OCX
set -eu
app=/tmp/orvandi-events
rm -rf $app && mkdir -p $app/OCX && cp "$1" $app/ && cp "$2" $app/OCX/Buono.ocx && cp "$2" $app/OCX/Guasto.ocx
cd $app
run() {  # EXPECTED_EXIT ARGUMENTS...: the run's exit code checked, its standard error in err.txt
    expected=$1; shift; code=0
    WINEDEBUG=fixme+advapi,trace+eventlog /usr/lib/wine/wine64 Orvandi.exe "$@" 2>err.txt || code=$?
    [ "$code" = "$expected" ] || { echo "exit $code, not $expected: $*"; exit 1; }
}
has() {  # TEXT: in this run's event
    grep -aF -- "$1" err.txt >/dev/null || { echo "no '$1' in:"; grep -a ReportEvent err.txt; exit 1; }
}
run 67 /S /PACKAGE=Eventi  # 1603, as a Unix exit code
has ':ReportEventW (CAFE4242,0x0001,0x0000,0x00000643,00000000,0x0001,'
has 'err:eventlog:ReportEventW L"Orvandi 1.00, installazione del pacchetto Eventi: Totale 2, riusciti 1, non riusciti 1; durata '
has 'err:eventlog:ReportEventW L"Guasto.ocx: '
has '; regsvr32 5 (la funzione di registrazione del controllo non \00e8 riuscita); durata '
has 'err:eventlog:ReportEventW L"Registro: nessuno (/LOG non indicato)"'
rm OCX/Guasto.ocx
run 0 /S /PACKAGE=Eventi
has ':ReportEventW (CAFE4242,0x0004,0x0000,0x00000000,00000000,0x0001,'
has 'trace:eventlog:ReportEventW L"Orvandi 1.00, installazione del pacchetto Eventi: Totale 1, riusciti 1, non riusciti 0; durata '
run 87 /S /PACKAGE=Eventi /X
has ':ReportEventW (CAFE4242,0x0001,0x0000,0x00000057,00000000,0x0001,'
has 'err:eventlog:ReportEventW L"Orvandi 1.00: Riga di comando non valida, parola sconosciuta: /X: nulla \00e8 stato fatto'
echo "events: a failed, a good and a refused run"
