#!/usr/bin/python3
"""Checks the package manager's manifest that `release_writer --winget` wrote
for a setup, with readers of its own: the official JSON schemas (Debian's
python3-jsonschema and python3-yaml) and pefile for the setup's file. Prints
one "FAIL: ..." line per fault and ends with exit code 1 when there is one.

  winget_check.py MANIFEST_DIR SETUP.exe SCHEMA_DIR README.md [ARGS_FILE INSTALLPATH LOGPATH]

- every file validates against the schema of its type, and a field changed
  to a value the schema refuses is refused (the check can fail);
- the three files name one package and version;
- the hash is that of the setup's file, the architecture its machine's, the
  elevation what its application manifest asks for;
- every exit code of the README's table for the installation without
  windows has its meaning, and no other code;
- the Apps & Features entry and the description match the setup's version
  resource.

With ARGS_FILE, writes what a scenario under Wine needs to run the switches
as the package manager does (UTF-8, tab-separated): "arp" with the entry's
name, publisher, version and product code, then one "run" line per mode
with the mode, the folder, the log and the command line, <INSTALLPATH> and
<LOGPATH> filled in with INSTALLPATH and LOGPATH.
"""
import copy
import glob
import hashlib
import json
import os
import re
import sys

import jsonschema
import pefile
import yaml

SCHEMAS = {"version": "manifest.version.1.10.0.json", "installer": "manifest.installer.1.10.0.json",
           "defaultLocale": "manifest.defaultLocale.1.10.0.json"}
MACHINES = {0x14C: "x86", 0x8664: "x64"}
failures = []


def fail(text):
    failures.append(text)
    print("FAIL: " + text)


def validator(schema_dir, kind):
    schema = json.load(open(os.path.join(schema_dir, SCHEMAS[kind]), encoding="utf-8"))
    return jsonschema.Draft7Validator(schema, format_checker=jsonschema.FormatChecker())


def setup_facts(path):
    """Machine, version strings and application manifest of the setup, by pefile."""
    pe = pefile.PE(path)
    strings = {}
    for info in pe.FileInfo[0]:
        for table in getattr(info, "StringTable", []):
            strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    fixed = pe.VS_FIXEDFILEINFO[0]
    version = "%d.%d.%d.%d" % (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
                               fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF)
    manifest = b""
    for rtype in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if rtype.id == pefile.RESOURCE_TYPE["RT_MANIFEST"]:
            data = rtype.directory.entries[0].directory.entries[0].data.struct
            manifest = pe.get_data(data.OffsetToData, data.Size)
    return MACHINES.get(pe.FILE_HEADER.Machine), strings, version, manifest


def readme_exit_codes(readme):
    """The exit codes of the table under "## Installing without windows"."""
    text = open(readme, encoding="utf-8").read()
    section = text.split("## Installing without windows", 1)[1].split("\n## ", 1)[0].split("\n### ", 1)[0]
    return sorted(int(m.group(1)) for m in re.finditer(r"^\| (\d+) \|", section, re.M))


def main():
    if len(sys.argv) not in (5, 8):
        sys.exit(__doc__)
    folder, setup, schema_dir, readme = sys.argv[1:5]
    files = sorted(glob.glob(os.path.join(folder, "*.yaml")))
    docs = {}
    for path in files:
        raw = open(path, "rb").read()
        if raw.startswith(b"\xef\xbb\xbf") or b"\r" in raw:
            fail("%s is not UTF-8 text with LF line ends" % path)
        doc = yaml.safe_load(raw.decode("utf-8"))
        kind = doc.get("ManifestType")
        if kind not in SCHEMAS or kind in docs:
            fail("%s is of type %r" % (path, kind))
            continue
        for error in validator(schema_dir, kind).iter_errors(doc):
            fail("%s: %s at %s" % (os.path.basename(path), error.message, list(error.path)))
        docs[kind] = doc
    if sorted(docs) != sorted(SCHEMAS):
        fail("the folder holds manifests of the types %s, not %s" % (sorted(docs), sorted(SCHEMAS)))
        return
    installer, locale, version = docs["installer"], docs["defaultLocale"], docs["version"]
    ident = installer["PackageIdentifier"]
    expected_names = [ident + ".installer.yaml", ident + ".locale." + locale["PackageLocale"] + ".yaml", ident + ".yaml"]
    if sorted(os.path.basename(f) for f in files) != sorted(expected_names):
        fail("the files are %s, not %s" % ([os.path.basename(f) for f in files], expected_names))

    # The validator refuses what the schema refuses.
    mutations = [
        ("installer", ["InstallerSwitches", "Silent"], ""),
        ("installer", ["ExpectedReturnCodes", 0, "ReturnResponse"], "tryAgainLater"),
        ("installer", ["ExpectedReturnCodes", 0, "InstallerReturnCode"], 0),
        ("installer", ["Installers", 0, "InstallerSha256"], "5355"),
        ("installer", ["Installers", 0, "InstallerUrl"], "ftp://example.com/TavixSetup.exe"),
        ("installer", ["PackageIdentifier"], "Velmora Quorvix"),
        ("installer", ["InstallerType"], "setup"),
        ("installer", ["Scope"], "everyone"),
        ("installer", ["ElevationRequirement"], "elevate"),
        ("defaultLocale", ["ShortDescription"], "Q"),
        ("defaultLocale", ["PackageLocale"], "zh_CN"),
        ("version", ["ManifestVersion"], "1.10"),
    ]
    for kind, path, value in mutations:
        doc = copy.deepcopy(docs[kind])
        target = doc
        for key in path[:-1]:
            target = target[key]
        target[path[-1]] = value
        if validator(schema_dir, kind).is_valid(doc):
            fail("the schema validator accepts %s %s = %r" % (kind, path, value))

    for kind, doc in docs.items():
        if (doc["PackageIdentifier"], doc["PackageVersion"]) != (ident, installer["PackageVersion"]):
            fail("the %s manifest names %s %s" % (kind, doc["PackageIdentifier"], doc["PackageVersion"]))
    if version["DefaultLocale"] != locale["PackageLocale"]:
        fail("the default locale is %s, its manifest's %s" % (version["DefaultLocale"], locale["PackageLocale"]))

    # What the setup's file says of itself.
    machine, strings, file_version, app_manifest = setup_facts(setup)
    entry = installer["Installers"][0]
    digest = hashlib.sha256(open(setup, "rb").read()).hexdigest().upper()
    if entry["InstallerSha256"].upper() != digest:
        fail("InstallerSha256 %s is not the setup's %s" % (entry["InstallerSha256"], digest))
    if entry.get("Architecture") != machine:
        fail("Architecture %s for a %s program" % (entry.get("Architecture"), machine))
    asks = re.search(rb"level=[\"'](requireAdministrator|highestAvailable)[\"']", app_manifest) is not None
    if (installer.get("ElevationRequirement") == "elevatesSelf") != asks:
        fail("ElevationRequirement %s for a setup whose manifest %s administrator rights" %
             (installer.get("ElevationRequirement"), "asks for" if asks else "does not ask for"))
    switches = installer["InstallerSwitches"]
    if "<INSTALLPATH>" not in switches.get("InstallLocation", "") or "<LOGPATH>" not in switches.get("Log", ""):
        fail("the switches lack <INSTALLPATH> or <LOGPATH>: %s" % switches)
    codes = sorted(r["InstallerReturnCode"] for r in installer.get("ExpectedReturnCodes", []))
    wanted = [c for c in readme_exit_codes(readme) if c != 0]
    if codes != wanted or not wanted:
        fail("ExpectedReturnCodes %s, the README's exit codes %s" % (codes, wanted))
    arp = installer["AppsAndFeaturesEntries"][0]
    if arp["Publisher"] != strings.get("CompanyName") or locale["Publisher"] != arp["Publisher"]:
        fail("publisher %s / %s, the version resource's company %s" % (arp["Publisher"], locale["Publisher"],
                                                                       strings.get("CompanyName")))
    if arp["DisplayName"] != strings.get("ProductName") or locale["PackageName"] != arp["DisplayName"]:
        fail("name %s / %s, the version resource's product %s" % (arp["DisplayName"], locale["PackageName"],
                                                                   strings.get("ProductName")))
    # An eight-digit serial gives a version of four parts, the file's own.
    four_parts = installer["PackageVersion"].count(".") == 3
    if arp["DisplayVersion"] != installer["PackageVersion"] or (four_parts and file_version != arp["DisplayVersion"]):
        fail("version %s / %s, the setup's file version %s" % (installer["PackageVersion"], arp["DisplayVersion"],
                                                               file_version))
    if locale["ShortDescription"] + " 安装程序" != strings.get("FileDescription"):
        fail("ShortDescription %s, the setup's description %s" % (locale["ShortDescription"],
                                                                   strings.get("FileDescription")))

    if len(sys.argv) == 8:
        args_file, install_path, log_path = sys.argv[5:8]
        lines = ["arp\t%s\t%s\t%s\t%s" % (arp["DisplayName"], arp["Publisher"], arp["DisplayVersion"],
                                          arp["ProductCode"])]
        for mode in ("Silent", "SilentWithProgress"):
            # As the package manager builds the line: the mode, the log, the folder last.
            line = " ".join([switches[mode], switches["Log"], switches["InstallLocation"]])
            line = line.replace("<INSTALLPATH>", install_path).replace("<LOGPATH>", log_path)
            lines.append("run\t%s\t%s\t%s\t%s" % (mode, install_path, log_path, line))
        open(args_file, "w", encoding="utf-8").write("\n".join(lines) + "\n")


main()
sys.exit(1 if failures else 0)
