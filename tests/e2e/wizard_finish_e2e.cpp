// The wizard's finish page after a real installation: the product's options
// file, the start of the product and the end of the setup.
#include <shlobj.h>

#include "driver/e2e.h"
#include "driver/setup_steps.h"
#include "driver/wizard_steps.h"
#include "driver/x_input.h"
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
    std::wstring group = ShellFolder(CSIDL_PROGRAMS) + L"\\" + caption;
    // What an earlier run that stopped half-way left goes first, so that
    // each check sees what this run made.
    InstallationCleanup() {
        Clean();
        Check(!FileExists(link) && !DirExists(group), "the desktop shortcut or the program group is there before the run");
    }
    ~InstallationCleanup() {
        KillByName(L"TAVI.exe");
        for (HWND w : TopWindows(0))
            if (Text(w) == caption && ClassOf(w) != L"TFormSchedule") PostClose(w);
        Clean();
    }
    void Clean() {
        DeleteTree(L"C:\\tavix_e2e_finish");
        DeleteTree(link);
        DeleteTree(group);
    }
};

// The product's window, once a stand-in of it runs from the folder.
HWND ProductWindow(DWORD timeoutMs) { return FindTop(0, L"TTavi30", nullptr, timeoutMs); }

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

// A point of the window's close box on the screen.
POINT CloseBoxPoint(HWND w) {
    RECT r;
    GetWindowRect(w, &r);
    for (int y = r.top + 2; y < r.top + 40; y += 2)
        for (int x = r.right - 2; x > r.right - 80; x -= 2)
            if (SendMessageW(w, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE) return POINT{x, y};
    Fail("the window has no close box");
}

// The product started from the finish page works in the installation
// folder, as the desktop shortcut starts it, and was started by the desktop
// shell. (Under Wine every program runs as the one user, elevated or not:
// that the shell's start gives the user's rights instead of the setup's can
// only be seen on Windows.)
void CheckStartedAsTheDesktopStartsIt(const ProductStartRecord::Start& start) {
    const std::wstring folder = kFolder.substr(0, kFolder.size() - 1);
    Check(lstrcmpiW(start.workingFolder.c_str(), folder.c_str()) == 0, "the product works in %s, not in %s",
          ToUtf8(start.workingFolder).c_str(), ToUtf8(folder).c_str());
    Check(start.args.empty(), "the product got arguments: %s", ToUtf8(start.commandLine).c_str());
    const std::wstring shell = L"\\explorer.exe";
    Check(start.startedBy.size() > shell.size() &&
              lstrcmpiW(start.startedBy.c_str() + start.startedBy.size() - shell.size(), shell.c_str()) == 0,
          "the product was started by %s, not by the desktop shell", ToUtf8(start.startedBy).c_str());
}

}  // namespace

E2E_SCENARIO(finish_starts_the_product) {
    ProductStartRecord record;
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

    // An options file that cannot be written is reported; the product starts
    // all the same and the wizard stays on its finish page.
    // (A folder in its place: a read-only file does not stop an administrator.)
    const std::wstring optionsPath = kFolder + L"Options.ini", kept = kFolder + L"Options.ini.kept";
    Check(MoveFileW(optionsPath.c_str(), kept.c_str()) && CreateDirectoryW(optionsPath.c_str(), nullptr),
          "cannot put a folder in the place of Options.ini");
    ClickFinish(w);
    MsgBoxInfo error = WaitMessageBox(s.process.pid);
    Check(error.caption == L"tavixSetup" && error.text == L"Unable to write to " + optionsPath + L".",
          "error box %s: %s", ToUtf8(error.caption).c_str(), ToUtf8(error.text).c_str());
    Answer(error, IDOK);
    Check(ProductWindow(10000) != nullptr, "the product was not started after the failed write");
    CheckStartedAsTheDesktopStartsIt(record.WaitStarts(1).back());
    Check(!HasExited(s.process) && IsShown(w) && WizardPage(w) == 5, "the setup did not stay on the finish page");
    KillByName(L"TAVI.exe");
    Check(WaitFor([] { return ProductWindow(0) == nullptr; }, 5000), "the product did not end");
    Check(RemoveDirectoryW(optionsPath.c_str()) && MoveFileW(kept.c_str(), optionsPath.c_str()),
          "cannot put Options.ini back");

    // 完毕 again: the marker is written, the product starts and the setup ends.
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
    CheckStartedAsTheDesktopStartsIt(record.WaitStarts(2).back());
}

E2E_SCENARIO(finish_without_running_leaves_options_alone) {
    FinishedSetup s(false);
    HWND w = s.wizard;
    Check(!LinkExists(s), "a desktop shortcut was made with the box cleared");
    SetRunAfterInstall(w, false);
    ClickFinish(w);
    WaitExit(s.process, 15000);
    Check(TempFilesGone(), "temporary control files are left");
    std::string options, release;
    Check(ReadFileBytes(ReleaseDir() + L"\\Options.ini", release), "cannot read the release's Options.ini");
    Check(ReadFileBytes(kFolder + L"Options.ini", options) && options == release, "Options.ini was changed");
    Check(ProductWindow(1500) == nullptr, "the product was started");
}

// Closing the finish page, by its close box or by Alt+F4, asks nothing and
// ends the setup as 完毕 does, but starts nothing and leaves Options.ini as
// it was installed.
E2E_SCENARIO(finish_page_closes_without_question) {
    struct Way {
        const char* what;
        void (*close)(HWND wizard);
    };
    const Way ways[] = {
        {"the close box", [](HWND w) { ClickOnScreen(CloseBoxPoint(w).x, CloseBoxPoint(w).y); }},
        {"Alt+F4", [](HWND w) {
             CheckKeysGoTo(w, "the finish page");
             PressKeys("alt+F4");
         }},
    };
    for (const Way& way : ways) {
        Log("closing by %s", way.what);
        FinishedSetup s;
        way.close(s.wizard);
        Check(NoMessageBox(s.process.pid, 1500), "closing the finish page by %s asked a question", way.what);
        Check(WaitFor([&] { return HasExited(s.process); }, 15000), "closing the finish page by %s did not end the setup",
              way.what);
        DWORD code = WaitExit(s.process, 1000);
        Check(code == 0, "%s: the setup ended with exit code %lu", way.what, code);
        Check(TempFilesGone(), "%s: temporary control files are left", way.what);
        CheckSameFile(ReleaseDir() + L"\\Options.ini", kFolder + L"Options.ini");
        Check(ProductWindow(1500) == nullptr, "%s: the product was started", way.what);
    }
}
