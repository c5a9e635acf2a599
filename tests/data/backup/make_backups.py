#!/usr/bin/env python3
"""Writes the reference backup files of the innings table, independently of the C++ code.

Layout: "ZVFM", u16 format version, u32 field count, per field a u32 length + name bytes,
u32 row count, per row a mask byte (1: Pts1 present, 2: Pts2 present) and the present
values as i32, then a CRC-32 of everything before. All integers big-endian.
"""
import struct
import zlib
from pathlib import Path

HERE = Path(__file__).resolve().parent


def body(rows, version=1, fields=(b"Pts1", b"Pts2"), count=None, masks=None):
    out = b"ZVFM" + struct.pack(">HI", version, len(fields))
    for name in fields:
        out += struct.pack(">I", len(name)) + name
    out += struct.pack(">I", len(rows) if count is None else count)
    for i, (p1, p2) in enumerate(rows):
        mask = (1 if p1 is not None else 0) | (2 if p2 is not None else 0)
        if masks is not None:
            mask = masks[i]
        out += struct.pack(">B", mask)
        for v in (p1, p2):
            if v is not None:
                out += struct.pack(">i", v)
    return out


def sealed(data):
    return data + struct.pack(">I", zlib.crc32(data) & 0xFFFFFFFF)


def write(name, data):
    (HERE / name).write_bytes(data)


two = [(7, 0), (3, None)]
write("two_innings.bin", sealed(body(two)))
write("no_row.bin", sealed(body([])))
write("extremes.bin", sealed(body([(None, None), (-2147483648, 2147483647), (None, 12)])))

# Files that must be refused.
good = sealed(body(two))
write("bad_magic.bin", b"ZVFX" + good[4:])
damaged = bytearray(good)
damaged[-6] ^= 0x01
write("bad_checksum.bin", bytes(damaged))
write("truncated.bin", good[:-9])
write("bad_version.bin", sealed(body(two, version=2)))
write("other_structure.bin", sealed(body(two, fields=(b"Pts1", b"Pts3"))))
write("three_fields.bin", sealed(body(two, fields=(b"Pts1", b"Pts2", b"Pts3"))))
write("huge_row_count.bin", sealed(body(two, count=0xFFFFFFFF)))
write("bad_mask.bin", sealed(body(two, masks=[3, 4])))
write("trailing_bytes.bin", sealed(body(two) + b"\x00"))
write("empty.bin", b"")
