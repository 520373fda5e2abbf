#!/usr/bin/env python3
"""Writes Orvandi's icon (orvandi.ico) from its text pixel map (orvandi_icon.txt).

The icon holds one image: 16 x 16 pixels, 4 bits per pixel, a 16-colour palette and a 1-bit
transparency mask. It is both the executable's icon and the window's.

    python3 make_icon.py orvandi_icon.txt orvandi.ico
"""
import struct
import sys

SIZE = 16


def read_map(path):
    palette, pixels, section = {}, [], None
    with open(path, encoding="ascii") as f:
        for raw in f:
            line = raw.strip()
            if not line or line.startswith("#"):
                continue
            if line in ("palette", "pixels"):
                section = line
            elif section == "palette":
                index, rgb = line.split()
                palette[int(index, 16)] = int(rgb, 16)
            elif section == "pixels":
                pixels.append(line)
            else:
                sys.exit(f"{path}: '{line}' is outside a section")
    if sorted(palette) != list(range(16)):
        sys.exit(f"{path}: the palette needs exactly the indices 0-F")
    if len(pixels) != SIZE or any(len(row) != SIZE for row in pixels):
        sys.exit(f"{path}: the picture must be {SIZE} rows of {SIZE} pixels")
    for row in pixels:
        for ch in row:
            if ch != "." and ch.upper() not in "0123456789ABCDEF":
                sys.exit(f"{path}: unknown pixel '{ch}'")
    return palette, pixels


def image_bytes(palette, pixels):
    colour_rows = len(pixels[0]) // 2  # two 4-bit pixels per byte; 8 bytes is already DWORD-aligned
    mask_stride = 4  # 16 one-bit pixels = 2 bytes, padded to a DWORD
    xor_size = SIZE * colour_rows
    and_size = SIZE * mask_stride
    # BITMAPINFOHEADER: the height counts the colour image and the mask together.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0, xor_size + and_size,
                         0, 0, 16, 0)
    colours = b"".join(struct.pack("<BBBB", rgb & 0xFF, (rgb >> 8) & 0xFF, rgb >> 16, 0)
                       for _, rgb in sorted(palette.items()))
    xor, mask = bytearray(), bytearray()
    for row in reversed(pixels):  # bottom-up, as bitmaps are stored
        indices = [0 if ch == "." else int(ch, 16) for ch in row]
        xor += bytes((indices[i] << 4) | indices[i + 1] for i in range(0, SIZE, 2))
        bits = 0
        for ch in row:
            bits = (bits << 1) | (ch == ".")
        mask += struct.pack(">H", bits) + b"\0\0"
    return header + colours + bytes(xor) + bytes(mask)


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make_icon.py PIXELMAP.txt OUT.ico")
    image = image_bytes(*read_map(sys.argv[1]))
    directory = struct.pack("<HHH", 0, 1, 1)  # reserved, type 1 = icon, one image
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    with open(sys.argv[2], "wb") as f:
        f.write(directory + entry + image)


if __name__ == "__main__":
    main()
