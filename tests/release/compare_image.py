#!/usr/bin/python3
"""Checks, with pefile (Debian's python3-pefile) and independently of the
writer, that a setup is the prebuilt program with a release added and a
valid image:

  compare_image.py PROGRAM.exe SETUP.exe

- the header's checksum is that of the file;
- every section but the resources holds the program's bytes; those after
  the resources moved as a whole, and the data directory follows them;
- the image size covers the last section; sections lie at offsets of the
  file that the loader can map (file alignment = section alignment);
- the relocations, imports, entry point and the other header fields are the
  program's;
- every resource of the program is in the setup, byte for byte, beside
  the release's (language 2052).
Prints each fault and exits 1, or prints "image ok".
"""
import sys

import pefile

faults = []


def fault(text):
    faults.append(text)


def leaves(pe):
    out = {}
    if not hasattr(pe, "DIRECTORY_ENTRY_RESOURCE"):
        return out
    for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for n in t.directory.entries:
            for lang in n.directory.entries:
                key = (str(t.name) if t.name is not None else t.id,
                       str(n.name) if n.name is not None else n.id, lang.id)
                data = lang.data.struct
                out[key] = pe.get_data(data.OffsetToData, data.Size)
    return out


def relocations(pe, delta_of):
    out = []
    for block in getattr(pe, "DIRECTORY_ENTRY_BASERELOC", []):
        for e in block.entries:
            out.append((e.rva, e.type))
    return out


def imports(pe):
    return [(d.dll, [(i.name, i.ordinal, i.address) for i in d.imports])
            for d in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])]


def main(program_path, setup_path):
    program = pefile.PE(program_path)
    setup = pefile.PE(setup_path)
    size = len(setup.__data__)
    oh, ph = setup.OPTIONAL_HEADER, program.OPTIONAL_HEADER

    if oh.CheckSum != setup.generate_checksum():
        fault("checksum %08x, the file's is %08x" % (oh.CheckSum, setup.generate_checksum()))
    for field in ("Magic", "AddressOfEntryPoint", "ImageBase", "SectionAlignment", "FileAlignment",
                  "Subsystem", "DllCharacteristics", "SizeOfHeaders", "SizeOfStackReserve",
                  "MajorSubsystemVersion", "MinorSubsystemVersion", "SizeOfCode"):
        if getattr(oh, field) != getattr(ph, field):
            fault("%s is %#x, the program's %#x" % (field, getattr(oh, field), getattr(ph, field)))
    if setup.FILE_HEADER.Characteristics != program.FILE_HEADER.Characteristics:
        fault("the file header's characteristics changed")
    if oh.FileAlignment != oh.SectionAlignment:
        fault("file alignment %#x differs from the section alignment %#x: the loader reads the image instead "
              "of mapping it" % (oh.FileAlignment, oh.SectionAlignment))

    # Sections: the program's, the resources rebuilt, what followed them moved.
    names = [s.Name.rstrip(b"\0") for s in setup.sections]
    pnames = [s.Name.rstrip(b"\0") for s in program.sections]
    if b".rsrc" not in names:
        fault("no .rsrc section")
        return
    r = names.index(b".rsrc")
    expected = [n for n in pnames if n != b".rsrc"]
    expected.insert(r, b".rsrc")
    if names != expected:
        fault("sections %s, expected %s" % (names, expected))
        return
    moved = {}
    for s in setup.sections:
        name = s.Name.rstrip(b"\0")
        if s.VirtualAddress % oh.SectionAlignment or s.PointerToRawData % oh.FileAlignment:
            fault("section %s is not aligned" % name)
        if name == b".rsrc":
            rs = s
            continue
        ps = program.sections[pnames.index(name)]
        if s.get_data() != ps.get_data() or s.Misc_VirtualSize != ps.Misc_VirtualSize:
            fault("section %s does not hold the program's bytes" % name)
        if s.Characteristics != ps.Characteristics:
            fault("section %s has other characteristics" % name)
        moved[name] = s.VirtualAddress - ps.VirtualAddress
        if moved[name] and s.VirtualAddress < rs.VirtualAddress:
            fault("section %s before the resources moved" % name)
    if rs.Characteristics & 0x80000000:
        fault("the resources are writable")
    for a, b in zip(setup.sections, setup.sections[1:]):
        if b.VirtualAddress < a.VirtualAddress + max(a.Misc_VirtualSize, a.SizeOfRawData):
            fault("sections %s and %s overlap" % (a.Name, b.Name))
        if b.SizeOfRawData and b.PointerToRawData < a.PointerToRawData + a.SizeOfRawData:
            fault("the file data of %s and %s overlap" % (a.Name, b.Name))
    last = setup.sections[-1]
    end = last.VirtualAddress + max(last.Misc_VirtualSize, last.SizeOfRawData)
    if oh.SizeOfImage != (end + oh.SectionAlignment - 1) // oh.SectionAlignment * oh.SectionAlignment:
        fault("image size %#x does not end with the last section (%#x)" % (oh.SizeOfImage, end))
    file_end = max(s.PointerToRawData + s.SizeOfRawData for s in setup.sections)
    if file_end != size:
        fault("the file is %d bytes, its sections end at %d" % (size, file_end))

    # Data directory: the resources fill their section; the relocations moved with theirs.
    for i, (d, pd) in enumerate(zip(oh.DATA_DIRECTORY, ph.DATA_DIRECTORY)):
        if i == 2:
            if d.VirtualAddress != rs.VirtualAddress or d.Size != rs.Misc_VirtualSize:
                fault("the resource directory entry does not name the .rsrc section")
            continue
        delta = 0
        if i == 5 and d.Size:
            delta = next(moved[s.Name.rstrip(b"\0")] for s in setup.sections
                         if s.VirtualAddress <= d.VirtualAddress < s.VirtualAddress + s.Misc_VirtualSize)
        if (d.VirtualAddress - delta, d.Size) != (pd.VirtualAddress, pd.Size):
            fault("data directory entry %d changed" % i)
    if relocations(setup, moved) != relocations(program, moved):
        fault("the relocations differ from the program's")
    if imports(setup) != imports(program):
        fault("the imports differ from the program's")

    # The program's own resources, byte for byte.
    ours, theirs = leaves(setup), leaves(program)
    if not theirs:
        fault("the program has no resources to compare")
    for key, data in theirs.items():
        if ours.get(key) != data:
            fault("resource %s/%s/%s of the program is not in the setup as it was" % key)

    for f in faults:
        print("FAULT: " + f)
    if not faults:
        print("image ok: %d sections, %d resources (%d of the program), %d bytes"
              % (len(setup.sections), len(ours), len(theirs), size))
    return 1 if faults else 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2]))
