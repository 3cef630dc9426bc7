// The small release, made into its own setup by scripts/make-setup.sh,
// installs end to end with its own texts: caption, licence heading and text,
// folder, shortcut name, serial and version.
#include <shlobj.h>

#include "driver/e2e.h"
#include "driver/install_steps.h"
#include "driver/wizard_steps.h"
#include "setupdata/manifest.h"
#include "wizard/wizard_ids.h"

using namespace e2e;
namespace ids = wizard_ids;

namespace {

// The texts of tests/release/small-release.sh (the release under test, which
// install_steps.h reads as well).
const std::wstring kCaption = L"Quorvix轻量版v3.1.0.2（试用版）";
const std::wstring kInstallDir = L"C:\\Program Files\\QvLite31\\";
const std::wstring kLink = L"\\Quorvix轻量版v3.1.lnk";
const std::wstring kUninstallKey = L"software\\microsoft\\windows\\currentversion\\uninstall\\Quorvix";

std::wstring SpecialFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

void CheckText(HWND wizard, int id, const std::wstring& expected) {
    std::wstring text = Text(WizardControl(wizard, id));
    Check(text == expected, "control %d reads \"%s\", not \"%s\"", id, ToUtf8(text).c_str(),
          ToUtf8(expected).c_str());
}

std::wstring RegText(HKEY root, const std::wstring& key, const std::wstring& value) {
    std::wstring out;
    Check(RegRead(root, key, value, out), "no registry value %s\\%s", ToUtf8(key).c_str(), ToUtf8(value).c_str());
    return out;
}

} // namespace

E2E_SCENARIO(installs_with_its_own_texts) {
    RegistryTreeRestore appKeys;
    RegistryTreeRestore uninstallKey(HKEY_CURRENT_USER, kUninstallKey);
    RegistryTreeRestore extensionKey(HKEY_CLASSES_ROOT, L".Qvt");
    RegistryTreeRestore classKey(HKEY_CLASSES_ROOT, L"Software\\TAVIX");
    // No earlier installation: no question before the welcome page.
    CleanInstallation(kInstallDir);
    Process setup = StartSetupToWizard();
    HWND wizard = WaitWizard(setup.pid);

    // Welcome: the window caption and both texts come from [Form] Caption.
    Check(Text(wizard) == kCaption, "the wizard's caption is %s", ToUtf8(Text(wizard)).c_str());
    CheckText(wizard, ids::kLabel6, L"欢迎使用 " + kCaption);
    CheckText(wizard, ids::kLabel7, L"即将在您的电脑上安装“" + kCaption + L"” 请点击“下一步”按钮继续。");
    Screenshot(wizard, L"small_release_welcome");
    ClickNext(wizard);

    // Licence: the heading is [Form] SQXY, the text is item FileTxt4.
    Check(BandTitle(wizard) == L"软件许可协议", "licence heading %s", ToUtf8(BandTitle(wizard)).c_str());
    std::wstring licence = Text(WizardControl(wizard, ids::kMemo1));
    Check(licence.find(L"试用期为三十天。") != std::wstring::npos, "the licence page shows %s",
          ToUtf8(licence).c_str());
    ClickNext(wizard);

    // Folder: [SetupDir] SetupPath with a backslash.
    Check(InstallFolderText(wizard) == kInstallDir, "the folder is %s", ToUtf8(InstallFolderText(wizard)).c_str());
    ClickNext(wizard);

    // Ready.
    CheckText(wizard, ids::kLabel2, L"安装程序已经准备好在您的计算机上安装" + kCaption);
    StartInstall(wizard);

    // Finish, after the installation window has done its work.
    WaitFinishPage(wizard);
    CheckText(wizard, ids::kLabel8, kCaption + L" 安装完毕.");
    CheckText(wizard, ids::kLabel5, kCaption + L" 已经成功安装在您的电脑中");
    Screenshot(wizard, L"small_release_finish");
    ClickFinish(wizard);
    WaitExit(setup, 30000);

    // The product was started ("运行软件" stays ticked).
    Check(FindTop(0, L"TTavi30", nullptr, 15000) != nullptr, "the installed product did not start");
    KillByName(L"TAVI.exe");

    // Every manifest item lies below the folder byte for byte; Options.ini
    // has been marked by the finish button.
    std::string manifest;
    Check(ReadFileBytes(ReleaseDir() + L"\\Setup.log", manifest), "cannot read the small release's manifest");
    std::vector<std::string> lines = tavix::SplitManifestLines(manifest);
    Check(lines.size() == 8, "the small release has %zu lines, not 8", lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::wstring path = FromGbk(tavix::ParseManifestLine(lines[i], static_cast<int>(i)).TargetPath);
        if (path == L"Options.ini") continue;
        CheckSameFile(ReleaseDir() + L"\\" + path, kInstallDir + path);
    }
    CheckSameFile(ReleaseDir() + L"\\Uninstall.exe", kInstallDir + L"Uninstall.exe");
    wchar_t value[64] = {};
    std::wstring options = kInstallDir + L"Options.ini";
    GetPrivateProfileStringW(L"Option", L"Reset", L"", value, 64, options.c_str());
    Check(std::wstring(value) == L"88", "Options.ini Reset is \"%ls\", not 88", value);
    GetPrivateProfileStringW(L"Option", L"Lite", L"", value, 64, options.c_str());
    Check(std::wstring(value) == L"1", "Options.ini lost the release's own key");

    // Registry: serial, version and caption of this release.
    Check(RegText(HKEY_CURRENT_USER, L"Software\\TAVIX\\Shell\\Serial", L"Serial") == L"03010002", "serial");
    Check(RegText(HKEY_CURRENT_USER, L"Software\\TAVIX\\Shell\\Version", L"Version") == L"3.1.0.2（试用版）",
          "version");
    Check(RegText(HKEY_CURRENT_USER, L"Software\\TAVIX\\Shell\\PathName", L"Path") == kInstallDir, "path");
    Check(RegText(HKEY_CLASSES_ROOT, L"Software\\TAVIX", L"") == kCaption, "document type description");
    Check(RegText(HKEY_CLASSES_ROOT, L"Software\\TAVIX\\Shell\\Open\\Command", L"") ==
              kInstallDir + L"TAVI.exe %1",
          "open command");
    Check(RegText(HKEY_CURRENT_USER, kUninstallKey, L"uninstallstring") == kInstallDir + L"Uninstall.exe",
          "uninstall string");
    Check(RegText(HKEY_CURRENT_USER, kUninstallKey, L"DisplayVersion") == L"3.1.0.2", "display version");

    // The desktop shortcut under [Form] desKtopLink, the program group under
    // the caption; the temporary files are gone.
    Check(FileExists(SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + kLink), "no desktop shortcut %s",
          ToUtf8(kLink).c_str());
    Check(WaitProgramGroupWindow(15000) != nullptr, "the program group was not opened");
    for (const std::wstring& item : {kCaption, L"卸载" + kCaption})
        Check(FileExists(ProgramGroupDir() + L"\\" + item + L".lnk"), "no program group item %s",
              ToUtf8(item).c_str());
    Check(TempFilesGone(), "temporary control files are left behind");

    CleanInstallation(kInstallDir);
}
