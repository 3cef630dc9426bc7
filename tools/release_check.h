// Checks of a release folder before its items are embedded in the setup.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "setupdata/manifest.h"

namespace tavix {

struct ReleaseItem {
    ManifestEntry entry;
    std::string file;  // the item's file in the release folder (host path)
};

struct ReleaseReport {
    std::vector<ReleaseItem> items;      // one per manifest line, in manifest order
    std::vector<std::string> problems;   // each names its manifest line; empty: usable
};

// Checks the manifest text line by line. `fileExists` tells whether a host
// path exists as a regular file; `hostPath` maps a manifest target path (GBK,
// backslashes) to its file in the release folder.
ReleaseReport CheckManifest(const std::string& manifestText,
                            bool (*fileExists)(const std::string& hostPath),
                            std::string (*hostPath)(const std::string& targetPath));

// The reason a target path cannot be installed, or empty when it can.
std::string TargetPathProblem(const std::string& targetPath);

// ---- warnings: a release that builds but may not install as meant ----------

// Items that the setup fetches by fixed type and name besides the manifest walk.
struct FixedItem {
    const char* type;
    const char* name;
    const char* what;          // what the setup uses it for
    const char* expectedPath;  // the release file it should be, or null
};
extern const FixedItem kFixedItems[5];

// Checks the control file (GBK text; empty when the release has none) against
// the accepted manifest items: the serial, the main program's name, the items
// fetched by fixed name.
std::vector<std::string> CheckControlFile(const std::string& iniText, const std::vector<ReleaseItem>& items);

// Files of the release folder (host paths, as `hostPath` above builds them)
// that no manifest line names; one warning each.
std::vector<std::string> CheckUnnamedFiles(const std::vector<std::string>& releaseFiles,
                                           const std::vector<ReleaseItem>& items);

// The serial's warning, or empty when it is a decimal number that fits a
// signed 32-bit integer.
std::string SerialProblem(const std::string& serial);

// ---- summary -----------------------------------------------------------------

// Lines (GBK) that tell what the setup will carry: items, total bytes, the
// largest item, caption and serial. `sizeOf` gives a host file's size.
std::vector<std::string> ReleaseSummary(const std::vector<ReleaseItem>& items,
                                        std::uint64_t (*sizeOf)(const std::string& hostPath),
                                        const std::string& iniText);

// 1234567 -> "1,234,567".
std::string GroupDigits(std::uint64_t n);

// ---- version resource ------------------------------------------------------

using VersionNumbers = std::array<unsigned, 4>;

// The four-part file version of a serial: two digits per part, read from the
// left after a leading zero pads the serial to an even length ("02080206" ->
// 2.8.2.6, "27200" -> 2.72.0.0). False (and 0.0.0.0) for a serial that is
// empty, holds a non-digit or has more than eight digits.
bool SerialToVersion(const std::string& serial, VersionNumbers& out);

// The text of a version resource (resource script, ID 1) built from the
// control file: numeric file and product version from [Form] Serial, their
// strings from [Form] Version (the dotted numbers when it is empty), the
// description from [Form] Caption. `toUtf16` converts GBK text.
std::string VersionResourceScript(const std::string& iniText, std::u16string (*toUtf16)(const std::string& gbk));

// A wide string literal of the resource compiler that holds `s` exactly:
// printable ASCII as it is ("" and \\ escaped), everything else as \xNNNN.
std::string RcWideString(const std::u16string& s);

} // namespace tavix
