// The check for an earlier installation of the product, as every road to the
// installation makes it (the wizard asks its question, the runs without the
// wizard answer it themselves), and the number conversions it compares the
// serials by. All text is GBK bytes.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tavix {

// A decimal whole number in the signed 32-bit range (blanks before it, a sign);
// throws SetupError "'<text>' is not a valid integer value" otherwise.
int32_t StrToInt(std::string_view text);
// A decimal number with optional fraction and exponent (blanks around it);
// throws SetupError "'<text>' is not a valid floating point value" otherwise.
double StrToFloat(std::string_view text);

enum class VersionQuestion { None, Reinstall, OlderVersion };

// Whether the registry values `Serial` and `Path` name an installation that
// is still there: both present and Path + "TAVI.exe" exists.
bool HasEarlierInstall(std::string_view installedSerial, std::string_view installedPath,
                       const std::function<bool(const std::string&)>& fileExists);

// The check for an earlier installation, given the registry values `Serial`
// and `Path` as read, a test for the existence of a file, and the serial of
// this release. No question unless both values are present and Path +
// "TAVI.exe" exists; then the serials compare as numbers. Conversion errors
// throw SetupError.
VersionQuestion CheckEarlierInstall(std::string_view installedSerial, std::string_view installedPath,
                                    const std::function<bool(const std::string&)>& fileExists,
                                    std::string_view newSerial);

}  // namespace tavix
