#!/usr/bin/env bash
# A release packaged with a throwaway certificate verifies, inside the ZIP, and still shows its
# window under WoW64. A wrong or missing key stops the packaging with a message naming the file.
#   signed_release.sh PROJECT_DIR SESSION_DIR
set -euo pipefail
work=$1/build/win32-signed  # inside the project, which the test machine shares
mkdir -p "$work"
cd "$work"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=Orvandi-test -keyout key.pem \
    -out cert.pem -addext extendedKeyUsage=codeSigning 2>/dev/null
openssl genpkey -algorithm RSA -out other.pem 2>/dev/null
package() {
    cmake --preset win32 -S "$1" -B build -DORVANDI_SIGN_CERT="$work/cert.pem" \
        -DORVANDI_SIGN_KEY="$work/$2" >/dev/null && cmake --build build --target release 2>&1 || true
}
package "$1" other.pem | grep -F "package: the key $work/other.pem does not belong to"
package "$1" missing.pem | grep -F "package: cannot read $work/missing.pem"
package "$1" key.pem | grep -F "(signed)"
(cd build && sha256sum -c Orvandi-1.00-win32.zip.sha256)
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$1" log -1 --format=%ct)}
commit=$(TZ=UTC date -d "@$((epoch - epoch % 2))" +%Y%m%d.%H%M%S)  # a ZIP keeps even seconds
TZ=UTC unzip -Z -T build/Orvandi-1.00-win32.zip | grep -c " $commit Orvandi-1.00-win32/" | grep -x 3
rm -rf zip && unzip -q -d zip build/Orvandi-1.00-win32.zip
osslsigncode verify -CAfile cert.pem -in zip/Orvandi-1.00-win32/Orvandi.exe | grep -x Succeeded
"$1/tools/wine-vm" sh "$2" "cd '$work/zip/Orvandi-1.00-win32' && { /usr/lib/wine/wine64 Orvandi.exe &
    timeout 120 sh -c 'until xdotool search --name ^TESSALUNE\$; do sleep 1; done' && kill \$!; }"
