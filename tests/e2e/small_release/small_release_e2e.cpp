// The small release, made into its own setup by scripts/make-setup.sh,
// installs end to end with its own texts: caption, licence heading and text,
// folder, shortcut name, serial and version.
#include <shlobj.h>

#include "driver/e2e.h"
#include "setupdata/manifest.h"

using namespace e2e;

namespace {

// The texts of tests/release/small-release.sh.
const std::wstring kCaption = L"Quorvix轻量版v3.1.0.2（试用版）";
const std::wstring kInstallDir = L"C:\\Program Files\\QvLite31\\";
const std::wstring kLink = L"\\Quorvix轻量版v3.1.lnk";

std::wstring SpecialFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

// What an installation of any release leaves behind, so that each run starts
// with no earlier installation.
void RemoveInstallation() {
    KillByName(L"TAVI.exe");
    RegDeleteTree(HKEY_CURRENT_USER, L"Software\\TAVIX");
    RegDeleteTree(HKEY_CURRENT_USER, L"software\\microsoft\\windows\\currentversion\\uninstall\\Quorvix");
    RegDeleteTree(HKEY_CLASSES_ROOT, L".Qvt");
    RegDeleteTree(HKEY_CLASSES_ROOT, L"Software\\TAVIX");
    DeleteTree(kInstallDir);
    DeleteFileW((SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + kLink).c_str());
    DeleteTree(SpecialFolder(CSIDL_COMMON_PROGRAMS) + L"\\" + kCaption);
    DeleteTree(SpecialFolder(CSIDL_PROGRAMS) + L"\\" + kCaption);
}

// A descendant of `parent` with that class (null: any) whose text contains `part`.
struct ChildSearch {
    const wchar_t* cls;
    const std::wstring* part;
    HWND found;
};

BOOL CALLBACK MatchChild(HWND w, LPARAM lp) {
    auto* search = reinterpret_cast<ChildSearch*>(lp);
    if (search->cls && lstrcmpiW(ClassOf(w).c_str(), search->cls) != 0) return TRUE;
    if (Text(w).find(*search->part) == std::wstring::npos) return TRUE;
    search->found = w;
    return FALSE;
}

HWND WaitChildContaining(HWND parent, const wchar_t* cls, const std::wstring& part, DWORD timeoutMs = 10000) {
    ChildSearch search{cls, &part, nullptr};
    WaitFor([&] {
        EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    }, timeoutMs);
    if (!search.found) Fail("no control containing \"%s\"", ToUtf8(part).c_str());
    return search.found;
}

std::wstring RegText(HKEY root, const std::wstring& key, const std::wstring& value) {
    std::wstring out;
    Check(RegRead(root, key, value, out), "no registry value %s\\%s", ToUtf8(key).c_str(), ToUtf8(value).c_str());
    return out;
}

} // namespace

E2E_SCENARIO(installs_with_its_own_texts) {
    RemoveInstallation();
    Process setup = Launch(SetupExe());

    // Welcome: the window caption and both texts come from [Form] Caption.
    HWND wizard = WaitTop(setup.pid, nullptr, kCaption.c_str(), 30000);
    WaitChild(wizard, nullptr, (L"欢迎使用 " + kCaption).c_str());
    WaitChild(wizard, nullptr, (L"即将在您的电脑上安装“" + kCaption + L"” 请点击“下一步”按钮继续。").c_str());
    Screenshot(wizard, L"small_release_welcome");
    HWND next = WaitChild(wizard, L"Button", L"下一步 >");
    Click(next);

    // Licence: the heading is [Form] SQXY, the text is item FileTxt4.
    WaitChild(wizard, nullptr, L"软件许可协议");
    WaitChildContaining(wizard, nullptr, L"试用期为三十天。");
    Click(next);

    // Folder: [SetupDir] SetupPath with a backslash.
    WaitChild(wizard, nullptr, kInstallDir.c_str());
    Click(next);

    // Ready.
    WaitChild(wizard, nullptr, (L"安装程序已经准备好在您的计算机上安装" + kCaption).c_str());
    Click(next);

    // Finish, after the installation window has done its work.
    WaitChild(wizard, nullptr, (kCaption + L" 安装完毕.").c_str(), 120000);
    Screenshot(wizard, L"small_release_finish");
    Click(WaitChild(wizard, L"Button", L"完毕"));
    Check(WaitExit(setup, 30000) == 0, "the setup did not end cleanly");

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
    Check(RegText(HKEY_CURRENT_USER, L"software\\microsoft\\windows\\currentversion\\uninstall\\Quorvix",
                  L"uninstallstring") == kInstallDir + L"Uninstall.exe",
          "uninstall string");

    // The desktop shortcut under [Form] desKtopLink; the temporary files are gone.
    Check(FileExists(SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + kLink), "no desktop shortcut %s",
          ToUtf8(kLink).c_str());
    for (const wchar_t* temp : {L"avixSetup.log", L"avixSetup.ini", L"SQXY.txt"})
        Check(!FileExists(WindowsTempDir() + temp), "%ls is left in the temporary folder", temp);

    RemoveInstallation();
}
