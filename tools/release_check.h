// Checks of a release folder before its items are embedded in the setup.
// Every text these functions return is UTF-8, ready to print: GBK text of the
// release (lines, paths, control-file values) is converted, host paths are
// shown as they are.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "setupdata/manifest.h"

namespace tavix {

// What a manifest path names in the release folder.
enum class FileKind {
    kRegular,      // a file (or a link to a file inside the release folder)
    kMissing,      // nothing, or a link that leads nowhere
    kFolder,       // a folder
    kLinkOutside,  // a link (of the file or of a folder on its way) that leads out of the release folder
    kOther,        // a device, pipe or socket
};

struct FileFacts {
    FileKind kind = FileKind::kMissing;
    std::uint64_t size = 0;
    std::string linkTarget;  // where a kLinkOutside leads (host path)
};

// The release folder as the checks see it; the builder fills it from the
// file system, the tests with fakes.
struct ReleaseFolder {
    // The host path of a manifest target path (GBK, backslashes).
    std::function<std::string(const std::string& targetPath)> hostPath;
    std::function<FileFacts(const std::string& hostPath)> inspect;
    // Every file of the folder as hostPath spells it, sorted.
    std::function<std::vector<std::string>()> listFiles;
    // What two host paths of one file have in common where the host's file
    // names ignore letter case; unset: the path itself.
    std::function<std::string(const std::string& hostPath)> fileKey;
};

struct ReleaseItem {
    ManifestEntry entry;
    std::string file;  // the item's file in the release folder (host path)
    std::uint64_t size = 0;
};

struct ReleaseReport {
    std::vector<ReleaseItem> items;        // one per manifest line, in manifest order
    std::vector<std::string> problems;     // each refuses the release; empty: usable
    std::vector<std::string> warnings;     // the release builds, but may not install as meant
};

// The largest payload (sum of the items' bytes) a setup may carry. A 32-bit
// program's image must fit below 2 GB beside the system's own code. Measured
// under Wine 8 with setups that the release writer made of a small release
// and one large item, installed silently (bench/payload_limit.sh): 1,925 MiB
// of payload starts and installs; at 1,950 MiB every file is written, but the
// shell's libraries no longer load for the desktop shortcut (access denied);
// 1,975 MiB starts and runs out of memory; 2,000 MiB and more do not start.
// The limit keeps a fifth of what installs as margin for Windows' own layout
// of the address space: 1,536 MiB (1.5 GiB). The script builds the writer with
// another limit, TAVIX_PAYLOAD_LIMIT_MIB, to make the larger setups.
#ifndef TAVIX_PAYLOAD_LIMIT_MIB
#define TAVIX_PAYLOAD_LIMIT_MIB 1536
#endif
constexpr std::uint64_t kMaxPayloadBytes = TAVIX_PAYLOAD_LIMIT_MIB * 1024ull * 1024;

// Checks a whole release: `manifestText` is Setup.log, `iniText` Setup.ini
// (null when the folder has none). Runs every check and collects every
// problem and warning, each naming its file and line.
ReleaseReport CheckRelease(const std::string& manifestText, const std::string* iniText,
                           const ReleaseFolder& folder);

// ---- the parts of CheckRelease ------------------------------------------------

// What is wrong with the encoding of a text the setup reads as GBK with CR LF
// line ends: "UTF-8 text with a byte-order mark (EF BB BF)", "UTF-16 text
// ...", "a NUL byte (byte 12, line 2)", "UTF-8 text (...)", or empty when it
// may be GBK.
std::string TextEncodingProblem(const std::string& text);

// Lines that end in a lone LF or CR; 0 when every line ends in CR LF.
std::size_t CountBareLineEnds(const std::string& text);

// The manifest's lines, each checked alone and against the others: grammar,
// GBK, resource names, the path rule, collisions, lengths below
// `defaultFolder`, and the file in the release folder.
void CheckManifest(const std::string& manifestText, const std::string& defaultFolder, const ReleaseFolder& folder,
                   ReleaseReport& report);

// The control file's values the setup cannot do without (problems) and those
// that may not do what the author meant (warnings), given the accepted items.
void CheckControlFile(const std::string& iniText, ReleaseReport& report);

// The message for a payload larger than kMaxPayloadBytes, or empty: the
// payload as the setup carries it, its items stored or compressed.
std::string PayloadSizeProblem(std::uint64_t totalBytes);

// Items that the setup fetches by fixed type and name besides the manifest walk.
struct FixedItem {
    const char* type;
    const char* name;
    const char* what;          // what the setup uses it for
    const char* expectedPath;  // the release file it should be, or null
};
extern const FixedItem kFixedItems[5];

// The serial's warning, or empty when it is a decimal number that fits a
// signed 32-bit integer.
std::string SerialProblem(const std::string& serial);

// ---- summary -----------------------------------------------------------------

// Lines that tell what the setup will carry: items, total bytes, the largest
// item, caption and serial.
std::vector<std::string> ReleaseSummary(const std::vector<ReleaseItem>& items, const std::string& iniText);

// 1234567 -> "1,234,567".
std::string GroupDigits(std::uint64_t n);

// ---- version resource ------------------------------------------------------

using VersionNumbers = std::array<unsigned, 4>;

// The four-part file version of a serial: two digits per part, read from the
// left after a leading zero pads the serial to an even length ("02080206" ->
// 2.8.2.6, "27200" -> 2.72.0.0). False (and 0.0.0.0) for a serial that is
// empty, holds a non-digit or has more than eight digits.
bool SerialToVersion(const std::string& serial, VersionNumbers& out);

// The strings of the version resource built from the control file, in their
// order: company, description ([Form] Caption + " 安装程序"), file version
// ([Form] Version, or the dotted numbers when it is empty), internal and
// original file name, product, product version. Keys ASCII, values UTF-16.
std::vector<std::pair<std::string, std::u16string>> VersionStrings(const std::string& iniText);

// The version resource's data (a VS_VERSIONINFO block, as the resource
// compiler writes it): numeric file and product version from [Form] Serial,
// VersionStrings in the string table "080404b0" (Chinese (PRC), UTF-16).
std::string VersionResourceData(const std::string& iniText);

} // namespace tavix
