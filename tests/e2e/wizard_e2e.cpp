// The wizard driven as a user would: its pages and buttons, the two ways of
// leaving, the check for an earlier installation, the drive list and the
// folder browser.
#include "driver/e2e.h"
#include "driver/install_steps.h"
#include "driver/wizard_steps.h"
#include "setupdata/ini.h"
#include "wizard/wizard_ids.h"
#include "wizard/wizard_rules.h"

using namespace e2e;
namespace ids = wizard_ids;

namespace {

// A value of the release's control file, as UTF-16.
std::wstring ReleaseValue(const char* section, const char* key) {
    std::string ini;
    Check(ReadFileBytes(ReleaseDir() + L"\\Setup.ini", ini), "cannot read the release's Setup.ini");
    return FromGbk(tavix::IniLookup(ini, section, key));
}

std::wstring ControlText(HWND wizard, int id) { return Text(WizardControl(wizard, id)); }

bool Checked(HWND wizard, int id) {
    return SendMessageW(WizardControl(wizard, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// The buttons of the wizard's bar as they should stand.
struct Buttons {
    bool backEnabled, nextEnabled;
    const wchar_t* next;
};

void CheckButtons(HWND wizard, const Buttons& b, const char* where) {
    HWND back = WizardControl(wizard, ids::kBtnPri), next = WizardControl(wizard, ids::kBtnNext),
         exit = WizardControl(wizard, ids::kBtnExit);
    Check(Text(back) == L"< 返回", "%s: Back reads %s", where, ToUtf8(Text(back)).c_str());
    Check(Text(exit) == L"退出", "%s: Exit reads %s", where, ToUtf8(Text(exit)).c_str());
    Check(Text(next) == b.next, "%s: Next reads %s", where, ToUtf8(Text(next)).c_str());
    Check(IsEnabled(back) == b.backEnabled, "%s: Back is %s", where, IsEnabled(back) ? "enabled" : "disabled");
    Check(IsEnabled(next) == b.nextEnabled, "%s: Next is %s", where, IsEnabled(next) ? "enabled" : "disabled");
    Check(IsEnabled(exit), "%s: Exit is disabled", where);
}

// What each page shows in the band and the strip.
struct PageLook {
    int page;
    bool band, strip;
    std::wstring title, subtitle;
};

void CheckPage(HWND wizard, const PageLook& look) {
    int page = WizardPage(wizard);
    Check(page == look.page, "on page %d, expected %d", page, look.page);
    Check(TopBandShown(wizard) == look.band, "page %d: top band %s", page, look.band ? "hidden" : "shown");
    Check(LeftStripShown(wizard) == look.strip, "page %d: left strip %s", page, look.strip ? "hidden" : "shown");
    if (!look.band) return;
    Check(BandTitle(wizard) == look.title, "page %d: band title \"%s\", expected \"%s\"", page,
          ToUtf8(BandTitle(wizard)).c_str(), ToUtf8(look.title).c_str());
    Check(BandSubtitle(wizard) == look.subtitle, "page %d: subtitle \"%s\", expected \"%s\"", page,
          ToUtf8(BandSubtitle(wizard)).c_str(), ToUtf8(look.subtitle).c_str());
}

// The agreement as the licence page should show it.
std::wstring ExpectedAgreement() {
    std::string bytes;
    Check(ReadFileBytes(ReleaseDir() + L"\\用户授权协议.txt", bytes), "cannot read the release's agreement");
    return FromGbk(tavix::MemoText(bytes));
}


void CheckEnded(Process& p) {
    WaitExit(p, 15000);
    Check(TempFilesGone(), "temporary control files are left in %s", ToUtf8(WindowsTempDir()).c_str());
}

}  // namespace

E2E_SCENARIO(pages_forward_and_back) {
    FreshSetup setup;
    HWND w = setup.wizard;
    const std::wstring caption = ReleaseValue("Form", "Caption");
    const std::wstring sqxy = ReleaseValue("Form", "SQXY");
    Check(Text(w) == caption, "wizard caption %s", ToUtf8(Text(w)).c_str());

    // Page 0: welcome, strip shown, band hidden.
    CheckPage(w, {0, false, true, L"", L""});
    Check(ControlText(w, ids::kLabel6) == L"欢迎使用 " + caption, "Label6: %s",
          ToUtf8(ControlText(w, ids::kLabel6)).c_str());
    Check(ControlText(w, ids::kLabel7) == L"即将在您的电脑上安装“" + caption + L"” 请点击“下一步”按钮继续。",
          "Label7: %s", ToUtf8(ControlText(w, ids::kLabel7)).c_str());
    CheckButtons(w, {false, true, L"下一步 >"}, "page 0");
    Screenshot(w, L"wizard_page0");

    // Page 1: the agreement, agree checked.
    ClickNext(w);
    CheckPage(w, {1, true, false, sqxy, L"请仔细阅读下面的协议条款"});
    CheckButtons(w, {true, true, L"下一步 >"}, "page 1");
    HWND memo = WizardControl(w, ids::kMemo1);
    Check(Text(memo) == ExpectedAgreement(), "the agreement text differs from the release's (%zu characters)",
          Text(memo).size());
    Check(Checked(w, ids::kRadioButton1) && !Checked(w, ids::kRadioButton2), "agree is not checked");
    Screenshot(w, L"wizard_page1");

    // Disagree disables Next, agree enables it again.
    Click(WizardControl(w, ids::kRadioButton2));
    Check(WaitFor([&] { return !IsEnabled(WizardControl(w, ids::kBtnNext)); }, 5000), "disagree left Next enabled");
    Click(WizardControl(w, ids::kRadioButton1));
    Check(WaitFor([&] { return IsEnabled(WizardControl(w, ids::kBtnNext)); }, 5000), "agree left Next disabled");

    // Back to page 0 with disagree chosen enables Next there.
    Click(WizardControl(w, ids::kRadioButton2));
    Check(WaitFor([&] { return !IsEnabled(WizardControl(w, ids::kBtnNext)); }, 5000), "disagree left Next enabled");
    SetEditText(memo, L"changed by the test");
    ClickBack(w);
    CheckPage(w, {0, false, true, L"", L""});
    CheckButtons(w, {false, true, L"下一步 >"}, "page 0 after Back");

    // A forward entry into page 1 reloads the agreement and checks agree.
    ClickNext(w);
    CheckPage(w, {1, true, false, sqxy, L"请仔细阅读下面的协议条款"});
    Check(Text(memo) == ExpectedAgreement(), "the agreement was not reloaded");
    Check(Checked(w, ids::kRadioButton1) && !Checked(w, ids::kRadioButton2), "agree is not checked again");
    CheckButtons(w, {true, true, L"下一步 >"}, "page 1 again");

    // Page 2 and back: the agreement and the choice stay as they were.
    SetEditText(memo, L"kept while going back");
    ClickNext(w);
    CheckPage(w, {2, true, false, L"选择安装文件夹", L""});
    CheckButtons(w, {true, true, L"下一步 >"}, "page 2");
    Check(InstallFolderText(w) == ReleaseValue("SetupDir", "SetupPath") + L"\\", "folder preset %s",
          ToUtf8(InstallFolderText(w)).c_str());
    Check(Checked(w, ids::kChbDesktop), "创建桌面快捷方式 is not checked");
    const std::wstring grid = ControlText(w, ids::kDiskGrid);
    Check(!grid.empty(), "the drive list is empty");
    ClickBack(w);
    CheckPage(w, {1, true, false, sqxy, L"请仔细阅读下面的协议条款"});
    Check(Text(memo) == L"kept while going back", "going back reloaded the agreement");
    ClickNext(w);

    // Page 3: ready.
    ClickNext(w);
    CheckPage(w, {3, true, false, L"安装确认", L"点击“下一步”开始安装" + caption});
    Check(ControlText(w, ids::kLabel2) == L"安装程序已经准备好在您的计算机上安装" + caption, "Label2: %s",
          ToUtf8(ControlText(w, ids::kLabel2)).c_str());
    CheckButtons(w, {true, true, L"下一步 >"}, "page 3");
    Screenshot(w, L"wizard_page3");

    // Back from 3 to 2: no subtitle, the drive list as it was.
    ClickBack(w);
    CheckPage(w, {2, true, false, L"选择安装文件夹", L""});
    CheckButtons(w, {true, true, L"下一步 >"}, "page 2 after Back");
    Check(ControlText(w, ids::kDiskGrid) == grid, "the drive list changed on the way back");
    ClickBack(w);
    ClickBack(w);
    CheckPage(w, {0, false, true, L"", L""});
    CheckButtons(w, {false, true, L"下一步 >"}, "page 0 at the end");

    // The exit button, Yes: the setup ends and its temporary files go.
    Click(WizardControl(w, ids::kBtnExit));
    MsgBoxInfo box = WaitMessageBox(setup.process.pid);
    Answer(box, IDYES);
    CheckEnded(setup.process);
}

E2E_SCENARIO(leaving_asks_its_own_question) {
    FreshSetup setup;
    HWND w = setup.wizard;
    ClickNext(w);

    // The exit button asks in a Yes/No confirmation box with a question icon.
    Click(WizardControl(w, ids::kBtnExit));
    MsgBoxInfo box = WaitMessageBox(setup.process.pid);
    Check(box.caption == L"Confirm", "exit box caption %s", ToUtf8(box.caption).c_str());
    Check(box.text == L"确定要退出安装程序吗?", "exit box text %s", ToUtf8(box.text).c_str());
    Check(box.hasIcon, "the exit box has no icon");
    Check(GetDlgItem(box.hwnd, IDYES) && GetDlgItem(box.hwnd, IDNO) && !GetDlgItem(box.hwnd, IDOK) &&
              !GetDlgItem(box.hwnd, IDCANCEL),
          "the exit box's buttons are not Yes and No");
    Answer(box, IDNO);
    Check(!HasExited(setup.process) && IsShown(w) && WizardPage(w) == 1, "No did not keep the wizard");

    // Closing the window asks in an OK/Cancel system box titled 退出安装, without an icon.
    PostClose(w);
    box = WaitMessageBox(setup.process.pid);
    Check(box.caption == L"退出安装", "close box caption %s", ToUtf8(box.caption).c_str());
    Check(box.text == L"确定要退出安装程序吗?", "close box text %s", ToUtf8(box.text).c_str());
    Check(!box.hasIcon, "the close box has an icon");
    Check(GetDlgItem(box.hwnd, IDOK) && GetDlgItem(box.hwnd, IDCANCEL) && !GetDlgItem(box.hwnd, IDYES),
          "the close box's buttons are not OK and Cancel");
    Answer(box, IDCANCEL);
    Check(!HasExited(setup.process) && IsShown(w) && WizardPage(w) == 1, "Cancel did not keep the wizard");
    Check(!TempFilesGone(), "the temporary files went although the setup goes on");

    PostClose(w);
    box = WaitMessageBox(setup.process.pid);
    Check(box.caption == L"退出安装", "close box caption %s", ToUtf8(box.caption).c_str());
    Answer(box, IDOK);
    CheckEnded(setup.process);
}

E2E_SCENARIO(wizard_handlers_do_not_run_inside_a_sent_message) {
    // Windows refuses COM calls that leave the process inside a message sent
    // from another thread; the folder browser and the shell make such calls.
    FreshSetup setup;
    InstallProbe probe;
    probe.Attach(setup.process.pid);
    probe.WaitWatching(setup.wizard);
    ClickNext(setup.wizard);
    ClickNext(setup.wizard);
    // The probe records a click when its handler has returned, which may be
    // after the page has changed.
    std::vector<LONG> seen;
    WaitFor([&] {
        seen.clear();
        for (const ProbeEvent& e : probe.Events())
            if (e.kind == ProbeKind::NextClicked) seen.push_back(e.value);
        return seen.size() >= 2;
    });
    Check(seen.size() == 2, "the probe saw %zu clicks on 下一步", seen.size());
    for (LONG inSend : seen) Check(inSend == 0, "the wizard's Next handler ran inside a sent message");
    Click(WizardControl(setup.wizard, ids::kBtnExit));
    Answer(WaitMessageBox(setup.process.pid), IDYES);
    CheckEnded(setup.process);
}
