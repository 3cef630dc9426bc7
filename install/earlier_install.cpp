#include "earlier_install.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "setupdata/errors.h"

namespace tavix {

// ---- numbers -------------------------------------------------------------------

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

int32_t StrToInt(std::string_view text) {
    auto fail = [&] { return SetupError("'" + std::string(text) + "' is not a valid integer value"); };
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) throw fail();
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (!IsDigit(text[i])) throw fail();
        value = value * 10 + (text[i] - '0');
        if (value > int64_t(std::numeric_limits<int32_t>::max()) + 1) throw fail();
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int32_t>::max() || value < std::numeric_limits<int32_t>::min()) throw fail();
    return static_cast<int32_t>(value);
}

double StrToFloat(std::string_view text) {
    auto fail = [&] { return SetupError("'" + std::string(text) + "' is not a valid floating point value"); };
    std::size_t b = 0, e = text.size();
    while (b < e && text[b] == ' ') ++b;
    while (e > b && text[e - 1] == ' ') --e;
    std::string_view t = text.substr(b, e - b);
    std::size_t i = 0, digits = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    while (i < t.size() && IsDigit(t[i])) ++i, ++digits;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && IsDigit(t[i])) ++i, ++digits;
    }
    if (digits == 0) throw fail();
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        std::size_t expDigits = 0;
        while (i < t.size() && IsDigit(t[i])) ++i, ++expDigits;
        if (expDigits == 0) throw fail();
    }
    if (i != t.size()) throw fail();
    double value = std::strtod(std::string(t).c_str(), nullptr);
    if (!std::isfinite(value)) throw fail();
    return value;
}

// ---- earlier installation ----------------------------------------------------------

bool HasEarlierInstall(std::string_view installedSerial, std::string_view installedPath,
                       const std::function<bool(const std::string&)>& fileExists) {
    return !installedSerial.empty() && !installedPath.empty() && fileExists(std::string(installedPath) + "TAVI.exe");
}

VersionQuestion CheckEarlierInstall(std::string_view installedSerial, std::string_view installedPath,
                                    const std::function<bool(const std::string&)>& fileExists,
                                    std::string_view newSerial) {
    if (!HasEarlierInstall(installedSerial, installedPath, fileExists)) return VersionQuestion::None;
    double current = StrToInt(newSerial);
    double installed = StrToFloat(installedSerial);
    if (current == installed) return VersionQuestion::Reinstall;
    if (current < installed) return VersionQuestion::OlderVersion;
    return VersionQuestion::None;
}

}  // namespace tavix
