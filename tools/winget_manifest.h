// The manifest of the Windows Package Manager (winget) for a setup as it is
// written and signed: the multi-file manifest of schema 1.10.0, a version, an
// installer and a default-locale file, that a release author submits with
// nothing added but the download address.
//
//   release_writer --winget SETUP.exe --url URL -o DIR
//
// Everything else comes from the setup itself: identifier, name and
// publisher are the product's (as its version resource and its uninstall
// entry have them), the version and the description are its control file's,
// the architecture its word size's, the elevation what its application
// manifest asks for, the hash that of the file as given. The switches and
// exit codes are those of README.md, "Installing without windows".
#pragma once
#include <string>
#include <vector>

namespace tavix {

inline constexpr const char* kWingetManifestVersion = "1.10.0";
inline constexpr const char* kWingetLocale = "zh-CN";

// The switches the package manager passes: /S for --silent, /PASSIVE
// (progress only) by default, the folder last (/D= takes the rest of the
// line), the log in quotes (a user's profile may hold blanks).
inline constexpr const char* kWingetSilent = "/S";
inline constexpr const char* kWingetSilentWithProgress = "/PASSIVE";
inline constexpr const char* kWingetInstallLocation = "/D=<INSTALLPATH>";
inline constexpr const char* kWingetLog = "\"/LOG=<LOGPATH>\"";

// Each exit code of the setup but 0 and the fixed meaning of the package
// manager that comes closest to it.
struct WingetReturnCode {
    int code;
    const char* response;
};
extern const WingetReturnCode kWingetReturnCodes[8];

// What the manifest says of a setup, read from its file.
struct WingetSetup {
    std::string controlText;  // its control file, Setup.ini (GBK)
    bool x64 = false;         // a 64-bit program (PE32+)
    bool elevates = false;    // its application manifest asks for administrator rights
    std::string sha256;       // of the file, 64 upper-case hexadecimal digits
};

struct WingetFile {
    std::string name;  // "Velmora.Quorvix.installer.yaml"
    std::string text;  // YAML, UTF-8
};

// "Velmora.Quorvix": the package's identifier, publisher and product.
std::string WingetIdentifier();

// The three files; empty, with `problem` saying why (UTF-8), when the setup
// or the address cannot make a manifest.
std::vector<WingetFile> MakeWingetManifest(const WingetSetup& setup, const std::string& url, std::string& problem);

// Reads the setup file at `path` (UTF-8): its control file, checked against
// the setup's checksum table, its word size and the rights its application
// manifest asks for, and the SHA-256 of the whole file, signature included.
// Returns why it cannot (UTF-8, to follow the file's name), or empty.
std::string ReadWingetSetup(const std::string& path, WingetSetup& out);

// release_writer --winget SETUP.exe --url URL -o DIR: writes the three files
// into the folder DIR, each only when whole; returns the writer's exit code
// (0 written, 2 bad command line, 3 nothing written).
int RunWingetCommand(const std::vector<std::string>& args);

// Whether an application manifest (its XML) asks for administrator rights:
// requestedExecutionLevel requireAdministrator, or highestAvailable (which
// asks an administrator for them).
bool AsksForAdministrator(const std::string& applicationManifest);

} // namespace tavix
