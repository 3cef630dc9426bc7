// What the release tools need of the host they run on: GBK text as UTF-8 and
// UTF-16, and the files of a release folder. One implementation for Linux
// (host_text_posix.cpp) and one for Windows (host_text_win.cpp), which mean
// the same: host paths are UTF-8 strings on both.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "release_check.h"

namespace tavix {

// Converts GBK bytes to UTF-8; bytes that do not convert become "?".
std::string GbkToUtf8(const std::string& gbk);

// Converts GBK bytes to UTF-16; bytes that do not convert become U+FFFD.
// Both conversions read GBK as Windows' code page 936 does, on every host:
// its user-defined characters are those of the Private Use Area.
std::u16string GbkToUtf16(const std::string& gbk);

// UTF-16 (unpaired surrogates become U+FFFD) as UTF-8, and back.
std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

// The character of the double-byte GBK code `lead trail`, as code page 936
// reads it; false when it is none. The host's own converter.
bool DecodeGbkPair(unsigned char lead, unsigned char trail, char16_t& out);

// The file of a manifest target path below a release folder on this host:
// the path in UTF-8 with the host's separator between levels.
std::string ReleaseHostPath(const std::string& releaseDir, const std::string& targetPath);

bool IsRegularFile(const std::string& hostPath);

// What `hostPath` is, for a file of the release folder `releaseDir`: links
// are followed, and one that leads (itself or through a linked folder on its
// way) out of the release folder is reported as such.
FileFacts InspectReleaseFile(const std::string& releaseDir, const std::string& hostPath);

// Every regular file below a release folder, as ReleaseHostPath spells it,
// sorted. Linked folders are not walked.
std::vector<std::string> ListReleaseFiles(const std::string& releaseDir);

// What two host paths of one file have in common: the path itself where file
// names tell letter case apart, the path in upper case where they do not.
std::string HostFileKey(const std::string& hostPath);

// The release folder as the checks see it on this host.
ReleaseFolder HostReleaseFolder(const std::string& releaseDir);

} // namespace tavix
