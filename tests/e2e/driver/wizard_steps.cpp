#include "wizard_steps.h"

#include "setupdata/ini.h"
#include "wizard/wizard_ids.h"

namespace e2e {

namespace {

constexpr UINT kGridGetRow = WM_USER + 0x300;  // ui::StringGrid::kGetRow
constexpr int kGridRowHeight = 14;

struct IdSearch {
    int id;
    HWND found;
};

BOOL CALLBACK MatchId(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<IdSearch*>(lp);
    if (GetDlgCtrlID(w) != s->id) return TRUE;
    s->found = w;
    return FALSE;
}

// A descendant of `parent` with that control id.
HWND FindById(HWND parent, int id) {
    IdSearch s{id, nullptr};
    EnumChildWindows(parent, &MatchId, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

bool StyleVisible(HWND w) { return w && (GetWindowLongW(w, GWL_STYLE) & WS_VISIBLE); }

std::vector<std::wstring> Split(const std::wstring& s, const std::wstring& sep) {
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = s.find(sep, start);
        if (end == std::wstring::npos) {
            parts.push_back(s.substr(start));
            return parts;
        }
        parts.push_back(s.substr(start, end - start));
        start = end + sep.size();
    }
}

}  // namespace

std::wstring ReleaseSetupValue(const char* section, const char* key) {
    std::string ini;
    Check(ReadFileBytes(ReleaseDir() + L"\\Setup.ini", ini), "cannot read the release's Setup.ini");
    return FromGbk(tavix::IniLookup(ini, section, key));
}

Process StartSetupToWizard(const std::wstring& exe) {
    Process p = Launch(exe.empty() ? SetupExe() : exe);
    WaitWizard(p.pid);
    return p;
}

HWND WaitWizard(DWORD pid, DWORD timeoutMs) {
    HWND wizard = WaitTop(pid, L"TFormSchedule", nullptr, timeoutMs);
    // Its activation has begun once the welcome title is set.
    HWND title = WizardControl(wizard, wizard_ids::kLabel6);
    Check(WaitFor([&] { return !Text(title).empty(); }, timeoutMs), "the wizard's activation did not run");
    return wizard;
}

HWND WizardControl(HWND wizard, int id) {
    HWND w = FindById(wizard, id);
    Check(w != nullptr, "the wizard has no control %d", id);
    return w;
}

HWND FindWizardButton(HWND wizard, const std::wstring& text) {
    for (int id : {wizard_ids::kBtnNext, wizard_ids::kBtnPri, wizard_ids::kBtnExit, wizard_ids::kButton1}) {
        HWND b = FindById(wizard, id);
        if (b && Text(b) == text) return b;
    }
    return FindChild(wizard, L"Button", text.c_str());
}

int WizardPage(HWND wizard) {
    for (int i = 0; i < 6; ++i)
        if (StyleVisible(FindById(wizard, wizard_ids::kPage0 + i))) return i;
    return -1;
}

std::wstring BandTitle(HWND wizard) {
    HWND l = WizardControl(wizard, wizard_ids::kLabel4);
    return StyleVisible(l) ? Text(l) : std::wstring();
}

std::wstring BandSubtitle(HWND wizard) {
    HWND l = WizardControl(wizard, wizard_ids::kLabel5);
    return StyleVisible(l) ? Text(l) : std::wstring();
}

bool TopBandShown(HWND wizard) { return StyleVisible(WizardControl(wizard, wizard_ids::kPanelTop)); }
bool LeftStripShown(HWND wizard) { return StyleVisible(WizardControl(wizard, wizard_ids::kImagLeft)); }

static void ClickAndWaitPage(HWND wizard, int buttonId, const char* what) {
    HWND button = WizardControl(wizard, buttonId);
    Check(IsEnabled(button), "%s is disabled on page %d", what, WizardPage(wizard));
    int before = WizardPage(wizard);
    Click(button);
    bool changed = WaitFor([&] { return WizardPage(wizard) != before || !IsShown(wizard); }, 10000);
    Check(changed, "%s on page %d changed nothing", what, before);
    // The page turns first; a message sent now is served once the handler is done.
    DWORD_PTR result;
    SendMessageTimeoutW(wizard, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
}

void ClickNext(HWND wizard) { ClickAndWaitPage(wizard, wizard_ids::kBtnNext, "Next"); }
void ClickBack(HWND wizard) { ClickAndWaitPage(wizard, wizard_ids::kBtnPri, "Back"); }

void GoToFolderPage(HWND wizard) {
    while (WizardPage(wizard) < 2) ClickNext(wizard);
    Check(WizardPage(wizard) == 2, "not on the folder page but on page %d", WizardPage(wizard));
}

void GoToReadyPage(HWND wizard) {
    while (WizardPage(wizard) < 3) ClickNext(wizard);
    Check(WizardPage(wizard) == 3, "not on the ready page but on page %d", WizardPage(wizard));
}

void SetInstallFolder(HWND wizard, const std::wstring& folder) {
    HWND edit = WizardControl(wizard, wizard_ids::kEditPath);
    SetEditText(edit, folder);
    Check(Text(edit) == folder, "the folder box shows %s", ToUtf8(Text(edit)).c_str());
}

std::wstring InstallFolderText(HWND wizard) { return Text(WizardControl(wizard, wizard_ids::kEditPath)); }

std::vector<std::vector<std::wstring>> DriveGridRows(HWND wizard) {
    std::wstring all = Text(WizardControl(wizard, wizard_ids::kDiskGrid));
    std::vector<std::vector<std::wstring>> rows;
    for (const std::wstring& line : Split(all, L"\r\n")) {
        if (line.empty()) continue;
        rows.push_back(Split(line, L"\t"));
    }
    return rows;
}

int DriveGridSelectedRow(HWND wizard) {
    return static_cast<int>(SendMessageW(WizardControl(wizard, wizard_ids::kDiskGrid), kGridGetRow, 0, 0));
}

void DoubleClickDriveRow(HWND wizard, int row) {
    HWND grid = WizardControl(wizard, wizard_ids::kDiskGrid);
    // Sent, not posted: the drive switch has run when this returns.
    LPARAM pos = MAKELPARAM(10, row * kGridRowHeight + kGridRowHeight / 2);
    SendMessageW(grid, WM_LBUTTONDOWN, MK_LBUTTON, pos);
    SendMessageW(grid, WM_LBUTTONUP, 0, pos);
    SendMessageW(grid, WM_LBUTTONDBLCLK, MK_LBUTTON, pos);
    SendMessageW(grid, WM_LBUTTONUP, 0, pos);
}

static BOOL CALLBACK CollectStatic(HWND w, LPARAM lp) {
    if (lstrcmpiW(ClassOf(w).c_str(), L"Static") == 0) {
        std::wstring t = Text(w);
        if (!t.empty()) reinterpret_cast<std::vector<std::wstring>*>(lp)->push_back(t);
    }
    return TRUE;
}

HWND OpenFolderBrowser(HWND wizard, DWORD timeoutMs) {
    DWORD pid = 0;
    GetWindowThreadProcessId(wizard, &pid);
    Click(WizardControl(wizard, wizard_ids::kButton1));
    HWND browser = nullptr;
    bool open = WaitFor([&] {
        for (HWND w : TopWindows(pid))
            if (ClassOf(w) == L"#32770" && FindChild(w, L"SysTreeView32", nullptr)) {
                browser = w;
                return true;
            }
        return false;
    }, timeoutMs);
    Check(open, "the folder browser did not open");
    Pause(300);  // let it make its selection
    return browser;
}

std::vector<std::wstring> FolderBrowserTexts(HWND browser) {
    std::vector<std::wstring> texts;
    EnumChildWindows(browser, &CollectStatic, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

HWND StartInstall(HWND wizard, DWORD timeoutMs) {
    Check(WizardPage(wizard) == 3, "StartInstall: not on the ready page but on page %d", WizardPage(wizard));
    ClickNext(wizard);
    Check(WaitFor([&] { return !IsShown(wizard); }, timeoutMs), "the wizard did not hand over");
    DWORD pid = 0;
    GetWindowThreadProcessId(wizard, &pid);
    return FindTop(pid, L"TFormsec", nullptr, timeoutMs);
}

void WaitFinishPage(HWND wizard, DWORD timeoutMs) {
    bool shown = WaitFor([&] {
        HWND next = FindById(wizard, wizard_ids::kBtnNext);
        return IsShown(wizard) && WizardPage(wizard) == 5 && next && Text(next) == L"完毕";
    }, timeoutMs, 100);
    Check(shown, "the finish page did not come");
}

static void SetCheckBox(HWND box, bool run, const char* what) {
    bool checked = SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
    if (checked != run) Click(box);
    Check(WaitFor([&] { return (SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED) == run; }, 5000),
          "cannot set %s", what);
}

void SetRunAfterInstall(HWND wizard, bool run) {
    SetCheckBox(WizardControl(wizard, wizard_ids::kChbRun), run, "运行软件");
}

void SetCreateDesktopLink(HWND wizard, bool create) {
    SetCheckBox(WizardControl(wizard, wizard_ids::kChbDesktop), create, "创建桌面快捷方式");
}

void ClickFinish(HWND wizard) {
    HWND next = WizardControl(wizard, wizard_ids::kBtnNext);
    Check(Text(next) == L"完毕", "the Next button reads %s, not 完毕", ToUtf8(Text(next)).c_str());
    Click(next);
}

bool TempFilesGone() {
    std::wstring temp = WindowsTempDir();
    for (const wchar_t* name : {L"avixSetup.log", L"avixSetup.ini", L"SQXY.txt"})
        if (FileExists(temp + name)) return false;
    return true;
}

static void SnapshotKey(HKEY root, const std::wstring& path, std::vector<RegistryTreeRestore::Key>& out) {
    HKEY h;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return;
    RegistryTreeRestore::Key key;
    key.path = path;
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD nameLen = 16384, type = 0, size = 0;
        if (RegEnumValueW(h, i, name, &nameLen, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        RegistryTreeRestore::Value v;
        v.name.assign(name, nameLen);
        v.type = type;
        v.data.resize(size);
        nameLen = 16384;
        RegEnumValueW(h, i, name, &nameLen, nullptr, &type, size ? reinterpret_cast<BYTE*>(&v.data[0]) : nullptr,
                      &size);
        v.data.resize(size);
        key.values.push_back(v);
    }
    out.push_back(key);
    std::vector<std::wstring> children;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLen = 256;
        if (RegEnumKeyExW(h, i, name, &nameLen, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        children.emplace_back(name, nameLen);
    }
    RegCloseKey(h);
    for (const std::wstring& child : children) SnapshotKey(root, path + L"\\" + child, out);
}

RegistryTreeRestore::RegistryTreeRestore(HKEY root, const std::wstring& path) : root_(root), path_(path) {
    existed_ = RegKeyExists(root, path);
    SnapshotKey(root, path, keys_);
}

RegistryTreeRestore::~RegistryTreeRestore() {
    ::RegDeleteTreeW(root_, path_.c_str());
    RegDeleteKeyW(root_, path_.c_str());
    if (!existed_) return;
    for (const Key& k : keys_) {
        HKEY h;
        if (RegCreateKeyExW(root_, k.path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr) !=
            ERROR_SUCCESS)
            continue;
        for (const Value& v : k.values)
            RegSetValueExW(h, v.name.empty() ? nullptr : v.name.c_str(), 0, v.type,
                           reinterpret_cast<const BYTE*>(v.data.data()), static_cast<DWORD>(v.data.size()));
        RegCloseKey(h);
    }
}

FreshSetup::FreshSetup(const std::wstring& exe) {
    RegDeleteTree(HKEY_CURRENT_USER, L"Software\\TAVIX");
    process = StartSetupToWizard(exe);
    wizard = WaitWizard(process.pid);
    Check(NoMessageBox(process.pid, 800), "a message box came up at the start");
}

}  // namespace e2e
