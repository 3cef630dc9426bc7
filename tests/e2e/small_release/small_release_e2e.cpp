// The small release, made into its own setup by scripts/make-setup.sh:
// it installs end to end with its own texts (caption, licence heading and
// text, folder, shortcut name, serial and version) and every file byte for
// byte, 東方.txt and a keyword-named item among them, and Windows reads its
// file properties (version resource and icon).
#include "driver/e2e.h"

#include <algorithm>

#include <shellapi.h>
#include <shlobj.h>

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
    InstallRegistryRestore registry;
    // No earlier installation: no question before the welcome page.
    WaitForProgramManager();
    CleanInstallation(kInstallDir);
    Process setup = StartSetupToWizard();
    HWND wizard = WaitWizard(setup.pid);

    // The backdrop's title and the welcome page: the window caption and both texts come from [Form] Caption.
    Check(FindChild(WaitTop(setup.pid, L"TFormain", nullptr), L"TPanel", (L"  " + kCaption + L"安装程序 ").c_str()) !=
              nullptr,
          "the backdrop's title does not name the release");
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
    Check(lines.size() == 10, "the small release has %zu lines, not 10", lines.size());
    std::vector<std::wstring> installed;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::wstring path = FromGbk(tavix::ParseManifestLine(lines[i], static_cast<int>(i)).TargetPath);
        if (path == L"Options.ini") continue;
        CheckSameFile(ReleaseDir() + L"\\" + path, kInstallDir + path);
        installed.push_back(path);
    }
    // Among them: a name whose GBK second byte is "|" (東 is 0x96 0x7C), and
    // the item named with keywords of a resource script (__LINE__ RCDATA).
    for (const std::wstring& path : {std::wstring(L"文档\\東方.txt"), std::wstring(L"Data\\Lite.idx")})
        Check(std::find(installed.begin(), installed.end(), path) != installed.end(), "%s was not checked",
              ToUtf8(path).c_str());
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
              L"\"" + kInstallDir + L"TAVI.exe\" \"%1\"",
          "open command");
    Check(RegText(HKEY_CURRENT_USER, kUninstallKey, L"uninstallstring") == L"\"" + kInstallDir + L"Uninstall.exe\"",
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

// The file's properties as Windows reads them: the version resource made
// from the small release's control file, and the setup's icon.
E2E_SCENARIO(file_properties_name_the_release) {
    std::wstring exe = SetupExe();
    DWORD ignored = 0, size = GetFileVersionInfoSizeW(exe.c_str(), &ignored);
    Check(size > 0, "the setup has no version resource (error %lu)", GetLastError());
    std::vector<char> info(size);
    Check(GetFileVersionInfoW(exe.c_str(), 0, size, info.data()) != 0, "cannot read the version resource");

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    Check(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &len) && fixed, "no fixed part");
    Check(fixed->dwFileVersionMS == MAKELONG(1, 3) && fixed->dwFileVersionLS == MAKELONG(2, 0),
          "file version %lu.%lu.%lu.%lu, not 3.1.0.2", fixed->dwFileVersionMS >> 16, fixed->dwFileVersionMS & 0xFFFF,
          fixed->dwFileVersionLS >> 16, fixed->dwFileVersionLS & 0xFFFF);
    Check(fixed->dwProductVersionMS == fixed->dwFileVersionMS && fixed->dwProductVersionLS == fixed->dwFileVersionLS,
          "the product version differs from the file version");

    struct Expected {
        const wchar_t* key;
        std::wstring value;
    };
    const Expected strings[] = {
        {L"CompanyName", L"Velmora"},
        {L"ProductName", L"Quorvix"},
        {L"FileDescription", kCaption + L" 安装程序"},
        {L"FileVersion", L"3.1.0.2（试用版）"},
        {L"ProductVersion", L"3.1.0.2（试用版）"},
        {L"OriginalFilename", L"TavixSetup.exe"},
    };
    for (const Expected& e : strings) {
        wchar_t* value = nullptr;
        std::wstring path = std::wstring(L"\\StringFileInfo\\080404b0\\") + e.key;
        Check(VerQueryValueW(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &len) && value,
              "no %ls in the version resource", e.key);
        Check(value == e.value, "%ls is \"%s\", not \"%s\"", e.key, ToUtf8(value).c_str(), ToUtf8(e.value).c_str());
    }

    HICON large = nullptr;
    UINT icons = ExtractIconExW(exe.c_str(), 0, &large, nullptr, 1);
    Check(icons == 1 && large != nullptr, "the setup shows no icon of its own");
    ICONINFO ii = {};
    Check(GetIconInfo(large, &ii) != 0, "cannot read the icon");
    BITMAP bm = {};
    GetObjectW(ii.hbmColor, sizeof bm, &bm);
    Check(bm.bmWidth == GetSystemMetrics(SM_CXICON), "the icon is %ld pixels wide", bm.bmWidth);
    DeleteObject(ii.hbmColor);
    DeleteObject(ii.hbmMask);
    DestroyIcon(large);
}
