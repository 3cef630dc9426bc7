// The record of an installation: what the setup wrote into the installation
// folder (each file with its CRC-32 and size) and outside it (the desktop
// shortcut, the program group, the main program the document type opens).
// The setup writes it; the uninstaller removes by it, and only what it
// names. It lies in the installation folder, which its users may be able to
// change, so a reader trusts no line of it: every name must pass the path
// rule of setupdata/path_rules.h.
//
// The file is GBK text with CR LF line ends: a first line, then one line per
// thing, its kind, one space and its fields:
//
//   Tavix install record 2
//   program TAVI.exe                     [Run] FileName of a release
//   desktop \Quorvixv2.8.0(m).lnk         [Form] desKtopLink of a release
//   group progman Quorvixv2.8.2.6（标准版-m）  a program group and how it was made
//   group links Quorvixv2.8.2.6（标准版-m）    ("progman": the program manager;
//                                        "links": the setup's own shortcuts)
//   file 1a2b3c4d 1486848 01dc6a1f2b3c4d5e.01dc6a1f2b3c4d5f TAVI.exe
//                                        CRC-32 (8 lower-case hex digits),
//                                        size in bytes, what the setup saw of
//                                        the file once written ("-": nothing),
//                                        path below the folder
//
// What the setup saw is the file's last-write time and the file system's
// change time (16 lower-case hex digits each, 100-ns steps since 1601). A
// record of the first version ("Tavix install record 1") has file lines
// without that field; it is read as one whose files were not seen.
//
// An installation over an earlier one keeps the earlier record's lines, so
// the record names what every release installed there.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavix {

// The record's name in the installation folder.
inline constexpr const char* kInstallRecordFile = "Uninstall.dat";
// The largest record read: a record of every item of the largest release
// the writer makes, of several releases over each other, fits many times.
inline constexpr std::size_t kMaxRecordBytes = 32u << 20;

// What the setup saw of a file once it had written it, in the file system's
// own units (100 ns since 1601). A file that still shows these times and its
// size is as the setup left it: an edit moves its last-write time, and every
// change of its data or its times moves its change time.
struct FileTimes {
    std::uint64_t lastWrite = 0;
    std::uint64_t change = 0;
    bool operator==(const FileTimes& o) const { return lastWrite == o.lastWrite && change == o.change; }
};

struct RecordedFile {
    std::string path;  // below the installation folder, GBK
    std::uint32_t crc32 = 0;
    std::uint64_t size = 0;
    bool seen = false;  // `times` holds what the setup saw
    FileTimes times;
};

struct RecordedGroup {
    bool byProgramManager = false;
    std::string name;
};

struct InstallRecord {
    std::vector<std::string> programs;      // [Run] FileName
    std::vector<std::string> desktopLinks;  // [Form] desKtopLink, "\" + name
    std::vector<RecordedGroup> groups;
    // A path may have several lines: an installation that has not ended yet
    // names the checksums of both the earlier and the new file.
    std::vector<RecordedFile> files;
};

std::string FormatInstallRecord(const InstallRecord& record);

// A line the reader refused: well formed, but its name breaks the rule.
struct RefusedRecordLine {
    std::size_t line = 0;  // 1-based
    std::string text;      // the whole line (GBK)
    std::string why;       // the rule it breaks (GBK, Chinese)
};

struct RecordReading {
    // Not a record, or a line of it is none of the kinds above.
    bool damaged = false;
    std::string damage;  // why (GBK, Chinese), naming the line
    InstallRecord record;  // every line that passed
    std::vector<RefusedRecordLine> refused;
};

// Reads a record of either version. Lines end at CR LF, a lone CR or LF; an
// empty last line is no line. A file line whose path is not relative, names a drive, begins
// with "\" (a network path), holds a ".." or "." level, a device name or a
// character Windows does not allow, and a program, shortcut or group that
// is no plain name, are refused and named; everything else of the record is
// still read.
RecordReading ReadInstallRecord(std::string_view text);

// The record of an installation made over `earlier` (the folder's record;
// empty when there is none): every program, shortcut, group and file of
// both. A file that both name (letter case ignored, as Windows does) keeps
// the checksum of `now`, or with `keepEarlierChecksums` those of both, for
// an installation that may stop before it has written the file. Each line
// keeps what the setup saw of the file it names.
InstallRecord MergeInstallRecords(const InstallRecord& earlier, const InstallRecord& now,
                                  bool keepEarlierChecksums);

// The bytes the record's files take, each path counted once (its last line).
std::uint64_t RecordedBytes(const InstallRecord& record);

// Chinese text of why a path below the installation folder is refused;
// empty when it passes the rule.
std::string RefusedPathText(std::string_view path);

} // namespace tavix
