#!/usr/bin/env python3
"""Marks a 32-bit Windows program to be copied to the paging file and run from there when it is
started from a network share or a removable drive (IMAGE_FILE_NET_RUN_FROM_SWAP and
IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP): should the network drop, the pages it has not read yet are
still there. GNU ld has no switch for these flags. The header checksum is written again after
them, with the algorithm Windows' CheckSumMappedFile uses; the one ld wrote is checked with it
first. With --check, changes nothing, and fails unless both flags are set and the checksum holds.

    run_from_swap.py [--check] EXE
"""
import array
import struct
import sys

RUN_FROM_SWAP = 0x0400 | 0x0800  # removable media, network


def checksum(image, at):
    words = array.array("H", image[:at] + b"\0\0\0\0" + image[at + 4:] + b"\0" * (len(image) % 2))
    if sys.byteorder != "little":
        words.byteswap()
    total = sum(words)
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(image)


def main(path, check=False):
    with open(path, "rb") as f:
        image = bytearray(f.read())
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        sys.exit(f"run_from_swap: {path} is no PE image")
    flags_at, sum_at = pe + 4 + 18, pe + 24 + 64
    written = struct.unpack_from("<I", image, sum_at)[0]
    if written not in (0, checksum(image, sum_at)):
        sys.exit(f"run_from_swap: {path} carries checksum {written:#x}, not the one computed here")
    flags = struct.unpack_from("<H", image, flags_at)[0]
    if check:
        if flags & RUN_FROM_SWAP != RUN_FROM_SWAP or written == 0:
            sys.exit(f"run_from_swap: {path} is not marked to run from the paging file")
        return
    struct.pack_into("<H", image, flags_at, flags | RUN_FROM_SWAP)
    struct.pack_into("<I", image, sum_at, checksum(image, sum_at))
    with open(path, "wb") as f:
        f.write(image)


if __name__ == "__main__":
    if len(sys.argv) not in (2, 3) or sys.argv[1:-1] not in ([], ["--check"]):
        sys.exit("usage: run_from_swap.py [--check] EXE")
    main(sys.argv[-1], len(sys.argv) == 3)
