#include "winget_manifest.h"

#include <cstring>

#include "common/integration.h"
#include "common/product.h"
#include "host_text.h"
#include "setupdata/gbk.h"
#include "setupdata/ini.h"
#include "setupdata/product_info.h"

namespace tavix {

// The README's exit codes of a silent installation, each with the meaning
// the package manager shows for it.
const WingetReturnCode kWingetReturnCodes[8] = {
    {1, "invalidParameter"},   // bad command line
    {2, "installInProgress"},  // another copy of the setup is running
    {3, "packageInUse"},       // the product is running
    {4, "downgrade"},          // a later release is installed
    {5, "invalidParameter"},   // the folder (/D=) is refused
    {6, "fileInUse"},          // a file, folder or value could not be written; the log names why
    {7, "contactSupport"},     // the setup is damaged
    {8, "diskFull"},           // the drive has less room than the setup writes
};

namespace {

// A YAML scalar in single quotes: nothing in it is read as YAML.
std::string Quoted(const std::string& utf8) {
    std::string out = "'";
    for (char c : utf8) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

std::size_t Utf8Characters(const std::string& s) {
    std::size_t n = 0;
    for (char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

bool AllDigits(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// What a manifest file begins with: the schema for editors, and who made it.
std::string Head(const char* type) {
    return std::string("# Made by release_writer --winget from the setup as it is written and signed.\n") +
           "# yaml-language-server: $schema=https://aka.ms/winget-manifest." + type + "." + kWingetManifestVersion +
           ".schema.json\n\n";
}

std::string Tail(const char* type) {
    return std::string("ManifestType: ") + type + "\nManifestVersion: " + Quoted(kWingetManifestVersion) + "\n";
}

// Why `url` cannot be the installer's address, or empty.
std::string UrlProblem(const std::string& url) {
    const bool scheme = EqualsIgnoreAsciiCase(std::string_view(url).substr(0, 7), "http://") ||
                        EqualsIgnoreAsciiCase(std::string_view(url).substr(0, 8), "https://");
    bool plain = true;
    for (char c : url) plain = plain && static_cast<unsigned char>(c) > 0x20 && c != 0x7F;
    if (!scheme || url.size() <= 8 || !plain || url.size() > 2048)
        return "the address \"" + url + "\" is no http:// or https:// address of at most 2048 characters without blanks";
    return std::string();
}

// The uninstall entry's key name: the package manager's product code.
std::string UninstallKeyName() {
    const char* last = std::strrchr(kUninstallKey, '\\');
    return last ? last + 1 : kUninstallKey;
}

} // namespace

std::string WingetIdentifier() { return std::string(kPublisher) + "." + kProductName; }

bool AsksForAdministrator(const std::string& xml) {
    for (const char* level : {"requireAdministrator", "highestAvailable"})
        for (const char quote : {'"', '\''})
            if (xml.find(std::string("level=") + quote + level + quote) != std::string::npos) return true;
    return false;
}

std::vector<WingetFile> MakeWingetManifest(const WingetSetup& setup, const std::string& url, std::string& problem) {
    problem = UrlProblem(url);
    const std::string control = ControlFileProblem(setup.controlText);
    if (problem.empty() && !control.empty()) problem = "its control file is damaged: " + GbkToUtf8(control);
    const std::string serial = IniLookup(setup.controlText, "Form", "Serial");
    if (problem.empty() && !AllDigits(serial))
        problem = "its control file's [Form] Serial \"" + GbkToUtf8(serial) + "\" is no number, which the version is made of";
    const std::string caption = GbkToUtf8(IniLookup(setup.controlText, "Form", "Caption"));
    if (problem.empty() && (Utf8Characters(caption) < 3 || Utf8Characters(caption) > 256))
        problem = "its control file's [Form] Caption \"" + caption +
                  "\" cannot be the package's short description (3 to 256 characters)";
    if (!problem.empty()) return {};

    const std::string id = WingetIdentifier();
    const std::string version = DisplayVersion(serial);
    const std::string ids = "PackageIdentifier: " + Quoted(id) + "\nPackageVersion: " + Quoted(version) + "\n";

    std::string installer = Head("installer") + ids;
    installer += std::string("InstallerLocale: ") + kWingetLocale + "\n";
    installer += "Platform:\n- Windows.Desktop\n";
    installer += "InstallerType: exe\n";
    // The uninstall entry and the application keys go under
    // HKEY_CURRENT_USER of the account that runs the setup.
    installer += "Scope: user\n";
    installer += "InstallModes:\n- interactive\n- silent\n- silentWithProgress\n";
    installer += "InstallerSwitches:\n";
    installer += std::string("  Silent: ") + Quoted(kWingetSilent) + "\n";
    installer += std::string("  SilentWithProgress: ") + Quoted(kWingetSilentWithProgress) + "\n";
    installer += std::string("  InstallLocation: ") + Quoted(kWingetInstallLocation) + "\n";
    installer += std::string("  Log: ") + Quoted(kWingetLog) + "\n";
    installer += "ExpectedReturnCodes:\n";
    for (const WingetReturnCode& r : kWingetReturnCodes)
        installer += "- InstallerReturnCode: " + std::to_string(r.code) + "\n  ReturnResponse: " + r.response + "\n";
    installer += "UpgradeBehavior: install\n";
    std::string extension = kDocumentExt + 1;  // "qvt", as the package manager lists extensions
    for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    installer += "FileExtensions:\n- " + Quoted(extension) + "\n";
    if (setup.elevates) installer += "ElevationRequirement: elevatesSelf\n";
    installer += "AppsAndFeaturesEntries:\n";
    installer += "- DisplayName: " + Quoted(kProductName) + "\n";
    installer += "  Publisher: " + Quoted(kPublisher) + "\n";
    installer += "  DisplayVersion: " + Quoted(version) + "\n";
    installer += "  ProductCode: " + Quoted(UninstallKeyName()) + "\n";
    installer += "Installers:\n";
    installer += std::string("- Architecture: ") + (setup.x64 ? "x64" : "x86") + "\n";
    installer += "  InstallerUrl: " + Quoted(url) + "\n";
    installer += "  InstallerSha256: " + setup.sha256 + "\n";
    installer += Tail("installer");

    std::string locale = Head("defaultLocale") + ids;
    locale += std::string("PackageLocale: ") + kWingetLocale + "\n";
    locale += "Publisher: " + Quoted(kPublisher) + "\n";
    locale += "PublisherUrl: " + Quoted(kWebAddress) + "\n";
    locale += "PackageName: " + Quoted(kProductName) + "\n";
    locale += "License: 'Proprietary'\n";
    locale += "ShortDescription: " + Quoted(caption) + "\n";
    locale += Tail("defaultLocale");

    std::string versionFile = Head("version") + ids;
    versionFile += std::string("DefaultLocale: ") + kWingetLocale + "\n";
    versionFile += Tail("version");

    return {{id + ".yaml", versionFile},
            {id + ".installer.yaml", installer},
            {id + ".locale." + kWingetLocale + ".yaml", locale}};
}

} // namespace tavix
