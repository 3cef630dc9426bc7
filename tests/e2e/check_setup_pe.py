#!/usr/bin/python3
"""Checks a built setup's own bytes against what it was made from, without
running it: the processor and format of its headers, the GUI subsystem, the
application manifest, the version resource and icon made from the control
file, every item of the release byte for byte under its upper-case type and
name, and the checksum table. Prints one "FAIL: ..." line per difference.

  check_setup_pe.py SETUP.exe RELEASE_DIR APP_MANIFEST BITS

BITS is 32 for the setup itself and 64 for the build the tests run under
wine64; the facts are read by tests/release/read_pe.py.
"""
import hashlib
import os
import re
import sys
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "release"))
import read_pe  # noqa: E402

WORD_SIZES = {"32": ("i386", "PE32", "x86"), "64": ("amd64", "PE32+", "amd64")}


def ini_values(text):
    """(section, key) in lower case -> value, of a GBK control file."""
    values, section = {}, ""
    for line in text.decode("gbk").splitlines():
        line = line.strip()
        if line.startswith("[") and line.endswith("]"):
            section = line[1:-1].lower()
        elif "=" in line:
            key, value = line.split("=", 1)
            values.setdefault((section, key.strip().lower()), value)
    return values


def serial_version(serial):
    """The file version of [Form] Serial: two digits a part from the left."""
    if not serial.isdigit() or len(serial) > 8:
        return "0.0.0.0"
    padded = ("0" if len(serial) % 2 else "") + serial
    parts = [int(padded[i:i + 2]) for i in range(0, len(padded), 2)]
    return ".".join(str(p) for p in parts + [0] * (4 - len(parts)))


def expected_facts(release, manifest_path, bits):
    machine, fmt, processor = WORD_SIZES[bits]
    manifest = open(manifest_path, "rb").read()
    named = re.search(rb'<assemblyIdentity type="win32" name="[^"]*" version="[^"]*" processorArchitecture="([^"]*)"',
                      manifest)
    problems = [] if named and named.group(1).decode() == processor else [
        "%s does not name the processor %s" % (manifest_path, processor)]
    ini = ini_values(open(os.path.join(release, "Setup.ini"), "rb").read())
    caption, version = ini.get(("form", "caption"), ""), ini.get(("form", "version"), "")
    number = serial_version(ini.get(("form", "serial"), ""))
    facts = ["machine " + machine, "format " + fmt, "subsystem windows-gui",
             "manifest " + hashlib.sha256(manifest).hexdigest(),
             "version " + number, "product-version " + number, "translation 0804 04b0",
             "string CompanyName=Velmora", "string ProductName=Quorvix",
             "string FileDescription=%s 安装程序" % caption,
             "string FileVersion=" + version, "string ProductVersion=" + version,
             "string OriginalFilename=TavixSetup.exe", "icon-group 1 48,32,16",
             "resource-order sorted", "signed no"]
    items, checksums = [], []
    lines = open(os.path.join(release, "Setup.log"), "rb").read().decode("gbk").split("\r\n")
    for line in filter(None, lines):
        name, rtype, path = line.split(" ", 2)
        data = open(os.path.join(release, *path.split("\\")), "rb").read()
        crc = zlib.crc32(data)
        items.append("item %s/%s %d %s %08x 2052" % (rtype.upper(), name.upper(), len(data),
                                                      hashlib.sha256(data).hexdigest(), crc))
        checksums.append("checksum %s %s %08x %d" % (name.upper(), rtype.upper(), crc, len(data)))
    return facts, items, checksums, problems


def main(setup, release, manifest_path, bits):
    facts, items, checksums, problems = expected_facts(release, manifest_path, bits)
    found = read_pe.facts(setup)
    for problem in problems:
        print("FAIL: " + problem)
    failures = len(problems)
    def kind(fact):  # "string Key" for a version string, else the first word
        return fact.split("=")[0] if fact.startswith("string ") else fact.split(" ")[0]
    for fact in facts:
        if fact not in found:
            have = [f for f in found if kind(f) == kind(fact)]
            print("FAIL: %s: no \"%s\"%s" % (setup, fact, " (found: %s)" % "; ".join(have) if have else ""))
            failures += 1
    found_items = sorted(f for f in found if f.startswith("item "))
    if found_items != sorted(items):
        for item in sorted(set(items) - set(found_items)):
            print("FAIL: missing or different: " + item)
        for item in sorted(set(found_items) - set(items)):
            print("FAIL: not of the release: " + item)
        failures += 1
    if [f for f in found if f.startswith("checksum ")] != checksums:
        print("FAIL: the checksum table is not one line per item of the release in manifest order")
        failures += 1
    if failures:
        return 1
    print("ok: %s (%s): headers, manifest, version, icon, %d items and their checksum table"
          % (setup, " ".join(found[:3]), len(items)))
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 5 or sys.argv[4] not in WORD_SIZES:
        sys.exit("usage: check_setup_pe.py SETUP.exe RELEASE_DIR APP_MANIFEST 32|64")
    sys.exit(main(*sys.argv[1:]))
