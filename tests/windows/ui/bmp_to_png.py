#!/usr/bin/env python3
"""Converts 24- or 32-bit uncompressed BMP files (what the Windows UI test writes for its
screenshots) into PNG files, with the standard library only.

Usage: bmp_to_png.py in.bmp out.png [in2.bmp out2.png ...]"""
import struct
import sys
import zlib


def read_bmp(path):
    data = open(path, "rb").read()
    if data[:2] != b"BM":
        raise ValueError(f"{path}: not a BMP file")
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height, _, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    if bits not in (24, 32) or compression not in (0, 3):
        raise ValueError(f"{path}: {bits}-bit compression {compression} is not supported")
    step = bits // 8
    stride = (width * step + 3) & ~3
    rows = []
    for y in range(abs(height)):
        src = y if height < 0 else abs(height) - 1 - y
        line = data[offset + src * stride: offset + src * stride + width * step]
        rgb = bytearray()
        for x in range(width):
            b, g, r = line[x * step: x * step + 3]
            rgb += bytes((r, g, b))
        rows.append(bytes(rgb))
    return width, abs(height), rows


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    raw = b"".join(b"\0" + row for row in rows)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    open(path, "wb").write(png)


def main(args):
    if len(args) % 2 != 0 or not args:
        sys.exit(__doc__)
    for source, target in zip(args[::2], args[1::2]):
        write_png(target, *read_bmp(source))


if __name__ == "__main__":
    main(sys.argv[1:])
