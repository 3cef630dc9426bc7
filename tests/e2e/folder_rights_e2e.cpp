// The installation folder stays the administrators': the rights of the
// folders the setup makes on a data drive, an existing folder's rights left
// alone, no link followed below the installation folder (links above it
// are), and a log that a link on its way would send elsewhere refused.
//
// Wine 8 keeps a file's rights only as its Unix mode (no Windows security
// descriptor is stored), and reads them back from it: a folder made with
// rights that give Everyone nothing reads back without an entry for
// Everyone, which every folder made otherwise has. It makes no Windows link
// either, but shows a Unix symbolic link as a folder or file that leads
// elsewhere, which the scenarios use in place of a junction.
#include <aclapi.h>
#include <sddl.h>

#include "driver/e2e.h"
#include "driver/install_steps.h"
#include "driver/silent_steps.h"

using namespace e2e;

namespace {

const wchar_t kDataRoot[] = L"D:\\Tavix E2E";

// The folder's rights as the system reads them back, in its descriptor language.
std::wstring Rights(const std::wstring& folder) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    PACL dacl = nullptr;
    const DWORD r = GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                          &dacl, nullptr, &sd);
    Check(r == ERROR_SUCCESS, "cannot read the rights of %s (error %lu)", ToUtf8(folder).c_str(), r);
    LPWSTR text = nullptr;
    Check(ConvertSecurityDescriptorToStringSecurityDescriptorW(sd, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text,
                                                               nullptr) != FALSE,
          "cannot write the rights of %s as text", ToUtf8(folder).c_str());
    const std::wstring out = text;
    LocalFree(text);
    LocalFree(sd);
    return out;
}

// Whether ordinary users may change what is in the folder, by the entries
// of its rights: any entry for Everyone, or one that lets Users,
// Authenticated Users or the interactive user write or delete.
bool UsersMayChange(const std::wstring& folder) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    PACL dacl = nullptr;
    Check(GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                nullptr, &sd) == ERROR_SUCCESS,
          "cannot read the rights of %s", ToUtf8(folder).c_str());
    constexpr ACCESS_MASK kChange = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_DELETE_CHILD |
                                    FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE |
                                    GENERIC_ALL;
    bool may = !dacl;  // no list of rights: everyone may do everything
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        ACE_HEADER* ace = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace)) || ace->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
        const auto* allowed = reinterpret_cast<ACCESS_ALLOWED_ACE*>(ace);
        PSID sid = const_cast<DWORD*>(&allowed->SidStart);
        if (IsWellKnownSid(sid, WinWorldSid)) may = true;
        if ((IsWellKnownSid(sid, WinBuiltinUsersSid) || IsWellKnownSid(sid, WinAuthenticatedUserSid) ||
             IsWellKnownSid(sid, WinInteractiveSid)) &&
            (allowed->Mask & kChange))
            may = true;
    }
    LocalFree(sd);
    return may;
}

// Installs into `dir` without windows, logging to `log`; fails unless the
// exit code is `expected`. Returns the log.
std::wstring Install(const std::wstring& dir, const std::wstring& log, DWORD expected, const char* what) {
    DeleteFileW(log.c_str());
    Process p = Launch(SetupExe(), L"/S \"/LOG=" + log + L"\" /D=" + dir.substr(0, dir.size() - 1));
    const DWORD code = WaitExit(p, 120000);
    CloseHandle(p.handle);
    std::string bytes;
    const std::wstring text = ReadFileBytes(log, bytes) ? FromUtf8(bytes) : L"(no log)";
    Check(code == expected, "%s: exit code %lu, not %lu:\n%s", what, code, expected, ToUtf8(text).c_str());
    return text;
}

struct DataRootCleanup {
    DataRootCleanup() { DeleteTree(kDataRoot); }
    ~DataRootCleanup() { DeleteTree(kDataRoot); }
};

} // namespace

// A new folder two levels below an existing one on drive D: both levels get
// rights that let ordinary users change nothing; installing again into the
// folder, and installing into a folder that exists with rights of its own,
// leaves its rights as they were.
E2E_SCENARIO(the_folders_the_setup_makes_are_the_administrators_and_an_existing_one_keeps_its_rights) {
    DataRootCleanup cleanup;
    CreateDirectoryW(kDataRoot, nullptr);
    const std::wstring top = std::wstring(kDataRoot) + L"\\新 目录", dir = top + L"\\Tavix280\\";
    InstallScenario s(dir);
    const std::wstring log = std::wstring(kDataRoot) + L"\\安装.log";
    Check(UsersMayChange(kDataRoot), "a folder made as usual on D: reads back as the users' (%s): the check shows nothing",
          ToUtf8(Rights(kDataRoot)).c_str());
    const std::wstring rootRights = Rights(kDataRoot);
    const std::wstring text = Install(dir, log, 0, "a new folder on D:");
    for (const std::wstring& made : {top, dir.substr(0, dir.size() - 1)}) {
        Check(!UsersMayChange(made), "users may change %s: %s", ToUtf8(made).c_str(), ToUtf8(Rights(made)).c_str());
        Check(text.find(L"made folder " + made + L" with the rights of C:\\Program Files") != std::wstring::npos,
              "the log does not say %s was made with its rights", ToUtf8(made).c_str());
    }
    Check(Rights(kDataRoot) == rootRights, "the rights of the folder above, which existed, changed");

    // Installed again: the folder exists and keeps the rights it has.
    const std::wstring installed = Rights(dir);
    Install(dir, log, 0, "installing again");
    Check(Rights(dir) == installed, "the rights of an existing installation folder changed: %s",
          ToUtf8(Rights(dir)).c_str());

    // A folder an administrator made (here with the usual rights) keeps them.
    const std::wstring own = std::wstring(kDataRoot) + L"\\自己的\\";
    CreateDirectoryW(own.c_str(), nullptr);
    const std::wstring before = Rights(own);
    Install(own, log, 0, "an existing folder");
    Check(Rights(own) == before, "the rights of the existing folder changed from %s to %s", ToUtf8(before).c_str(),
          ToUtf8(Rights(own)).c_str());
}

// A folder of the release below the installation folder that someone made
// a link to another place is refused, and nothing is written there; a link
// above the installation folder is followed; an installation folder that is
// itself a link is refused before anything is written.
E2E_SCENARIO(no_link_below_the_installation_folder_is_followed) {
    const std::wstring real = std::wstring(kTestRoot) + L"\\真实", linked = std::wstring(kTestRoot) + L"\\链接";
    const std::wstring dir = linked + L"\\Tavix280\\", outside = std::wstring(kTestRoot) + L"\\外面";
    InstallScenario s(real + L"\\Tavix280\\");
    const std::wstring log = std::wstring(kTestRoot) + L"\\安装.log";
    CreateDirectoryW(real.c_str(), nullptr);
    CreateDirectoryW(outside.c_str(), nullptr);
    MakeUnixLink(linked, real);

    // A link above: the administrator's own, followed.
    Install(dir, log, 0, "below a linked folder");
    CheckManifestInstalled(real + L"\\Tavix280\\", 0, Release().manifestLines.size());

    // A folder of the release replaced by a link: refused, the rest installed.
    DeleteTree(real + L"\\Tavix280\\CYLib");
    MakeUnixLink(real + L"\\Tavix280\\CYLib", outside);
    const std::wstring text = Install(dir, log, 6, "a folder of the release replaced by a link");
    Check(FilesIn(outside + L"\\").empty(), "files were written through the link into %s", ToUtf8(outside).c_str());
    Check(text.find(L"文件夹\\CYLib 是指向其他位置的链接") != std::wstring::npos, "the log does not say why:\n%s",
          ToUtf8(text).c_str());
    CheckSameFile(ReleaseDir() + L"\\Readme.txt", real + L"\\Tavix280\\Readme.txt");

    // The installation folder itself a link: refused as a folder.
    const std::wstring linkedDir = std::wstring(kTestRoot) + L"\\链接目录\\";
    MakeUnixLink(linkedDir.substr(0, linkedDir.size() - 1), outside);
    Install(linkedDir, log, 5, "an installation folder that is a link");
    Check(FilesIn(outside + L"\\").empty(), "files were written through the linked installation folder");
    DeleteTree(real + L"\\Tavix280\\CYLib");
    DeleteTree(linked);
    DeleteTree(linkedDir.substr(0, linkedDir.size() - 1));
}

// A log whose path leads through a link to another folder is refused by
// both programs, and nothing is made there; its real path is taken.
E2E_SCENARIO(a_log_behind_a_link_is_refused) {
    const std::wstring dir = std::wstring(kTestRoot) + L"\\日志 安装\\";
    InstallScenario s(dir);
    const std::wstring real = std::wstring(kTestRoot) + L"\\日志", linked = std::wstring(kTestRoot) + L"\\日志链接";
    CreateDirectoryW(real.c_str(), nullptr);
    MakeUnixLink(linked, real);
    const SilentRun run = RunSilently(SetupExe(), L"/S \"/LOG=" + linked + L"\\q.log\" /D=" + dir.substr(0, dir.size() - 1));
    Check(run.code == 1, "the setup with a log behind a link: exit code %lu, not 1", run.code);
    CheckNothingInstalled(dir);
    Check(FilesIn(real + L"\\").empty(), "a log was made behind the link");

    Install(dir, real + L"\\q.log", 0, "the log's real path");
    Process u = Launch(dir + L"Uninstall.exe", L"/S \"/LOG=" + linked + L"\\u.log\"");
    Check(WaitExit(u, 60000) == 1, "the uninstaller with a log behind a link: not exit code 1");
    CloseHandle(u.handle);
    Check(!FileExists(real + L"\\u.log"), "the uninstaller made a log behind the link");
    Check(FileExists(dir + L"TAVI.exe"), "the uninstaller removed files");
    DeleteTree(linked);
}
