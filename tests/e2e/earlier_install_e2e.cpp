// The wizard's check for an earlier installation, with registry values and an
// installed copy prepared by the test.
#include "driver/e2e.h"
#include "driver/wizard_steps.h"
#include "wizard/wizard_ids.h"

using namespace e2e;

namespace {

const wchar_t kSerialKey[] = L"Software\\TAVIX\\Shell\\Serial";
const wchar_t kPathKey[] = L"Software\\TAVIX\\Shell\\PathName";
const wchar_t kEarlierDir[] = L"C:\\tavix_e2e_earlier\\";
const wchar_t kEmptyDir[] = L"C:\\tavix_e2e_earlier_empty\\";

// An earlier copy on disk: a folder with a "TAVI.exe", and one without.
struct EarlierCopy {
    EarlierCopy() {
        CreateDirectoryW(kEarlierDir, nullptr);
        CreateDirectoryW(kEmptyDir, nullptr);
        WriteFileBytes(std::wstring(kEarlierDir) + L"TAVI.exe", "MZ earlier copy");
    }
    ~EarlierCopy() {
        DeleteTree(L"C:\\tavix_e2e_earlier");
        DeleteTree(L"C:\\tavix_e2e_earlier_empty");
    }
};

// Nothing: no question, the control file's folder offered; Upgrade: no
// question, the installed copy's folder offered, so that it is replaced.
enum class Expect { Nothing, Upgrade, ReinstallQuestion, OlderQuestion, ErrorBox };

struct Case {
    const char* what;
    const wchar_t* serial;  // null: no value
    const wchar_t* path;    // null: no value
    bool serialAsNumber;    // written as REG_DWORD instead of a string
    Expect expect;
    int answer;             // IDYES / IDNO for questions
    const wchar_t* error;   // text of the error box
};

std::wstring ReinstallText(const std::wstring& caption) {
    return caption + L"已经安装，要再次安装吗？\r\r" +
           L"若选择再次安装，请注意备份原软件中的数据资料，以免丢失宝贵数据。\r" +
           L"备份方法：退出本安装程序，运行Quorvix，点击窗口顶行“文件”菜\r" +
           L"单，选择“另存为”保存数据到U盘，或其它熟悉的文件夹中。\r\r" +
           L"    按 [Yes] 按钮再次安装；按 [No] 结束\r";
}

const wchar_t kOlderText[] = L"您正在安装的是一个旧版本，要继续安装吗？\r\r    按 [Yes] 按钮继续安装；按 [No] 结束\r";

void Prepare(const Case& c) {
    RegDeleteTree(HKEY_CURRENT_USER, L"Software\\TAVIX");
    if (c.serial && c.serialAsNumber) {
        HKEY k;
        Check(RegCreateKeyExW(HKEY_CURRENT_USER, kSerialKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) ==
                  ERROR_SUCCESS,
              "cannot create the serial key");
        DWORD n = 2080206;
        RegSetValueExW(k, L"Serial", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n), sizeof n);
        RegCloseKey(k);
    } else if (c.serial) {
        RegWrite(HKEY_CURRENT_USER, kSerialKey, L"Serial", c.serial);
    }
    if (c.path) RegWrite(HKEY_CURRENT_USER, kPathKey, L"Path", c.path);
}

void LeaveByClose(Process& p, HWND wizard) {
    PostClose(wizard);
    Answer(WaitMessageBox(p.pid), IDOK);
    WaitExit(p, 15000);
}

}  // namespace

E2E_SCENARIO(earlier_installation_questions) {
    RegistryTreeRestore registry;
    EarlierCopy copy;
    const std::wstring caption = ReleaseSetupValue("Form", "Caption");
    const std::wstring preset = ReleaseSetupValue("SetupDir", "SetupPath") + L"\\";
    DeleteTree(preset.substr(0, preset.size() - 1));  // left by an earlier run that stopped half-way
    Check(!DirExists(preset), "the default folder %s is there before the run", ToUtf8(preset).c_str());
    const Case cases[] = {
        {"equal serial, Yes", L"02080206", kEarlierDir, false, Expect::ReinstallQuestion, IDYES, nullptr},
        {"equal serial, No", L"02080206", kEarlierDir, false, Expect::ReinstallQuestion, IDNO, nullptr},
        {"equal without the leading zero", L"2080206", kEarlierDir, false, Expect::ReinstallQuestion, IDYES, nullptr},
        {"later release installed, No", L"02080207", kEarlierDir, false, Expect::OlderQuestion, IDNO, nullptr},
        {"later release installed, Yes", L"03000000", kEarlierDir, false, Expect::OlderQuestion, IDYES, nullptr},
        {"release 2.72 installed", L"27200", kEarlierDir, false, Expect::Upgrade, 0, nullptr},
        {"TAVI.exe missing", L"02080206", kEmptyDir, false, Expect::Nothing, 0, nullptr},
        {"serial without a path", L"02080206", nullptr, false, Expect::Nothing, 0, nullptr},
        {"path without a serial", nullptr, kEarlierDir, false, Expect::Nothing, 0, nullptr},
        {"installed serial not a number", L"2.8.2.6", kEarlierDir, false, Expect::ErrorBox, 0,
         L"'2.8.2.6' is not a valid floating point value."},
        {"serial stored as a number", L"", kEarlierDir, true, Expect::ErrorBox, 0,
         L"Invalid data type for 'Serial'."},
    };
    for (const Case& c : cases) {
        Log("case: %s", c.what);
        Prepare(c);
        Process p = StartSetupToWizard();
        HWND wizard = WaitWizard(p.pid);
        HWND edit = WizardControl(wizard, wizard_ids::kEditPath);
        if (c.expect == Expect::Nothing || c.expect == Expect::Upgrade) {
            Check(NoMessageBox(p.pid, 1500), "%s: a message box came up", c.what);
            const std::wstring offered = c.expect == Expect::Upgrade ? std::wstring(kEarlierDir) : preset;
            Check(WaitFor([&] { return Text(edit) == offered; }, 5000), "%s: folder preset %s", c.what,
                  ToUtf8(Text(edit)).c_str());
            LeaveByClose(p, wizard);
            continue;
        }
        MsgBoxInfo box = WaitMessageBox(p.pid);
        if (c.expect == Expect::ErrorBox) {
            Check(box.caption == L"tavixSetup", "%s: error box caption %s", c.what, ToUtf8(box.caption).c_str());
            Check(box.text == c.error, "%s: error text %s", c.what, ToUtf8(box.text).c_str());
            Answer(box, IDOK);
            // The activation step ended there: no folder preset, no second box.
            Check(NoMessageBox(p.pid, 1000), "%s: another box followed the error", c.what);
            Check(Text(edit).empty(), "%s: the folder was preset to %s", c.what, ToUtf8(Text(edit)).c_str());
            LeaveByClose(p, wizard);
            continue;
        }
        const std::wstring expected = c.expect == Expect::ReinstallQuestion ? ReinstallText(caption) : kOlderText;
        Check(box.caption == L"Confirm", "%s: caption %s", c.what, ToUtf8(box.caption).c_str());
        Check(box.text == expected, "%s: text \"%s\"", c.what, ToUtf8(box.text).c_str());
        Check(box.hasIcon, "%s: no icon", c.what);
        Check(GetDlgItem(box.hwnd, IDYES) && GetDlgItem(box.hwnd, IDNO) && !GetDlgItem(box.hwnd, IDOK),
              "%s: the buttons are not Yes and No", c.what);
        Answer(box, c.answer);
        if (c.answer == IDNO) {
            // The setup ends before anything is installed.
            WaitExit(p, 15000);
            Check(TempFilesGone(), "%s: temporary files are left", c.what);
            Check(!DirExists(preset), "%s: the folder %s was made", c.what, ToUtf8(preset).c_str());
            std::string bytes;
            Check(ReadFileBytes(std::wstring(kEarlierDir) + L"TAVI.exe", bytes) && bytes == "MZ earlier copy",
                  "%s: the earlier copy was touched", c.what);
            continue;
        }
        // Yes: the welcome page, with the installed copy's folder offered.
        Check(WaitFor([&] { return Text(edit) == kEarlierDir; }, 5000), "%s: folder preset %s", c.what,
              ToUtf8(Text(edit)).c_str());
        Check(WizardPage(wizard) == 0 && IsShown(wizard), "%s: not on the welcome page", c.what);
        Check(NoMessageBox(p.pid, 500), "%s: a second question came", c.what);
        LeaveByClose(p, wizard);
    }
}

E2E_SCENARIO(clean_account_gets_empty_keys) {
    RegistryTreeRestore registry;
    RegDeleteTree(HKEY_CURRENT_USER, L"Software\\TAVIX");
    Process p = StartSetupToWizard();
    HWND wizard = WaitWizard(p.pid);
    Check(NoMessageBox(p.pid, 1000), "a message box came up on a clean account");
    for (const wchar_t* key : {kSerialKey, kPathKey}) {
        Check(RegKeyExists(HKEY_CURRENT_USER, key), "key %s was not created", ToUtf8(key).c_str());
        HKEY k;
        Check(RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &k) == ERROR_SUCCESS, "cannot open %s",
              ToUtf8(key).c_str());
        DWORD values = 99, subkeys = 99;
        RegQueryInfoKeyW(k, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                         nullptr);
        RegCloseKey(k);
        Check(values == 0 && subkeys == 0, "key %s holds %lu values and %lu keys", ToUtf8(key).c_str(), values,
              subkeys);
    }
    LeaveByClose(p, wizard);
}

E2E_SCENARIO(installing_again_offers_the_installed_folder) {
    RegistryTreeRestore registry;
    EarlierCopy copy;
    Prepare({"equal serial", L"02080206", kEarlierDir, false, Expect::ReinstallQuestion, IDYES, nullptr});
    Process p = StartSetupToWizard();
    HWND wizard = WaitWizard(p.pid);
    Answer(WaitMessageBox(p.pid), IDYES);
    GoToFolderPage(wizard);
    // The folder page offers the folder the product is in, and marks its drive.
    Check(InstallFolderText(wizard) == kEarlierDir, "the folder page offers %s",
          ToUtf8(InstallFolderText(wizard)).c_str());
    const int marked = DriveGridSelectedRow(wizard);
    const auto rows = DriveGridRows(wizard);
    Check(marked >= 0 && rows[marked][0] == L"C:\\" && !rows[marked][3].empty(), "the drive of %s is not marked",
          ToUtf8(kEarlierDir).c_str());
    // The user can still choose another folder.
    SetInstallFolder(wizard, L"C:\\tavix_e2e_elsewhere\\");
    ClickNext(wizard);
    ClickBack(wizard);
    Check(InstallFolderText(wizard) == L"C:\\tavix_e2e_elsewhere\\", "the folder went back to %s",
          ToUtf8(InstallFolderText(wizard)).c_str());
    LeaveByClose(p, wizard);
}
