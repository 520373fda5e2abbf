#!/usr/bin/env python3
"""Writes the program's message table (a MESSAGE_RESOURCE_DATA, as mc.exe would compile it) for
the resource compiler: one Unicode entry "%1\\r\\n" for each event ID the program reports, so that
Event Viewer shows each event's own text. The IDs are the exit codes the unattended run reports
(platform/events_win.cpp), and 1 and 2, which an older startup script wrote with eventcreate under
the same source.

    message_table.py OUTPUT
"""
import struct
import sys

IDS = [0, 1, 2, 87, 1603, 1618, 1622, 3010]
TEXT = "%1\r\n"


def entry(text):
    """A MESSAGE_RESOURCE_ENTRY: length, flags (1: Unicode), the text with its NUL, padded to 4."""
    data = (text + "\0").encode("utf-16-le")
    data += b"\0" * (-(4 + len(data)) % 4)
    return struct.pack("<HH", 4 + len(data), 1) + data


def table(ids):
    """Blocks of consecutive IDs, each with its own run of entries after all the blocks."""
    blocks = []
    for number in sorted(ids):
        if blocks and blocks[-1][1] == number - 1:
            blocks[-1][1] = number
        else:
            blocks.append([number, number])
    entries = entry(TEXT)
    offset = 4 + 12 * len(blocks)
    header = struct.pack("<I", len(blocks))
    body = b""
    for low, high in blocks:
        header += struct.pack("<III", low, high, offset + len(body))
        body += entries * (high - low + 1)
    return header + body


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as out:
        out.write(table(IDS))
