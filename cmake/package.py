#!/usr/bin/env python3
"""Makes the release package: Orvandi-<version>-win32.zip (Orvandi.exe, the empty OCX folder it
lists its controls from, LEGGIMI.txt) in one top folder, and beside it the ZIP's SHA-256 in the
format `sha256sum -c` reads.

The same commit gives the same bytes wherever and whenever it is packaged: every member carries
the commit's time (SOURCE_DATE_EPOCH, or `git log -1 --format=%ct`), fixed permissions and no
owner, in a fixed order. With a certificate and its key, Orvandi.exe is Authenticode-signed
(SHA-256) with osslsigncode first, and time-stamped when a time-stamp server is given.

    package.py EXE LEGGIMI VERSION OUTDIR SOURCEDIR [CERT KEY [TIMESTAMP_URL]]
"""
import hashlib
import os
import pathlib
import subprocess
import sys
import time
import zipfile


def fail(message):
    sys.exit(f"package: {message}")


def public_key(*command):
    run = subprocess.run(["openssl", *command], capture_output=True)
    return run.stdout if run.returncode == 0 else None


def signed(exe, out, cert, key, timestamp=None):
    for path in (cert, key):
        if not os.access(path, os.R_OK):
            fail(f"cannot read {path}")
    certificate = public_key("x509", "-in", cert, "-noout", "-pubkey")
    if certificate is None:
        fail(f"{cert} is not a PEM certificate")
    private = public_key("pkey", "-in", key, "-pubout")
    if private is None:
        fail(f"{key} is not a PEM private key")
    if private != certificate:
        fail(f"the key {key} does not belong to the certificate {cert}")
    target = os.path.join(out, "Orvandi.exe")
    if os.path.exists(target):
        os.remove(target)  # osslsigncode will not write over a file
    command = ["osslsigncode", "sign", "-certs", cert, "-key", key, "-h", "sha256",
               "-n", "Orvandi", "-in", exe, "-out", target]
    if timestamp:
        command += ["-ts", timestamp]
    if subprocess.run(command, stdout=subprocess.DEVNULL).returncode != 0:
        fail(f"osslsigncode could not sign {exe} with {cert}")
    return target


def main(exe, readme, version, out, source, *signing):
    epoch = os.environ.get("SOURCE_DATE_EPOCH") or subprocess.run(
        ["git", "-C", source, "log", "-1", "--format=%ct"], capture_output=True, text=True).stdout
    if not epoch.strip():
        fail("no SOURCE_DATE_EPOCH, and no git commit to take the time from")
    stamp = time.gmtime(int(epoch))[:6]
    name = f"Orvandi-{version}-win32"
    package = os.path.join(out, f"{name}.zip")
    for old in (package, f"{package}.sha256"):  # never leave an earlier package to look current
        if os.path.exists(old):
            os.remove(old)
    if signing:
        exe = signed(exe, out, *signing)
    with zipfile.ZipFile(package, "w") as archive:
        for member, path in ((f"{name}/Orvandi.exe", exe), (f"{name}/LEGGIMI.txt", readme),
                             (f"{name}/OCX/", None)):
            info = zipfile.ZipInfo(member, stamp)
            info.create_system = 3  # Unix permissions below
            info.external_attr = (0o40755 << 16 | 0x10) if path is None else 0o644 << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, pathlib.Path(path).read_bytes() if path else b"")
    digest = hashlib.sha256(pathlib.Path(package).read_bytes()).hexdigest()
    pathlib.Path(f"{package}.sha256").write_text(f"{digest}  {name}.zip\n")
    print(f"{package}{' (signed)' if signing else ''}: sha256 {digest}")


if __name__ == "__main__":
    if len(sys.argv) not in (6, 8, 9):
        fail("usage: package.py EXE LEGGIMI VERSION OUTDIR SOURCEDIR [CERT KEY [TIMESTAMP_URL]]")
    main(*sys.argv[1:])
