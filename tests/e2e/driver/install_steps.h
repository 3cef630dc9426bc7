// Steps and checks of the installation scenarios: the release's values, a
// probe that watches the installation window from inside the setup, the
// installed files, registry values, shortcut and program group, and the
// cleanup that leaves the shared prefix as it was.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "driver/install_probe.h"

namespace e2e {

// ---- the release being installed ---------------------------------------------------
struct ReleaseInfo {
    std::string caption;       // [Form] Caption (GBK)
    std::string serial;        // [Form] Serial
    std::string version;       // [Form] Version
    std::string desktopLink;   // [Form] desKtopLink
    std::string exeName;       // [Run] FileName
    std::vector<std::string> manifestLines;  // Setup.log, GBK
};
const ReleaseInfo& Release();
// The release file of manifest line `index`, and its target below `installDir`.
std::wstring ReleaseFileOf(std::size_t index);
std::wstring TargetOf(const std::wstring& installDir, std::size_t index);

// ---- places outside the installation folder -----------------------------------------
std::wstring CommonDesktopDir();   // the all-users desktop
std::wstring ProgramsDir();        // the user's Start-menu programs
std::wstring DesktopLinkPath();    // all-users desktop + desKtopLink
std::wstring ProgramGroupDir();    // Start-menu programs + caption
std::wstring TempManifestPath();   // Windows\Temp\avixSetup.log

// The shell's window showing the new program group (the program manager
// opens one when a group is created); null when none appears in time.
HWND WaitProgramGroupWindow(DWORD timeoutMs);

// Removes what an installation into `installDir` may leave: the folder, the
// registry keys of the product, the desktop shortcut, the program group (and
// the shell's window showing it) and running stand-ins of the product.
void CleanInstallation(const std::wstring& installDir);

// ---- the probe -----------------------------------------------------------------------
// Watches the installation window from inside the setup: a thread hook loads
// e2e_probe.dll (beside the scenario) into the setup's user-interface thread.
class InstallProbe {
public:
    InstallProbe();
    ~InstallProbe();
    InstallProbe(const InstallProbe&) = delete;
    InstallProbe& operator=(const InstallProbe&) = delete;

    // Hooks the thread that owns the setup's windows.
    void Attach(DWORD setupPid);
    std::vector<ProbeEvent> Events() const;
    std::vector<int> BarPositions() const;      // held positions, in order
    std::vector<std::wstring> StatusTexts() const;
    int LastBar() const;                        // -1 before the first
    // Waits until the bar has held `position` (at least `times` times).
    bool WaitBar(int position, DWORD timeoutMs, int times = 1) const;

private:
    HANDLE mapping_ = nullptr;
    ProbeLog* log_ = nullptr;
    HMODULE dll_ = nullptr;
    HHOOK hook_ = nullptr;
};

// ---- checks ----------------------------------------------------------------------------
struct ShellLinkInfo {
    std::wstring path;
    std::wstring workingDir;
};
// Reads a .lnk with the shell's link object; false when it cannot be loaded.
bool ReadShellLink(const std::wstring& lnk, ShellLinkInfo& out);

// Manifest lines [first, end) are installed byte for byte below installDir.
void CheckManifestInstalled(const std::wstring& installDir, std::size_t first, std::size_t end);
// None of the targets of lines [first, end) exists (lines whose target is
// also written by an earlier line are skipped).
void CheckManifestNotInstalled(const std::wstring& installDir, std::size_t first, std::size_t end);
// Every registry value of a completed installation, exactly.
void CheckInstallRegistry(const std::wstring& installDir);
// None of the values an installation writes exists.
void CheckNoInstallRegistry();
// The three temporary control files are gone.
void CheckTempFilesGone();

// A GBK path as a wide path.
std::wstring W936(const std::string& gbk);

} // namespace e2e
