// Steps and checks of the installation scenarios: the release's values, a
// probe that watches the installation window from inside the setup, the
// installed files, registry values, shortcut and program group, and the
// cleanup that leaves the shared prefix as it was.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "driver/e2e.h"
#include "driver/install_probe.h"
#include "driver/wizard_steps.h"

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
// The index of the manifest line whose target path is `target`.
std::size_t LineOf(const std::wstring& target);
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
// Closes the shell's windows showing the program group.
void CloseProgramGroupWindows();

// Waits until the shell's program manager answers DDE, as it does on any
// desktop once the shell has started; Fail()s when it never does.
void WaitForProgramManager(DWORD timeoutMs = 20000);
// Sends the program manager these commands (GBK), each waited for, as the
// setup sends them; Fail()s when one is not done.
void SendToProgramManager(const std::vector<std::string>& commands);

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
    // Waits until the probe watches: the hook takes effect with the first
    // message sent to the thread after it is set, so messages are sent to
    // `w`, a window of that thread, until the probe's first record comes (its
    // try to load kPlantedDll by name). Returns whether the setup loaded it.
    bool WaitWatching(HWND w) const;
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
// The program group holds its four items, each opening its file below
// installDir (the program, the uninstaller, the help, the agreement).
void CheckProgramGroup(const std::wstring& installDir);
// Every registry value of a completed installation, exactly.
void CheckInstallRegistry(const std::wstring& installDir);
// None of the values an installation writes exists.
void CheckNoInstallRegistry();
// The three temporary control files are gone.
void CheckTempFilesGone();
// No file the setup writes on its way to a target ("~tx*.tmp") is left
// anywhere below `dir`.
void CheckNoTemporaryFiles(const std::wstring& dir);

// The release's first `count` manifest lines and then `line` as the last
// (GBK, CR LF, the last line without a line end): a manifest no longer than
// the release's, for a copy of the setup that carries it.
std::string ManifestCutAt(std::size_t count, const std::string& line);
// A copy of the setup below kTestRoot whose manifest item is `manifest`
// (see CopySetupWithItem); returns its path.
std::wstring SetupWithManifest(const std::string& manifest);
// The names of the entries directly in a folder (which ends in a backslash).
std::vector<std::wstring> FilesIn(const std::wstring& dir);

// A GBK path as a wide path.
std::wstring W936(const std::string& gbk);

// ---- one installation scenario ---------------------------------------------------------
// Every scenario installs below this folder.
extern const wchar_t kTestRoot[];

// The registry trees an installation writes, put back as they were when it goes.
struct InstallRegistryRestore {
    RegistryTreeRestore appKeys{HKEY_CURRENT_USER, L"Software\\TAVIX"};
    RegistryTreeRestore uninstallKey{HKEY_CURRENT_USER,
                                     L"software\\microsoft\\windows\\currentversion\\uninstall\\Quorvix"};
    RegistryTreeRestore extKey{HKEY_CLASSES_ROOT, L".Qvt"};
    RegistryTreeRestore classKey{HKEY_CLASSES_ROOT, L"Software\\TAVIX"};
};

// Keeps the shared prefix as it was: the registry trees an installation
// writes are put back, the folder, shortcut and group are removed, and a
// setup still running is ended.
struct InstallScenario {
    InstallRegistryRestore registry;
    std::wstring dir;
    Process setup;

    explicit InstallScenario(const std::wstring& installDir);
    ~InstallScenario();
    // Starts the setup (or another setup), hooks the probe into it and
    // walks to the folder page.
    HWND StartAtFolderPage(InstallProbe& probe, const std::wstring& exe = std::wstring());
};

// Fails unless the box has this caption, text, number of buttons and icon.
void CheckBox(const MsgBoxInfo& box, const wchar_t* caption, const std::wstring& text, std::size_t buttons,
              bool icon);

} // namespace e2e
