// The wizard's folder page: the drive list against what the platform
// reports, the drive switch, the folder browser and the folder handed over.
#include <cmath>
#include <cstdlib>

#include "driver/e2e.h"

#include <commctrl.h>

#include "driver/install_steps.h"
#include "driver/wizard_steps.h"
#include "wizard/wizard_ids.h"
#include "wizard/wizard_rules.h"

using namespace e2e;

namespace {

using Rows = std::vector<std::vector<std::wstring>>;

// A setup on its folder page.
struct Session : FreshSetup {
    Session() { GoToFolderPage(wizard); }
};

std::vector<std::wstring> PlatformDrives() {
    wchar_t block[256] = {};
    DWORD n = GetLogicalDriveStringsW(255, block);
    std::vector<std::wstring> roots;
    for (const wchar_t* p = block; p < block + n && *p; p += wcslen(p) + 1) roots.emplace_back(p);
    return roots;
}

double Figure(const std::wstring& cell) { return std::wcstod(cell.c_str(), nullptr); }

int RowOf(const Rows& rows, wchar_t letter) {
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (!rows[i].empty() && !rows[i][0].empty() && towupper(rows[i][0][0]) == towupper(letter))
            return static_cast<int>(i);
    return -1;
}

std::wstring Cell(const Rows& rows, int row, int col) {
    if (row < 0 || row >= static_cast<int>(rows.size()) || col >= static_cast<int>(rows[row].size())) return L"";
    return rows[row][col];
}

// Only the row `marked` carries the product's size and the remaining space.
void CheckMarked(const Rows& rows, int marked, const std::wstring& rjSize, const char* where) {
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        std::wstring c3 = Cell(rows, i, 3), c4 = Cell(rows, i, 4);
        if (i != marked) {
            Check(c3.empty() && c4.empty(), "%s: row %d is marked (%s|%s)", where, i, ToUtf8(c3).c_str(),
                  ToUtf8(c4).c_str());
            continue;
        }
        Check(c3 == L" " + rjSize + L" MB", "%s: size cell \"%s\"", where, ToUtf8(c3).c_str());
        std::wstring expected =
            FromUtf8(tavix::RemainingSpaceCell(Narrow(Cell(rows, i, 2), CP_UTF8)));  // ASCII either way
        Check(c4 == expected, "%s: remaining \"%s\", expected \"%s\"", where, ToUtf8(c4).c_str(),
              ToUtf8(expected).c_str());
    }
}

}  // namespace

E2E_SCENARIO(drive_list_matches_the_platform) {
    Session s;
    HWND w = s.wizard;
    const std::wstring rjSize = ReleaseSetupValue("Run", "RJSize");
    const std::wstring dirName = ReleaseSetupValue("SetupDir", "DirName");
    Rows rows = DriveGridRows(w);
    std::vector<std::wstring> drives = PlatformDrives();
    Check(drives.size() >= 2, "Wine lists %zu drives; the list needs two", drives.size());
    Check(rows.size() == drives.size(), "%zu rows for %zu drives", rows.size(), drives.size());
    for (std::size_t i = 0; i < drives.size(); ++i) {
        Check(rows[i].size() == 5, "row %zu has %zu cells", i, rows[i].size());
        Check(rows[i][0] == drives[i].substr(0, 3), "row %zu names %s, not %s", i, ToUtf8(rows[i][0]).c_str(),
              ToUtf8(drives[i]).c_str());
        ULARGE_INTEGER avail = {}, total = {};
        bool known = GetDiskFreeSpaceExW(drives[i].c_str(), &avail, &total, nullptr) != FALSE;
        tavix::DriveRow expected = tavix::MakeDriveRow(Narrow(drives[i], 936), known ? total.QuadPart : -1,
                                                      known ? avail.QuadPart : -1);
        Check(rows[i][1] == FromGbk(expected.cells[1]), "%s total %s, platform %s", ToUtf8(drives[i]).c_str(),
              ToUtf8(rows[i][1]).c_str(), expected.cells[1].c_str());
        // Free space moves while other programs write; allow a little drift.
        Check(rows[i][2].empty() == expected.cells[2].empty(), "%s free %s, platform %s", ToUtf8(drives[i]).c_str(),
              ToUtf8(rows[i][2]).c_str(), expected.cells[2].c_str());
        if (!rows[i][2].empty())
            Check(std::fabs(Figure(rows[i][2]) - Figure(FromGbk(expected.cells[2]))) < 0.25 &&
                      rows[i][2].size() > 3 && rows[i][2].substr(rows[i][2].size() - 3) == L" GB",
                  "%s free %s, platform %s", ToUtf8(drives[i]).c_str(), ToUtf8(rows[i][2]).c_str(),
                  expected.cells[2].c_str());
        Log("%s | %s | %s", ToUtf8(rows[i][0]).c_str(), ToUtf8(rows[i][1]).c_str(), ToUtf8(rows[i][2]).c_str());
    }

    // The preset folder's drive is marked when the machine has it.
    const std::wstring preset = InstallFolderText(w);
    int presetRow = RowOf(rows, preset[0]);
    CheckMarked(rows, presetRow, rjSize, "preset folder");
    if (presetRow >= 0) Check(DriveGridSelectedRow(w) == presetRow, "the preset drive's row is not selected");

    // A double-click on another drive moves the folder there and marks it.
    int other = RowOf(rows, drives.back()[0]);
    if (drives.back()[0] == preset[0]) other = 0;
    DoubleClickDriveRow(w, other);
    std::wstring moved = InstallFolderText(w);
    Check(moved == rows[other][0].substr(0, 1) + preset.substr(1), "after the double-click the folder is %s",
          ToUtf8(moved).c_str());
    rows = DriveGridRows(w);
    CheckMarked(rows, other, rjSize, "after a double-click");
    Check(DriveGridSelectedRow(w) == other, "the chosen drive's row is not selected");

    // And to drive C.
    int c = RowOf(rows, L'C');
    Check(c >= 0, "no drive C in the list");
    DoubleClickDriveRow(w, c);
    Check(InstallFolderText(w) == L"C" + preset.substr(1), "after the double-click on C the folder is %s",
          ToUtf8(InstallFolderText(w)).c_str());
    rows = DriveGridRows(w);
    CheckMarked(rows, c, rjSize, "after a double-click on C");
    Check(dirName.size() > 0 && InstallFolderText(w).find(dirName) != std::wstring::npos, "DirName lost");
    Screenshot(w, L"wizard_page2");

    // Typing a folder changes nothing in the list until it is rebuilt.
    SetInstallFolder(w, L"Z:\\typed\\");
    Check(DriveGridRows(w) == rows, "typing rebuilt the drive list");
    // Going on and back shows the list as it was.
    ClickNext(w);
    ClickBack(w);
    Check(DriveGridRows(w) == rows, "the list changed on the way back");
    Check(InstallFolderText(w) == L"Z:\\typed\\", "the typed folder changed");
    // A forward entry rebuilds it for the typed folder's drive.
    ClickBack(w);
    ClickNext(w);
    rows = DriveGridRows(w);
    CheckMarked(rows, RowOf(rows, L'Z'), rjSize, "after re-entering the page");
}

E2E_SCENARIO(folder_browser_builds_the_folder) {
    Session s;
    HWND w = s.wizard;
    const std::wstring dirName = ReleaseSetupValue("SetupDir", "DirName");
    struct Dirs {
        Dirs() {
            for (const wchar_t* d : {L"C:\\tavix_e2e_browse", L"C:\\tavix_e2e_browse\\Apps",
                                     L"C:\\tavix_e2e_browse\\Desktop", L"C:\\tavix_e2e_browse\\users"})
                CreateDirectoryW(d, nullptr);
        }
        ~Dirs() { DeleteTree(L"C:\\tavix_e2e_browse"); }
    } dirs;
    struct Case {
        const char* what;
        std::wstring typed;
        int answer;
        bool warn;
        std::wstring folder;  // empty: unchanged
    };
    const Case cases[] = {
        {"a folder", L"C:\\tavix_e2e_browse\\Apps\\", IDOK, false,
         L"C:\\tavix_e2e_browse\\Apps\\" + dirName + L"\\"},
        {"a drive root", L"C:\\", IDOK, false, L"C:\\" + dirName + L"\\"},
        {"a desktop folder", L"C:\\tavix_e2e_browse\\Desktop\\", IDOK, true,
         L"D:\\Program Files\\" + dirName + L"\\"},
        {"users in lower case", L"C:\\tavix_e2e_browse\\users\\", IDOK, false,
         L"C:\\tavix_e2e_browse\\users\\" + dirName + L"\\"},
        {"cancel", L"C:\\tavix_e2e_browse\\Apps\\", IDCANCEL, false, L""},
        {"cancel on a missing folder", L"C:\\tavix_e2e_browse\\Missing\\", IDCANCEL, false, L""},
    };
    for (const Case& c : cases) {
        Log("case: %s", c.what);
        SetInstallFolder(w, c.typed);
        HWND browser = OpenFolderBrowser(w);
        Check(!IsEnabled(w), "%s: the wizard stays enabled under the folder browser", c.what);
        HWND owner = GetWindow(browser, GW_OWNER);
        Check(owner && ClassOf(owner) == L"TApplication", "%s: the browser's owner is %s", c.what,
              owner ? ToUtf8(ClassOf(owner)).c_str() : "none");
        std::vector<std::wstring> texts = FolderBrowserTexts(browser);
        Check(std::find(texts.begin(), texts.end(), L"选择安装路径") != texts.end(), "%s: no title 选择安装路径",
              c.what);
        HWND ok = GetDlgItem(browser, IDOK);
        if (c.answer == IDOK) {
            Check(WaitFor([&] { return IsEnabled(ok); }, 3000), "%s: nothing is selected", c.what);
            // The browser selects the desktop first and the current folder
            // once it reports that it is ready: wait for that selection.
            HWND tree = FindChild(browser, L"SysTreeView32", nullptr);
            Check(tree != nullptr, "%s: the browser has no folder tree", c.what);
            Check(WaitFor([&] {
                      LRESULT caret = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0);
                      return caret && caret != SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
                  }, 5000),
                  "%s: the current folder was not selected", c.what);
        }
        MsgBoxInfo box;
        box.hwnd = browser;
        Answer(box, c.answer);
        if (c.warn) {
            MsgBoxInfo warning = WaitMessageBox(s.process.pid);
            Check(warning.caption == L"Warning", "%s: caption %s", c.what, ToUtf8(warning.caption).c_str());
            Check(warning.text == L"Quorvix不支持这种桌面安装方式！\r建议安装到 D盘、E盘，或 C盘的“Program Files\\”文件夹中。",
                  "%s: warning text %s", c.what, ToUtf8(warning.text).c_str());
            Check(warning.hasIcon && GetDlgItem(warning.hwnd, IDOK) && !GetDlgItem(warning.hwnd, IDCANCEL),
                  "%s: not a warning with OK", c.what);
            Answer(warning, IDOK);
        } else {
            if (!NoMessageBox(s.process.pid, 500)) {
                MsgBoxInfo seen = WaitMessageBox(s.process.pid, 100);
                Fail("%s: a box came up: \"%s\" \"%s\" (the browser %s)", c.what, ToUtf8(seen.caption).c_str(),
                     ToUtf8(seen.text).c_str(), seen.hwnd == browser ? "itself" : "is gone");
            }
        }
        const std::wstring expected = c.folder.empty() ? c.typed : c.folder;
        Check(WaitFor([&] { return InstallFolderText(w) == expected; }, 5000), "%s: folder %s, expected %s", c.what,
              ToUtf8(InstallFolderText(w)).c_str(), ToUtf8(expected).c_str());
        Check(WaitFor([&] { return IsEnabled(w); }, 3000), "%s: the wizard stays disabled", c.what);
        if (!c.folder.empty() && c.folder[0] == L'C') {
            Rows rows = DriveGridRows(w);
            int row = RowOf(rows, L'C');
            Check(row >= 0 && Cell(rows, row, 3) == L" " + ReleaseSetupValue("Run", "RJSize") + L" MB",
                  "%s: drive C is not marked after the browse", c.what);
        }
    }
}

E2E_SCENARIO(typed_folder_gets_its_backslash) {
    Session s;
    HWND w = s.wizard;
    struct Cleanup {
        ~Cleanup() { DeleteTree(L"C:\\tavix_e2e_typed"); }
    } cleanup;
    SetInstallFolder(w, L"C:\\tavix_e2e_typed");
    ClickNext(w);
    Check(InstallFolderText(w) == L"C:\\tavix_e2e_typed", "the ready page changed the folder");
    StartInstall(w);
    // The installation reads the folder the wizard hands over; the box keeps it equal.
    Check(InstallFolderText(w) == L"C:\\tavix_e2e_typed\\", "handed over %s",
          ToUtf8(InstallFolderText(w)).c_str());
}

E2E_SCENARIO(folders_that_cannot_work_are_refused_on_the_page) {
    Session s;
    HWND w = s.wizard;
    // Every folder that reaches the installation is below C: or D:; a
    // refused one must leave no trace there nor anywhere else of the prefix.
    const std::wstring places[] = {L"C:\\", L"D:\\", L"C:\\windows\\system32\\", L"C:\\users\\"};
    std::vector<std::vector<std::wstring>> before;
    for (const std::wstring& p : places) before.push_back(FilesIn(p));
    const std::wstring deep = L"C:\\" + std::wstring(230, L'深') + L"\\";
    struct Row {
        const wchar_t* what;
        std::wstring folder;
        const wchar_t* message;  // the start of the refusal
    };
    const Row rows[] = {
        {L"empty", L"", L"请输入或选择安装文件夹。"},
        {L"relative", L"Tavix280", L"安装文件夹必须是以盘符开头的完整路径"},
        {L"drive without backslash", L"C:Tavix280", L"安装文件夹必须是以盘符开头的完整路径"},
        {L"drive alone", L"C:", L"安装文件夹必须是以盘符开头的完整路径"},
        {L"drive root", L"D:\\", L"请不要直接安装到磁盘的根目录"},
        {L"no such drive", L"R:\\Program Files\\Tavix280\\", L"驱动器 R: 不存在。"},
        {L"network path", L"\\\\server\\share\\Tavix280\\", L"不能安装到网络路径。"},
        {L"forbidden character", L"C:\\Tavix<280>\\", L"文件夹名“Tavix<280>”含有 Windows 不允许的字符"},
        {L"question mark", L"C:\\Tavix?\\", L"文件夹名“Tavix?”含有 Windows 不允许的字符"},
        {L"device name", L"C:\\Program Files\\CON\\", L"“CON”是 Windows 保留的设备名"},
        {L"device name with extension", L"C:\\com1.dir\\Tavix", L"“com1.dir”是 Windows 保留的设备名"},
        {L"level ending in a dot", L"C:\\Tavix280.\\", L"文件夹名“Tavix280.”以句点或空格结尾"},
        {L"level ending in a blank", L"C:\\Tavix280 \\x", L"文件夹名“Tavix280 ”以句点或空格结尾"},
        {L"parent level", L"C:\\Tavix\\..\\Windows\\", L"安装文件夹不能含有“.”或“..”"},
        {L"two backslashes", L"C:\\Tavix\\\\280\\", L"安装文件夹中有两个相连的反斜杠"},
        {L"too long for its files", deep, L"安装文件夹的路径太长"},
    };
    for (const Row& row : rows) {
        Log("%s", ToUtf8(row.what).c_str());
        SetInstallFolder(w, row.folder);
        Click(WizardControl(w, wizard_ids::kBtnNext));
        MsgBoxInfo box = WaitMessageBox(s.process.pid);
        Check(box.caption == L"安装文件夹" && box.text.rfind(row.message, 0) == 0 && box.buttons.size() == 1,
              "%s: box %s: %s", ToUtf8(row.what).c_str(), ToUtf8(box.caption).c_str(), ToUtf8(box.text).c_str());
        Answer(box, IDOK);
        Check(WizardPage(w) == 2, "%s: the wizard left the folder page", ToUtf8(row.what).c_str());
        Check(InstallFolderText(w) == row.folder, "%s: the folder changed", ToUtf8(row.what).c_str());
    }
    for (std::size_t i = 0; i < std::size(places); ++i)
        Check(FilesIn(places[i]) == before[i], "a refused folder left a trace in %s", ToUtf8(places[i]).c_str());
    // A folder that works goes on to the ready page, with no question.
    SetInstallFolder(w, L"C:\\Tavix E2E\\可以\\");
    ClickNext(w);
    Check(WizardPage(w) == 3, "a good folder was refused");
}
