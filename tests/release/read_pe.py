#!/usr/bin/python3
"""Reads back what a built setup carries, with pefile (Debian's python3-pefile)
and zlib, independently of the tools that wrote it. Prints one fact per line:

  machine i386                         the processor of the headers (i386, amd64)
  format PE32                          PE32, or PE32+ for a 64-bit image
  subsystem windows-gui                the subsystem the program asks for
  manifest <sha256>                    SHA-256 of the application manifest (RT_MANIFEST 1)
  version 3.1.0.2                      numeric file version
  product-version 3.1.0.2              numeric product version
  string FileDescription=...           each string of the version resource (UTF-8)
  translation 0804 04b0                language and code page of the strings
  icon-group 1 48,32,16                each icon group and the sizes of its icons
  item TXTNAME/FILETXT6 272 <sha256> <crc32> 2052
                                       each payload item: type/name (strings), size,
                                       SHA-256, CRC-32 (zlib) and language; an item
                                       in a compressed block as Debian's zstd command
                                       decodes it
  checksum FILETXT6 TXTNAME <crc32> 272
                                       each line of the checksum table (RT_RCDATA 7001),
                                       without the place of an item in a block
  block 7002 <decoded size> <items>    each compressed block (RT_RCDATA 7002 on): its
                                       header checked, its frame decoded by zstd
  resource-order sorted|unsorted       whether every directory lists its named
                                       entries in ascending order of their UTF-16
                                       units, as the loader's binary search needs
  signed yes|no                        whether the file carries a certificate table
"""
import hashlib
import struct
import subprocess
import sys
import zlib

import pefile

RT_RCDATA = 10
CHECKSUM_TABLE_ID = 7001
FIRST_BLOCK_ID = 7002
BLOCK_HEADER = struct.Struct("<4sHBBQQ")  # "TXBK", header size, codec, 0, decoded size, frame size


def decode_block(blob):
    """The decoded bytes of a block resource, by the zstd command; raises
    ValueError when its header is not as documented."""
    magic, header_size, codec, zero, decoded, frame = BLOCK_HEADER.unpack_from(blob, 0)
    if (magic, header_size, codec, zero) != (b"TXBK", BLOCK_HEADER.size, 1, 0) or frame != len(blob) - header_size:
        raise ValueError("a block header other than documented")
    out = subprocess.run(["zstd", "-d", "-c"], input=blob[header_size:], stdout=subprocess.PIPE, check=True).stdout
    if len(out) != decoded:
        raise ValueError("decodes to %d bytes, its header says %d" % (len(out), decoded))
    return out


def version_text(ms, ls):
    return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


def named_in_order(directory):
    names = [str(e.name) for e in directory.entries if e.name is not None]
    keys = [[ord(c) for c in n] for n in names]
    if keys != sorted(keys):
        return False
    return all(named_in_order(e.directory) for e in directory.entries if hasattr(e, "directory"))


MACHINES = {0x14C: "i386", 0x8664: "amd64"}
SUBSYSTEMS = {2: "windows-gui", 3: "windows-console"}


def facts(path):
    """The facts of the PE file at path, one text line each."""
    pe = pefile.PE(path)
    out = []
    machine = pe.FILE_HEADER.Machine
    out.append("machine " + MACHINES.get(machine, "0x%04x" % machine))
    out.append("format " + ("PE32+" if pe.OPTIONAL_HEADER.Magic == 0x20B else "PE32"))
    subsystem = pe.OPTIONAL_HEADER.Subsystem
    out.append("subsystem " + SUBSYSTEMS.get(subsystem, str(subsystem)))
    fixed = pe.VS_FIXEDFILEINFO[0]
    out.append("version " + version_text(fixed.FileVersionMS, fixed.FileVersionLS))
    out.append("product-version " + version_text(fixed.ProductVersionMS, fixed.ProductVersionLS))
    for info in pe.FileInfo[0]:
        for table in getattr(info, "StringTable", []):
            for key, value in table.entries.items():
                out.append("string %s=%s" % (key.decode(), value.decode()))
        for var in getattr(info, "Var", []):
            for key, value in var.entry.items():
                if key in (b"Translation", "Translation"):
                    out.append("translation " + value.replace("0x", ""))

    blocks, table = {}, []
    for rtype in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for rname in rtype.directory.entries:
            for lang in rname.directory.entries:
                rva, size = lang.data.struct.OffsetToData, lang.data.struct.Size
                blob = pe.get_data(rva, size)
                if rtype.name is not None:
                    out.append("item %s/%s %d %s %08x %d" % (rtype.name, rname.name, size,
                                                            hashlib.sha256(blob).hexdigest(),
                                                            zlib.crc32(blob), lang.id))
                elif rtype.id == pefile.RESOURCE_TYPE["RT_MANIFEST"] and rname.id == 1:
                    out.append("manifest " + hashlib.sha256(blob).hexdigest())
                elif rtype.id == RT_RCDATA and rname.name is None and rname.id == CHECKSUM_TABLE_ID:
                    for line in blob.decode("ascii").split("\r\n"):
                        if line:
                            out.append("checksum " + " ".join(line.split(" ")[:4]))
                            table.append(line.split(" "))
                elif rtype.id == RT_RCDATA and rname.name is None and rname.id >= FIRST_BLOCK_ID:
                    blocks[rname.id] = (blob, lang.id)
                elif rtype.id == pefile.RESOURCE_TYPE["RT_GROUP_ICON"]:
                    _, _, count = struct.unpack_from("<HHH", blob, 0)
                    sizes = [str(blob[6 + 14 * i] or 256) for i in range(count)]  # GRPICONDIRENTRY.bWidth
                    out.append("icon-group %s %s" % (rname.id if rname.name is None else rname.name, ",".join(sizes)))
    for block_id, (blob, lang) in sorted(blocks.items()):
        data = decode_block(blob)
        members = [l for l in table if len(l) == 6 and int(l[4]) == block_id]
        out.append("block %d %d %d" % (block_id, len(data), len(members)))
        for name, rtype, _crc, size, _block, offset in members:
            item = data[int(offset):int(offset) + int(size)]
            out.append("item %s/%s %d %s %08x %d" % (rtype, name, len(item), hashlib.sha256(item).hexdigest(),
                                                    zlib.crc32(item), lang))
    out.append("resource-order " + ("sorted" if named_in_order(pe.DIRECTORY_ENTRY_RESOURCE) else "unsorted"))
    security = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]]
    out.append("signed " + ("yes" if security.Size > 0 else "no"))
    return out


if __name__ == "__main__":
    sys.stdout.write("\n".join(facts(sys.argv[1])) + "\n")
