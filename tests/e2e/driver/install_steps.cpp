#include "install_steps.h"

#include <ddeml.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <set>

#include "e2e.h"
#include "setup_copies.h"
#include "setupdata/ini.h"
#include "setupdata/gbk.h"
#include "setupdata/manifest.h"
#include "setupdata/temporary_names.h"

namespace e2e {

std::wstring W936(const std::string& gbk) { return Wide(gbk, 936); }

// ---- the release ---------------------------------------------------------------------

const ReleaseInfo& Release() {
    static ReleaseInfo info = [] {
        ReleaseInfo r;
        std::string ini, log;
        Check(ReadFileBytes(ReleaseDir() + L"\\Setup.ini", ini), "cannot read the release's Setup.ini");
        Check(ReadFileBytes(ReleaseDir() + L"\\Setup.log", log), "cannot read the release's Setup.log");
        r.caption = tavix::IniLookup(ini, "Form", "Caption");
        r.serial = tavix::IniLookup(ini, "Form", "Serial");
        r.version = tavix::IniLookup(ini, "Form", "Version");
        r.desktopLink = tavix::IniLookup(ini, "Form", "desKtopLink");
        r.exeName = tavix::IniLookup(ini, "Run", "FileName");
        r.manifestLines = tavix::SplitManifestLines(log);
        return r;
    }();
    return info;
}

static std::wstring TargetPathOf(std::size_t index) {
    const std::vector<std::string>& lines = Release().manifestLines;
    Check(index < lines.size(), "no manifest line %zu", index);
    return W936(tavix::ParseManifestLine(lines[index], static_cast<int>(index)).TargetPath);
}

std::size_t LineOf(const std::wstring& target) {
    for (std::size_t i = 0; i < Release().manifestLines.size(); ++i)
        if (TargetPathOf(i) == target) return i;
    Fail("the release has no target %s", ToUtf8(target).c_str());
}

std::wstring ReleaseFileOf(std::size_t index) { return ReleaseDir() + L"\\" + TargetPathOf(index); }
std::wstring TargetOf(const std::wstring& installDir, std::size_t index) { return installDir + TargetPathOf(index); }

// ---- places --------------------------------------------------------------------------

static std::wstring FolderPath(int csidl) {
    wchar_t buf[MAX_PATH] = {};
    Check(SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buf)), "no folder %d", csidl);
    return buf;
}

std::wstring CommonDesktopDir() { return FolderPath(CSIDL_COMMON_DESKTOPDIRECTORY); }
std::wstring ProgramsDir() { return FolderPath(CSIDL_PROGRAMS); }
std::wstring DesktopLinkPath() { return CommonDesktopDir() + W936(Release().desktopLink); }
std::wstring ProgramGroupDir() { return ProgramsDir() + L"\\" + W936(Release().caption); }
std::wstring TempManifestPath() { return WindowsTempDir() + L"avixSetup.log"; }

static const wchar_t kUninstallKey[] = L"software\\microsoft\\windows\\currentversion\\uninstall\\Quorvix";

HWND WaitProgramGroupWindow(DWORD timeoutMs) {
    const std::wstring caption = W936(Release().caption);
    HWND found = nullptr;
    WaitFor([&] {
        for (HWND w : TopWindows(0))
            if (Text(w) == caption && ClassOf(w) != L"TFormSchedule") found = w;
        return found != nullptr;
    }, timeoutMs);
    return found;
}

static HDDEDATA CALLBACK NoDdeCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return nullptr;
}

void WaitForProgramManager(DWORD timeoutMs) {
    DWORD inst = 0;
    Check(DdeInitializeW(&inst, NoDdeCallback, APPCMD_CLIENTONLY, 0) == DMLERR_NO_ERROR, "no DDE");
    HSZ name = DdeCreateStringHandleW(inst, L"ProgMan", CP_WINUNICODE);
    bool up = WaitFor([&] {
        HCONV conv = DdeConnect(inst, name, name, nullptr);
        if (conv) DdeDisconnect(conv);
        return conv != nullptr;
    }, timeoutMs, 200);
    DdeFreeStringHandle(inst, name);
    DdeUninitialize(inst);
    Check(up, "the shell's program manager does not answer");
}

void SendToProgramManager(const std::vector<std::string>& commands) {
    DWORD inst = 0;
    Check(DdeInitializeA(&inst, NoDdeCallback, APPCMD_CLIENTONLY, 0) == DMLERR_NO_ERROR, "no DDE");
    HSZ name = DdeCreateStringHandleA(inst, "ProgMan", CP_WINANSI);
    HCONV conv = DdeConnect(inst, name, name, nullptr);
    DdeFreeStringHandle(inst, name);
    for (const std::string& command : commands) {
        DWORD result = 0;
        const bool done = conv && DdeClientTransaction(reinterpret_cast<BYTE*>(const_cast<char*>(command.c_str())),
                                                       static_cast<DWORD>(command.size() + 1), conv, nullptr, CF_TEXT,
                                                       XTYP_EXECUTE, 15000, &result) != nullptr;
        if (!done) {
            if (conv) DdeDisconnect(conv);
            DdeUninitialize(inst);
            Fail("the program manager did not do %s", ToUtf8(FromGbk(command)).c_str());
        }
    }
    DdeDisconnect(conv);
    DdeUninitialize(inst);
}

void CloseProgramGroupWindows() {
    while (HWND w = WaitProgramGroupWindow(0)) {
        PostClose(w);
        WaitFor([&] { return !IsWindow(w); }, 5000);
        if (IsWindow(w)) break;
    }
}

void CleanInstallation(const std::wstring& installDir) {
    KillByName(L"TAVI.exe");
    CloseProgramGroupWindows();
    std::wstring dir = installDir;
    while (!dir.empty() && dir.back() == L'\\') dir.pop_back();
    if (!dir.empty()) DeleteTree(dir);
    DeleteTree(DesktopLinkPath());
    DeleteTree(ProgramGroupDir());
    RegDeleteTree(HKEY_CURRENT_USER, L"Software\\TAVIX");
    RegDeleteTree(HKEY_CURRENT_USER, kUninstallKey);
    RegDeleteTree(HKEY_CLASSES_ROOT, L".Qvt");
    RegDeleteTree(HKEY_CLASSES_ROOT, L"Software\\TAVIX");
}

// ---- the probe -------------------------------------------------------------------------

InstallProbe::InstallProbe() {
    mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(ProbeLog),
                                  kProbeMappingName);
    Check(mapping_ != nullptr, "cannot create the probe's log");
    log_ = static_cast<ProbeLog*>(MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, sizeof(ProbeLog)));
    Check(log_ != nullptr, "cannot map the probe's log");
    ZeroMemory(log_, sizeof(ProbeLog));
}

InstallProbe::~InstallProbe() {
    if (hook_) UnhookWindowsHookEx(hook_);
    if (dll_) FreeLibrary(dll_);
    if (log_) UnmapViewOfFile(log_);
    if (mapping_) CloseHandle(mapping_);
}

void InstallProbe::Attach(DWORD setupPid) {
    HWND backdrop = WaitTop(setupPid, L"TFormain", nullptr);
    DWORD tid = GetWindowThreadProcessId(backdrop, nullptr);
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    path = path.substr(0, path.find_last_of(L'\\') + 1) + L"e2e_probe.dll";
    dll_ = LoadLibraryW(path.c_str());
    Check(dll_ != nullptr, "cannot load %s", ToUtf8(path).c_str());
    auto proc = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(dll_, kProbeHookProc)));
    Check(proc != nullptr, "the probe has no hook procedure");
    hook_ = SetWindowsHookExW(WH_CALLWNDPROCRET, proc, dll_, tid);
    Check(hook_ != nullptr, "cannot hook the setup's thread (error %lu)", GetLastError());
}

bool InstallProbe::WaitWatching(HWND w) const {
    LONG loaded = -1;
    Check(WaitFor([&] {
        for (const ProbeEvent& e : Events())
            if (e.kind == ProbeKind::PlantedDll) loaded = e.value;
        if (loaded >= 0) return true;
        DWORD_PTR result;  // a sent message passes the hook
        SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result);
        return false;
    }), "the probe does not watch the setup");
    return loaded != 0;
}

std::vector<ProbeEvent> InstallProbe::Events() const {
    std::vector<ProbeEvent> out;
    LONG n = log_->count;
    const LONG cap = static_cast<LONG>(sizeof log_->events / sizeof log_->events[0]);
    for (LONG i = 0; i < n && i < cap; ++i) {
        if (!log_->events[i].written) break;  // still being written: later
        out.push_back(log_->events[i]);
    }
    return out;
}

std::vector<int> InstallProbe::BarPositions() const {
    std::vector<int> out;
    for (const ProbeEvent& e : Events())
        if (e.kind == ProbeKind::Bar) out.push_back(e.value);
    return out;
}

std::vector<std::wstring> InstallProbe::StatusTexts() const {
    std::vector<std::wstring> out;
    for (const ProbeEvent& e : Events())
        if (e.kind == ProbeKind::Status) out.push_back(e.text);
    return out;
}

int InstallProbe::LastBar() const {
    std::vector<int> bars = BarPositions();
    return bars.empty() ? -1 : bars.back();
}

bool InstallProbe::WaitBar(int position, DWORD timeoutMs, int times) const {
    return WaitFor([&] {
        int seen = 0;
        for (int p : BarPositions())
            if (p == position) ++seen;
        return seen >= times;
    }, timeoutMs, 5);
}

// ---- checks --------------------------------------------------------------------------------

bool ReadShellLink(const std::wstring& lnk, ShellLinkInfo& out) {
    CoInitialize(nullptr);
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    bool ok = SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                         reinterpret_cast<void**>(&link))) &&
              SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
              SUCCEEDED(file->Load(lnk.c_str(), STGM_READ));
    if (ok) {
        wchar_t buf[MAX_PATH * 2] = {};
        ok = SUCCEEDED(link->GetPath(buf, MAX_PATH * 2, nullptr, SLGP_RAWPATH));
        out.path = buf;
        buf[0] = 0;
        link->GetWorkingDirectory(buf, MAX_PATH * 2);
        out.workingDir = buf;
    }
    if (file) file->Release();
    if (link) link->Release();
    CoUninitialize();
    return ok;
}

// The manifest item of the setup copy in use, as it installs (see
// SetupWithManifest); empty while the setup of the release runs.
static std::string gChangedManifest;

void CheckManifestInstalled(const std::wstring& installDir, std::size_t first, std::size_t end) {
    for (std::size_t i = first; i < end; ++i) {
        const tavix::ManifestEntry e =
            tavix::ParseManifestLine(Release().manifestLines[i], static_cast<int>(i));
        if (!gChangedManifest.empty() && tavix::EqualsIgnoreAsciiCase(e.ResourceName, "FileTxt5")) {
            std::string got;
            Check(ReadFileBytes(TargetOf(installDir, i), got) && got == gChangedManifest,
                  "the installed manifest is not the setup's");
            continue;
        }
        CheckSameFile(ReleaseFileOf(i), TargetOf(installDir, i));
    }
}

void CheckManifestNotInstalled(const std::wstring& installDir, std::size_t first, std::size_t end) {
    for (std::size_t i = first; i < end; ++i)
        Check(!FileExists(TargetOf(installDir, i)), "line %zu was installed: %s", i,
              ToUtf8(TargetOf(installDir, i)).c_str());
}

// A string value with its exact name (letter case included) and type REG_SZ.
static void CheckValue(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& want) {
    HKEY k = nullptr;
    Check(RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &k) == ERROR_SUCCESS, "no key %s", ToUtf8(key).c_str());
    bool found = false;
    for (DWORD i = 0;; ++i) {
        wchar_t vname[256];
        DWORD len = 256, type = 0;
        if (RegEnumValueW(k, i, vname, &len, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (lstrcmpiW(vname, name.c_str()) != 0) continue;
        found = true;
        Check(name == vname, "value %s of %s is spelled %s", ToUtf8(name).c_str(), ToUtf8(key).c_str(),
              ToUtf8(vname).c_str());
        Check(type == REG_SZ, "value %s of %s has type %lu", ToUtf8(name).c_str(), ToUtf8(key).c_str(), type);
    }
    RegCloseKey(k);
    std::wstring got;
    Check(RegRead(root, key, name, got), "no value \"%s\" in %s", ToUtf8(name).c_str(), ToUtf8(key).c_str());
    Check(name.empty() || found, "value %s of %s not listed", ToUtf8(name).c_str(), ToUtf8(key).c_str());
    Check(got == want, "%s \"%s\" is \"%s\", expected \"%s\"", ToUtf8(key).c_str(), ToUtf8(name).c_str(),
          ToUtf8(got).c_str(), ToUtf8(want).c_str());
}

void CheckProgramGroup(const std::wstring& installDir) {
    const std::wstring caption = W936(Release().caption);
    struct Item { std::wstring name, target; };
    const Item items[] = {
        {caption + L".lnk", installDir + W936(Release().exeName)},
        {L"卸载" + caption + L".lnk", installDir + L"Uninstall.exe"},
        {L"使用说明.lnk", installDir + L"help.chm"},
        {L"用户授权协议.lnk", installDir + L"用户授权协议.txt"},
    };
    Check(WaitFor([&] { return FilesIn(ProgramGroupDir() + L"\\").size() == 4; }, 10000),
          "the program group %s holds %zu items, not four", ToUtf8(ProgramGroupDir()).c_str(),
          FilesIn(ProgramGroupDir() + L"\\").size());
    for (const Item& item : items) {
        ShellLinkInfo gi;
        Check(ReadShellLink(ProgramGroupDir() + L"\\" + item.name, gi), "no group item %s", ToUtf8(item.name).c_str());
        Check(gi.path == item.target, "group item %s points at %s", ToUtf8(item.name).c_str(), ToUtf8(gi.path).c_str());
    }
}

void CheckInstallRegistry(const std::wstring& installDir) {
    const std::wstring exe = installDir + W936(Release().exeName);
    const std::wstring caption = W936(Release().caption);
    struct Want { HKEY root; const wchar_t* key; const wchar_t* name; std::wstring value; };
    const Want want[] = {
        {HKEY_CURRENT_USER, kUninstallKey, L"displayname", L"Quorvix"},
        {HKEY_CURRENT_USER, kUninstallKey, L"Publisher", L"Velmora"},
        {HKEY_CURRENT_USER, kUninstallKey, L"DisplayVersion", L"2.8.2.6"},
        {HKEY_CURRENT_USER, kUninstallKey, L"URLInfoAbout", L"http://www.quorvix.com.cn"},
        {HKEY_CURRENT_USER, kUninstallKey, L"uninstallstring", L"\"" + installDir + L"Uninstall.exe\""},
        {HKEY_CLASSES_ROOT, L".Qvt", L"", L"Software\\TAVIX"},
        {HKEY_CLASSES_ROOT, L"Software\\TAVIX", L"", caption},
        {HKEY_CLASSES_ROOT, L"Software\\TAVIX\\DefaultIcon", L"", exe + L",0"},
        {HKEY_CLASSES_ROOT, L"Software\\TAVIX\\Shell\\Open", L"", L"&Open"},
        {HKEY_CLASSES_ROOT, L"Software\\TAVIX\\Shell\\Open\\Command", L"", L"\"" + exe + L"\" \"%1\""},
        {HKEY_CURRENT_USER, L"Software\\TAVIX\\Shell\\PathName", L"Path", installDir},
        {HKEY_CURRENT_USER, L"Software\\TAVIX\\Shell\\Serial", L"Serial", L"02080206"},
        {HKEY_CURRENT_USER, L"Software\\TAVIX\\Shell\\Version", L"Version", W936(Release().version)},
    };
    for (const Want& w : want) CheckValue(w.root, w.key, w.name, w.value);

    // What the list of installed programs shows beside them.
    CheckValue(HKEY_CURRENT_USER, kUninstallKey, L"DisplayIcon", exe + L",0");
    CheckValue(HKEY_CURRENT_USER, kUninstallKey, L"InstallLocation", installDir);
    CheckValue(HKEY_CURRENT_USER, kUninstallKey, L"QuietUninstallString", L"\"" + installDir + L"Uninstall.exe\" /S");
    std::wstring date;
    Check(RegRead(HKEY_CURRENT_USER, kUninstallKey, L"InstallDate", date), "no InstallDate");
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t today[16];
    wsprintfW(today, L"%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
    Check(date.size() == 8 && date <= today && date.compare(0, 6, std::wstring(today).substr(0, 6)) >= 0,
          "InstallDate %s is not today (%s)", ToUtf8(date).c_str(), ToUtf8(today).c_str());
    // The bytes of the release's files, each target once, in kilobytes rounded up.
    std::set<std::wstring> targets;
    unsigned long long bytes = 0;
    for (std::size_t i = 0; i < Release().manifestLines.size(); ++i) {
        std::wstring key = TargetOf(L"", i);
        CharUpperW(&key[0]);
        std::string data;
        if (targets.insert(key).second && ReadFileBytes(ReleaseFileOf(i), data)) bytes += data.size();
    }
    struct Dword { const wchar_t* name; DWORD value; };
    for (const Dword& d : {Dword{L"EstimatedSize", static_cast<DWORD>((bytes + 1023) / 1024)}, Dword{L"NoModify", 1},
                           Dword{L"NoRepair", 1}}) {
        HKEY k = nullptr;
        DWORD type = 0, value = 0, size = sizeof value;
        Check(RegOpenKeyExW(HKEY_CURRENT_USER, kUninstallKey, 0, KEY_READ, &k) == ERROR_SUCCESS, "no uninstall key");
        const LONG r = RegQueryValueExW(k, d.name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(k);
        Check(r == ERROR_SUCCESS && type == REG_DWORD && value == d.value, "%s is %lu (type %lu), expected DWORD %lu",
              ToUtf8(d.name).c_str(), value, type, d.value);
    }
}

void CheckNoInstallRegistry() {
    Check(!RegKeyExists(HKEY_CURRENT_USER, kUninstallKey), "the uninstall entry exists");
    Check(!RegKeyExists(HKEY_CLASSES_ROOT, L".Qvt"), "the .Qvt association exists");
    Check(!RegKeyExists(HKEY_CLASSES_ROOT, L"Software\\TAVIX"), "the document class exists");
    // The wizard's check for an earlier installation creates these keys empty.
    std::wstring v;
    Check(!RegRead(HKEY_CURRENT_USER, L"Software\\TAVIX\\Shell\\PathName", L"Path", v), "Path was written");
    Check(!RegRead(HKEY_CURRENT_USER, L"Software\\TAVIX\\Shell\\Serial", L"Serial", v), "Serial was written");
    Check(!RegKeyExists(HKEY_CURRENT_USER, L"Software\\TAVIX\\Shell\\Version"), "Version was written");
}

void CheckNoTemporaryFiles(const std::wstring& dir) {
    for (const std::wstring& name : FilesIn(dir)) {
        Check(!tavix::IsTemporaryItemName(ToUtf8(name)), "a temporary file is left: %s", ToUtf8(dir + name).c_str());
        if (DirExists(dir + name)) CheckNoTemporaryFiles(dir + name + L"\\");
    }
}

void CheckTempFilesGone() {
    for (const wchar_t* f : {L"avixSetup.log", L"avixSetup.ini", L"SQXY.txt"})
        Check(!FileExists(WindowsTempDir() + f), "temporary file %s is left", ToUtf8(f).c_str());
}


const wchar_t kTestRoot[] = L"C:\\Tavix E2E";

InstallScenario::InstallScenario(const std::wstring& installDir) : dir(installDir) {
    gChangedManifest.clear();
    // A session that has just started (see own-session.sh) may not have its
    // shell up yet.
    WaitForProgramManager();
    CleanInstallation(dir);
    CreateDirectoryW(kTestRoot, nullptr);
}

InstallScenario::~InstallScenario() {
    if (setup.handle && !HasExited(setup)) {
        // A killed setup leaves its temporary control files.
        Kill(setup);
        for (const wchar_t* f : {L"avixSetup.log", L"avixSetup.ini", L"SQXY.txt"})
            DeleteFileW((WindowsTempDir() + f).c_str());
    }
    CleanInstallation(dir);
    DeleteTree(kTestRoot);
}

HWND InstallScenario::StartAtFolderPage(InstallProbe& probe, const std::wstring& exe) {
    setup = StartSetupToWizard(exe);
    probe.Attach(setup.pid);
    HWND wizard = WaitWizard(setup.pid);
    GoToFolderPage(wizard);
    SetInstallFolder(wizard, dir);
    return wizard;
}

void CheckBox(const MsgBoxInfo& box, const wchar_t* caption, const std::wstring& text, std::size_t buttons,
              bool icon) {
    Check(box.caption == caption, "box caption %s, expected %s", ToUtf8(box.caption).c_str(), ToUtf8(caption).c_str());
    Check(box.text == text, "box text %s, expected %s", ToUtf8(box.text).c_str(), ToUtf8(text).c_str());
    Check(box.buttons.size() == buttons, "box has %zu buttons", box.buttons.size());
    Check(box.hasIcon == icon, icon ? "box has no icon" : "box has an icon");
}

std::string ManifestCutAt(std::size_t count, const std::string& line) {
    std::string text;
    const std::vector<std::string>& lines = Release().manifestLines;
    for (std::size_t i = 0; i < count && i < lines.size(); ++i) text += lines[i] + "\r\n";
    return text + line;
}

std::wstring SetupWithManifest(const std::string& manifest) {
    static int made = 0;
    const std::wstring dir = std::wstring(kTestRoot) + L"\\setups\\";
    CreateDirectoryW(kTestRoot, nullptr);
    CreateDirectoryW(dir.c_str(), nullptr);
    const std::wstring path = dir + L"TavixSetup" + std::to_wstring(++made) + L".exe";
    CopySetupWithItem(path, "txtname", "FileTxt5", manifest);
    std::string release;
    Check(ReadFileBytes(ReleaseDir() + L"\\Setup.log", release), "cannot read the release's manifest");
    gChangedManifest = manifest + std::string(release.size() - manifest.size(), '\0');
    return path;
}

// The files directly in a folder (names only).
std::vector<std::wstring> FilesIn(const std::wstring& dir) {
    std::vector<std::wstring> out;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return out;
    do {
        std::wstring n = fd.cFileName;
        if (n != L"." && n != L"..") out.push_back(n);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return out;
}

} // namespace e2e
