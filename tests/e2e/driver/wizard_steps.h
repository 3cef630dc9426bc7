// Steps through the setup's wizard as a user would: start the setup, walk the
// pages, type a folder, read the drive list, start the installation, finish.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "e2e.h"

namespace e2e {

// ---- starting -------------------------------------------------------------------

// Launches TavixSetup.exe (or another setup) and waits until its wizard
// window is shown. A question of the earlier-installation check may be open
// on top of it.
Process StartSetupToWizard(const std::wstring& exe = std::wstring());
// The visible wizard window ("TFormSchedule") of the process; Fail()s on timeout.
HWND WaitWizard(DWORD pid, DWORD timeoutMs = 20000);

// A value of the release's control file (TAVIX_RELEASE_DIR\Setup.ini).
std::wstring ReleaseSetupValue(const char* section, const char* key);

// ---- controls -------------------------------------------------------------------

// A control of the wizard by its id (wizard/wizard_ids.h); Fail()s when missing.
HWND WizardControl(HWND wizard, int id);
// The wizard button showing exactly `text` ("下一步 >", "< 返回", "退出",
// "完毕", ...); null when none does.
HWND FindWizardButton(HWND wizard, const std::wstring& text);
// Index of the notebook page that is switched on (0 to 5), -1 when none is.
int WizardPage(HWND wizard);
// The band title and subtitle ("" when the subtitle is hidden), and whether
// the top band and the left strip are shown.
std::wstring BandTitle(HWND wizard);
std::wstring BandSubtitle(HWND wizard);
bool TopBandShown(HWND wizard);
bool LeftStripShown(HWND wizard);

// ---- walking --------------------------------------------------------------------

// Presses Next and waits until the page changed (or the wizard hid itself).
void ClickNext(HWND wizard);
// Presses Back and waits until the page changed.
void ClickBack(HWND wizard);
// From the welcome page to the folder page (page 2) / the ready page (page 3).
void GoToFolderPage(HWND wizard);
void GoToReadyPage(HWND wizard);

// ---- the folder page -----------------------------------------------------------

// Types `folder` into the folder box (the installation folder follows it).
void SetInstallFolder(HWND wizard, const std::wstring& folder);
std::wstring InstallFolderText(HWND wizard);
// The drive list as shown: one vector of five cells per row.
std::vector<std::vector<std::wstring>> DriveGridRows(HWND wizard);
// The selected (marked) row of the drive list, -1 when the list is empty.
int DriveGridSelectedRow(HWND wizard);
// Double-clicks a row of the drive list.
void DoubleClickDriveRow(HWND wizard, int row);

// Presses the browse button and returns the folder browser once it is open.
HWND OpenFolderBrowser(HWND wizard, DWORD timeoutMs = 15000);
// The texts of the folder browser's static controls (its title among them).
std::vector<std::wstring> FolderBrowserTexts(HWND browser);

// Sets the folder page's "创建桌面快捷方式" check box.
void SetCreateDesktopLink(HWND wizard, bool create);

// ---- installing and finishing ----------------------------------------------------

// Presses Next on the ready page and waits until the wizard has handed over
// (it hides itself); returns the installation window when one is shown.
HWND StartInstall(HWND wizard, DWORD timeoutMs = 15000);
// Waits until the installation window brings the wizard back on its finish page.
void WaitFinishPage(HWND wizard, DWORD timeoutMs = 120000);
// Sets the finish page's "运行软件" check box.
void SetRunAfterInstall(HWND wizard, bool run);
// Presses "完毕" on the finish page.
void ClickFinish(HWND wizard);

// ---- leaving ----------------------------------------------------------------------

// True when none of the three temporary control files is left.
bool TempFilesGone();

// ---- registry -----------------------------------------------------------------------

// Takes a copy of a registry tree (HKEY_CURRENT_USER\Software\TAVIX unless
// told otherwise: keys, values, types and data) and puts it back as it was
// when it goes, removing whatever was added meanwhile.
class RegistryTreeRestore {
public:
    explicit RegistryTreeRestore(HKEY root = HKEY_CURRENT_USER, const std::wstring& path = L"Software\\TAVIX");
    ~RegistryTreeRestore();
    RegistryTreeRestore(const RegistryTreeRestore&) = delete;
    RegistryTreeRestore& operator=(const RegistryTreeRestore&) = delete;

    struct Value {
        std::wstring name;
        DWORD type = 0;
        std::string data;
    };
    struct Key {
        std::wstring path;  // below the root
        std::vector<Value> values;
    };

private:
    HKEY root_;
    std::wstring path_;
    bool existed_ = false;
    std::vector<Key> keys_;  // parents before their children
};

// A started setup whose earlier-installation check has nothing to ask: the
// product's registry tree is emptied for the run and put back afterwards.
struct FreshSetup {
    RegistryTreeRestore registry;
    Process process;
    HWND wizard = nullptr;
    // Starts the setup of the release, or `exe`.
    explicit FreshSetup(const std::wstring& exe = std::wstring());
    ~FreshSetup() { Kill(process); }
};

}  // namespace e2e
