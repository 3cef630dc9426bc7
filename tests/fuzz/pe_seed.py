#!/usr/bin/env python3
"""Writes a small 32-bit program, as a linker lays one out (headers, .text,
.rsrc with one icon, .reloc), as a seed for pe_image_fuzz.

    pe_seed.py OUT
"""
import struct
import sys

FA, SA = 0x200, 0x1000


def main(out):
    rsrc = bytearray(0x60)
    struct.pack_into("<IIHHHH", rsrc, 0, 0, 0, 0, 0, 0, 1)      # root: one numbered type
    struct.pack_into("<II", rsrc, 16, 3, 0x80000018)            # RT_ICON -> names
    struct.pack_into("<IIHHHH", rsrc, 0x18, 0, 0, 0, 0, 0, 1)
    struct.pack_into("<II", rsrc, 0x28, 1, 0x80000030)          # 1 -> languages
    struct.pack_into("<IIHHHH", rsrc, 0x30, 0, 0, 0, 0, 0, 1)
    struct.pack_into("<II", rsrc, 0x40, 0, 0x48)                # language 0 -> data entry
    struct.pack_into("<IIII", rsrc, 0x48, 0x2058, 8, 0, 0)
    rsrc += b"icondata"
    reloc = struct.pack("<IIHH", 0x1000, 12, 0x3004, 0)
    sections = [(b".text", b"\xc3" * 16, 0x60000020), (b".rsrc", bytes(rsrc), 0xC0000040),
                (b".reloc", reloc, 0x42000040)]
    head = bytearray(0x400)
    head[0:2] = b"MZ"
    struct.pack_into("<I", head, 0x3C, 0x80)
    head[0x80:0x84] = b"PE\0\0"
    struct.pack_into("<HHIIIHH", head, 0x84, 0x14C, len(sections), 0, 0, 0, 224, 0x0102)
    opt = 0x98
    struct.pack_into("<H", head, opt, 0x10B)
    struct.pack_into("<I", head, opt + 16, 0x1000)
    struct.pack_into("<II", head, opt + 32, SA, FA)
    struct.pack_into("<II", head, opt + 56, 0x4000 + SA, 0x400)
    struct.pack_into("<I", head, opt + 92, 16)
    struct.pack_into("<II", head, opt + 96 + 16, 0x2000, len(rsrc))
    struct.pack_into("<II", head, opt + 96 + 40, 0x3000, len(reloc))
    body = b""
    for i, (name, data, flags) in enumerate(sections):
        h = opt + 224 + 40 * i
        raw = 0x400 + len(body)
        struct.pack_into("<8sIIII12xI", head, h, name, len(data), 0x1000 * (i + 1), FA, raw, flags)
        body += data + bytes(FA - len(data))
    open(out, "wb").write(bytes(head) + body)


if __name__ == "__main__":
    main(sys.argv[1])
