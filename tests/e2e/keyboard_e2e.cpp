// The setup by the keyboard, and pressed too often: real key presses and
// clicks on the X display (xdotool), as a user gives them.
#include <vector>

#include "driver/e2e.h"
#include "driver/install_steps.h"
#include "driver/wizard_steps.h"
#include "driver/x_input.h"
#include "setupdata/ini.h"
#include "wizard/wizard_ids.h"
#include "wizard/wizard_rules.h"

using namespace e2e;
namespace ids = wizard_ids;

namespace {

// Waits until a message sent now is served: the handler of the last input is done.
void Settle(HWND w) {
    DWORD_PTR result;
    SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
}

int FocusedId(HWND wizard) {
    HWND f = FocusOf(wizard);
    return f ? GetDlgCtrlID(f) : 0;
}

void CheckFocus(HWND wizard, int id, const char* where) {
    Check(WaitFor([&] { return FocusedId(wizard) == id; }, 3000), "%s: the focus is on control %d, not %d", where,
          FocusedId(wizard), id);
}

// Presses `keys` and waits until the wizard is on `page`.
void KeysToPage(HWND wizard, const std::string& keys, int page) {
    PressKeys(keys);
    Check(WaitFor([&] { return WizardPage(wizard) == page; }, 10000), "%s: on page %d, not on page %d", keys.c_str(),
          WizardPage(wizard), page);
    Settle(wizard);
}

// Each press of `key` moves the focus to the next control of `order`.
void CheckTabOrder(HWND wizard, const char* key, const std::vector<int>& order, const char* where) {
    for (int id : order) {
        PressKeys(key);
        CheckFocus(wizard, id, where);
    }
}

std::wstring ExpectedAgreement() {
    std::string bytes;
    Check(ReadFileBytes(ReleaseDir() + L"\\用户授权协议.txt", bytes), "cannot read the release's agreement");
    return FromGbk(tavix::MemoText(bytes));
}

}  // namespace

E2E_SCENARIO(keyboard_only_installation) {
    InstallScenario s(std::wstring(kTestRoot) + L"\\keyboard\\");
    const std::size_t n = Release().manifestLines.size();
    s.setup = StartSetupToWizard();
    HWND w = WaitWizard(s.setup.pid);
    Check(NoMessageBox(s.setup.pid, 800), "a message box came up at the start");

    // The wizard opens with the focus on Next, and the keys go to it.
    CheckKeysGoTo(w, "the wizard");
    CheckFocus(w, ids::kBtnNext, "at the start");
    CheckTabOrder(w, "Tab", {ids::kBtnExit, ids::kBtnNext}, "welcome page");
    KeysToPage(w, "Return", 1);

    // The licence page: the text, the agreement, then the buttons in reading
    // order; Shift+Tab goes back.
    CheckFocus(w, ids::kBtnNext, "licence page");
    CheckTabOrder(w, "Tab", {ids::kBtnExit, ids::kMemo1, ids::kRadioButton1, ids::kBtnPri, ids::kBtnNext},
                  "licence page");
    CheckTabOrder(w, "shift+Tab", {ids::kBtnPri, ids::kRadioButton1, ids::kMemo1}, "licence page backwards");
    HWND memo = WizardControl(w, ids::kMemo1);
    TypeText("typed");
    PressKeys("BackSpace Delete");
    Settle(w);
    Check(Text(memo) == ExpectedAgreement(), "the licence text was changed by typing");
    // Enter in the text presses Next.
    KeysToPage(w, "Return", 2);

    // The folder page: the folder, browse, the drive list, the desktop box.
    CheckFocus(w, ids::kBtnNext, "folder page");
    CheckTabOrder(w, "Tab",
                  {ids::kBtnExit, ids::kEditPath, ids::kButton1, ids::kDiskGrid, ids::kChbDesktop, ids::kBtnPri,
                   ids::kBtnNext},
                  "folder page");
    // In the drive list the arrow keys move and Enter switches the drive.
    CheckTabOrder(w, "shift+Tab", {ids::kBtnPri, ids::kChbDesktop, ids::kDiskGrid}, "folder page backwards");
    auto rows = DriveGridRows(w);
    Check(rows.size() >= 2, "the drive list holds %zu rows", rows.size());
    const int first = DriveGridSelectedRow(w);
    const int other = first + 1 < static_cast<int>(rows.size()) ? first + 1 : first - 1;
    PressKeys(other > first ? "Down" : "Up");
    Check(WaitFor([&] { return DriveGridSelectedRow(w) == other; }, 3000), "the arrow key left row %d selected",
          DriveGridSelectedRow(w));
    const std::wstring before = InstallFolderText(w);
    PressKeys("Return");
    Settle(w);
    const std::wstring switched = FromGbk(tavix::SwitchDrive(Narrow(before, 936), Narrow(rows[other][0], 936)));
    Check(InstallFolderText(w) == switched, "Enter in the drive list gave the folder %s, not %s",
          ToUtf8(InstallFolderText(w)).c_str(), ToUtf8(switched).c_str());
    Check(WizardPage(w) == 2, "Enter in the drive list left the folder page");
    PressKeys(other > first ? "Up" : "Down");
    PressKeys("Return");
    Settle(w);
    Check(DriveGridSelectedRow(w) == first && InstallFolderText(w).substr(0, 3) == rows[first][0],
          "back on row %d the folder is %s", first, ToUtf8(InstallFolderText(w)).c_str());
    // Into the folder box (its text is selected) and type the folder.
    CheckTabOrder(w, "shift+Tab", {ids::kButton1, ids::kEditPath}, "to the folder box");
    TypeText(ToUtf8(s.dir));
    Check(WaitFor([&] { return InstallFolderText(w) == s.dir; }, 5000), "the folder box reads %s",
          ToUtf8(InstallFolderText(w)).c_str());
    KeysToPage(w, "Return", 3);

    // The ready page: Enter starts the installation.
    CheckTabOrder(w, "Tab", {ids::kBtnExit, ids::kBtnPri, ids::kBtnNext}, "ready page");
    PressKeys("Return");
    HWND sec = WaitTop(s.setup.pid, L"TFormsec", nullptr, 15000);
    Check(!IsShown(w), "the wizard is still shown during the installation");

    // In the installation window Esc is 取消, with its question; Esc there
    // answers Cancel and the installation goes on.
    CheckKeysGoTo(sec, "the installation window");
    PressKeys("Escape");
    MsgBoxInfo box = WaitMessageBox(s.setup.pid);
    CheckBox(box, L"退出安装", L"安装程序进行中,确定要退出安装吗?", 2, false);
    CheckKeysGoTo(box.hwnd, "the cancel question");
    PressKeys("Escape");
    Check(WaitFor([&] { return !IsWindow(box.hwnd); }, 5000), "Esc did not answer the cancel question");

    // The finish page: the focus on 完毕, Tab reaches 运行软件 and Space
    // toggles it; Enter presses 完毕.
    WaitFinishPage(w, 120000);
    CheckManifestInstalled(s.dir, 0, n);
    CheckInstallRegistry(s.dir);
    CheckKeysGoTo(w, "the finish page");
    CheckFocus(w, ids::kBtnNext, "finish page");
    CheckTabOrder(w, "Tab", {ids::kChbRun, ids::kBtnNext, ids::kChbRun}, "finish page");
    HWND run = WizardControl(w, ids::kChbRun);
    PressKeys("space");
    Check(WaitFor([&] { return SendMessageW(run, BM_GETCHECK, 0, 0) == BST_UNCHECKED; }, 3000),
          "Space did not clear 运行软件");
    PressKeys("space");
    Check(WaitFor([&] { return SendMessageW(run, BM_GETCHECK, 0, 0) == BST_CHECKED; }, 3000),
          "Space did not tick 运行软件 again");
    PressKeys("Return");
    DWORD code = WaitExit(s.setup, 15000);
    Check(code == 0, "the setup ended with exit code %lu", code);
    CheckTempFilesGone();
    Check(FindTop(0, L"TTavi30", nullptr, 10000) != nullptr, "完毕 did not start the product");
    std::string options;
    Check(ReadFileBytes(s.dir + L"Options.ini", options) && options.find("\r\nReset=88\r\n") != std::string::npos,
          "完毕 did not mark Options.ini");
}

E2E_SCENARIO(escape_in_the_licence_text_keeps_the_page) {
    FreshSetup setup;
    HWND w = setup.wizard;
    CheckKeysGoTo(w, "the wizard");
    KeysToPage(w, "Return", 1);
    HWND page = WizardControl(w, ids::kPage0 + 1), memo = WizardControl(w, ids::kMemo1);
    HWND agree = WizardControl(w, ids::kRadioButton1), disagree = WizardControl(w, ids::kRadioButton2);
    Check(GetWindowLongW(memo, GWL_STYLE) & ES_READONLY, "the licence text is not read-only");
    CheckTabOrder(w, "Tab", {ids::kBtnExit, ids::kMemo1}, "into the licence text");

    // Esc in the text asks the exit question; No keeps the page whole.
    PressKeys("Escape");
    MsgBoxInfo box = WaitMessageBox(setup.process.pid);
    Check(box.caption == L"Confirm" && box.text == L"确定要退出安装程序吗?", "Esc asked %s: %s",
          ToUtf8(box.caption).c_str(), ToUtf8(box.text).c_str());
    Answer(box, IDNO);
    auto pageWhole = [&](const char* after) {
        for (HWND c : {page, memo, agree, disagree})
            Check(IsWindow(c) && IsShown(c), "%s: a control of the licence page is gone", after);
        Check(WizardPage(w) == 1, "%s: on page %d", after, WizardPage(w));
        Check(Text(memo) == ExpectedAgreement(), "%s: the licence text is not the agreement", after);
        Check(IsEnabled(WizardControl(w, ids::kBtnNext)), "%s: Next is disabled", after);
    };
    pageWhole("after Esc and No");
    CheckFocus(w, ids::kMemo1, "after Esc and No");

    // What a multi-line edit box sends to its parent on Esc when nothing
    // takes the key before it: the page stays.
    PostClose(page);
    Settle(w);
    Pause(300);
    pageWhole("after WM_CLOSE to the page");
    ClickBack(w);
    ClickNext(w);
    pageWhole("after Back and Next");

    // Esc again, Yes: the setup ends.
    PressKeys("Escape");
    Answer(WaitMessageBox(setup.process.pid), IDYES);
    WaitExit(setup.process, 15000);
    Check(TempFilesGone(), "temporary control files are left");
}

E2E_SCENARIO(one_press_turns_one_page) {
    FreshSetup setup;
    HWND w = setup.wizard;
    HWND next = WizardControl(w, ids::kBtnNext);
    auto settleOn = [&](int page, const char* what) {
        // The page change that runs ends, then the input queued behind it is served.
        Settle(w);
        Pause(1000);
        Settle(w);
        Check(WizardPage(w) == page && IsShown(w), "%s: on page %d%s, not on page %d", what, WizardPage(w),
              IsShown(w) ? "" : " (hidden)", page);
    };
    // A real double click on Next on the welcome page shows the licence.
    ClickOnWindow(next, 2);
    settleOn(1, "double click on the welcome page");

    // On the folder page it shows the ready page and installs nothing.
    ClickNext(w);
    Check(WizardPage(w) == 2, "not on the folder page");
    ClickOnWindow(next, 2);
    settleOn(3, "double click on the folder page");
    Check(FindTop(setup.process.pid, L"TFormsec", nullptr, 0) == nullptr, "the installation started");

    // Two presses as the system sends a double click (the second down is a
    // double-click message), posted at once: one page back.
    HWND back = WizardControl(w, ids::kBtnPri);
    DoubleClickAt(back, 10, 10);
    settleOn(2, "double click on Back");

    // A held Enter presses Next once.
    ClickBack(w);
    ClickBack(w);
    Check(WizardPage(w) == 0, "not on the welcome page");
    CheckKeysGoTo(w, "the wizard");
    HoldKey("Return", 2000);
    settleOn(1, "a held Enter");

    // Presses that come while the page is still changing: a setup with a
    // licence text of two megabytes is busy bringing its licence page up.
    ClickBack(w);
    Click(WizardControl(w, ids::kBtnExit));
    Answer(WaitMessageBox(setup.process.pid), IDYES);
    WaitExit(setup.process);
    FreshSetup slow(Env(L"TAVIX_LONG_AGREEMENT_EXE"));
    w = slow.wizard;
    next = WizardControl(w, ids::kBtnNext);
    CheckKeysGoTo(w, "the wizard of the slow setup");
    auto busy = [&] {
        DWORD_PTR result;
        return !SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_NORMAL, 100, &result);
    };
    RECT r;
    GetWindowRect(next, &r);
    const int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
    // Two clicks 20 pixels apart are two clicks, not a double click.
    DWORD start = GetTickCount();
    ClickOnScreen(x - 10, y);
    Pause(300);
    ClickOnScreen(x + 10, y);
    Check(busy(), "the licence page came too quickly to test a second click (%lu ms)", GetTickCount() - start);
    settleOn(1, "a second click while the licence page came");
    Log("the licence page took %lu ms", GetTickCount() - start);
    ClickBack(w);
    PressKeys("Return");
    Pause(300);
    PressKeys("Return");
    Check(busy(), "the licence page came too quickly to test a second Enter");
    settleOn(1, "a second Enter while the licence page came");
}
