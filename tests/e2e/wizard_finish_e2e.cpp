// The wizard's finish page after a real installation: the product's options
// file, the start of the product and the end of the setup.
#include <shlobj.h>

#include "driver/e2e.h"
#include "driver/wizard_steps.h"
#include "wizard/wizard_ids.h"

using namespace e2e;
namespace ids = wizard_ids;

namespace {

const std::wstring kFolder = L"C:\\tavix_e2e_finish\\";

std::wstring ShellFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

// Everything an installation into kFolder leaves behind goes again: the
// folder, the shortcut, the program group and the window showing it, the
// product's registry keys (put back as they were).
struct InstallationCleanup {
    RegistryTreeRestore app{HKEY_CURRENT_USER, L"Software\\TAVIX"};
    RegistryTreeRestore uninstall{HKEY_CURRENT_USER,
                                  L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvix"};
    RegistryTreeRestore ext{HKEY_CLASSES_ROOT, L".Qvt"};
    RegistryTreeRestore cls{HKEY_CLASSES_ROOT, L"Software\\TAVIX"};
    std::wstring caption = ReleaseSetupValue("Form", "Caption");
    std::wstring link = ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + ReleaseSetupValue("Form", "desKtopLink");
    bool linkExisted = FileExists(link);
    std::wstring group = ShellFolder(CSIDL_PROGRAMS) + L"\\" + caption;
    bool groupExisted = DirExists(group);
    InstallationCleanup() { DeleteTree(L"C:\\tavix_e2e_finish"); }
    ~InstallationCleanup() {
        KillByName(L"TAVI.exe");
        for (HWND w : TopWindows(0))
            if (Text(w) == caption && ClassOf(w) != L"TFormSchedule") PostClose(w);
        DeleteTree(L"C:\\tavix_e2e_finish");
        if (!linkExisted) DeleteTree(link);
        if (!groupExisted) DeleteTree(group);
    }
};

// The product's window, once a stand-in of it runs from the folder.
HWND ProductWindow(DWORD timeoutMs) { return FindTop(0, L"TTavi30", nullptr, timeoutMs); }

std::wstring ProcessImage(HWND w) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!h) return L"";
    wchar_t path[MAX_PATH] = {};
    DWORD n = MAX_PATH;
    QueryFullProcessImageNameW(h, 0, path, &n);
    CloseHandle(h);
    return std::wstring(path, n);
}

// A setup walked to its finish page, installing into kFolder.
struct FinishedSetup {
    InstallationCleanup cleanup;
    Process process;
    HWND wizard = nullptr;
    explicit FinishedSetup(bool desktopLink = true) {
        RegDeleteTree(HKEY_CURRENT_USER, L"Software\\TAVIX");
        Check(!ProductWindow(0), "a product window is open before the setup");
        process = StartSetupToWizard();
        wizard = WaitWizard(process.pid);
        Check(NoMessageBox(process.pid, 800), "a message box came up at the start");
        GoToFolderPage(wizard);
        SetInstallFolder(wizard, kFolder);
        if (!desktopLink) SetCreateDesktopLink(wizard, false);
        GoToReadyPage(wizard);
        StartInstall(wizard);
        WaitFinishPage(wizard);
    }
    ~FinishedSetup() { Kill(process); }
};

// The release's Options.ini with [Option] Reset set to 88, the rest kept.
std::string MarkedOptions() {
    std::string bytes;
    Check(ReadFileBytes(ReleaseDir() + L"\\Options.ini", bytes), "cannot read the release's Options.ini");
    std::size_t at = bytes.find("\r\nReset=", bytes.find("[Option]"));
    Check(at != std::string::npos, "the release's Options.ini has no [Option] Reset");
    std::size_t end = bytes.find("\r\n", at + 2);
    return bytes.substr(0, at) + "\r\nReset=88" + bytes.substr(end);
}

bool LinkExists(const FinishedSetup& s) { return FileExists(s.cleanup.link); }

}  // namespace

E2E_SCENARIO(finish_starts_the_product) {
    FinishedSetup s;
    HWND w = s.wizard;
    const std::wstring caption = ReleaseSetupValue("Form", "Caption");
    Check(WizardPage(w) == 5 && TopBandShown(w) && !LeftStripShown(w), "not the finish page's look");
    Check(Text(WizardControl(w, ids::kLabel8)) == caption + L" 安装完毕.", "Label8: %s",
          ToUtf8(Text(WizardControl(w, ids::kLabel8))).c_str());
    Check(Text(WizardControl(w, ids::kLabel9)) == L"请点击“完毕”按钮退出安装程序。", "Label9: %s",
          ToUtf8(Text(WizardControl(w, ids::kLabel9))).c_str());
    Check(!IsEnabled(WizardControl(w, ids::kBtnPri)) && !IsEnabled(WizardControl(w, ids::kBtnExit)),
          "Back or Exit is enabled on the finish page");
    Check(SendMessageW(WizardControl(w, ids::kChbRun), BM_GETCHECK, 0, 0) == BST_CHECKED, "运行软件 is not checked");
    Screenshot(w, L"wizard_finish");
    Check(LinkExists(s), "the desktop shortcut was not made");

    ClickFinish(w);
    WaitExit(s.process, 15000);
    Check(TempFilesGone(), "temporary control files are left");
    std::string options;
    Check(ReadFileBytes(kFolder + L"Options.ini", options), "no Options.ini in the folder");
    Check(options == MarkedOptions(), "Options.ini is not the release's with Reset=88:\n%s", options.c_str());
    HWND product = ProductWindow(10000);
    Check(product != nullptr, "the product was not started");
    Check(lstrcmpiW(ProcessImage(product).c_str(), (kFolder + L"TAVI.exe").c_str()) == 0, "the product runs from %s",
          ToUtf8(ProcessImage(product)).c_str());
}

E2E_SCENARIO(finish_without_running_leaves_options_alone) {
    FinishedSetup s(false);
    HWND w = s.wizard;
    Check(s.cleanup.linkExisted || !LinkExists(s), "a desktop shortcut was made with the box cleared");
    SetRunAfterInstall(w, false);
    ClickFinish(w);
    WaitExit(s.process, 15000);
    Check(TempFilesGone(), "temporary control files are left");
    std::string options, release;
    Check(ReadFileBytes(ReleaseDir() + L"\\Options.ini", release), "cannot read the release's Options.ini");
    Check(ReadFileBytes(kFolder + L"Options.ini", options) && options == release, "Options.ini was changed");
    Check(ProductWindow(1500) == nullptr, "the product was started");
}

E2E_SCENARIO(finish_page_closes_without_question) {
    FinishedSetup s;
    PostClose(s.wizard);
    Check(NoMessageBox(s.process.pid, 1500), "closing the finish page asked a question");
    Check(WaitFor([&] { return !IsWindow(s.wizard); }, 5000), "the wizard did not close");
    Check(!HasExited(s.process), "closing the finish page ended the setup");
}
