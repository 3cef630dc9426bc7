// The control files in the shared temporary folder belong to the setup:
// whatever others left at their names is replaced, the setup's own copies
// cannot be changed while it runs, a name it cannot use ends the setup with
// its error, and a control file that would lead the setup astray (a program
// name with a folder, a shortcut name out of the desktop) or an item that is
// damaged is refused at start.
#include <functional>

#include "driver/e2e.h"
#include "driver/install_steps.h"
#include "driver/setup_copies.h"
#include "driver/setup_steps.h"
#include "driver/wizard_steps.h"
#include "setupdata/manifest.h"
#include "common/command_line.h"
#include "wizard/wizard_ids.h"

using namespace e2e;

namespace {

// The item each control file is written from, as the setup carries it.
std::string ItemBytes(int i) {
    const std::wstring names[3] = {L"Setup.log", L"Setup.ini", L"用户授权协议.txt"};
    std::string bytes;
    Check(ReadFileBytes(ReleaseDir() + L"\\" + names[i], bytes), "cannot read the release's %s",
          ToUtf8(names[i]).c_str());
    return bytes;
}

// The release's control file with `key`'s value set to `value`, cut before
// the block of earlier values kept at its end so that it stays no longer.
std::string ControlFileWith(const std::string& key, const std::string& value) {
    std::string ini = ItemBytes(1);
    ini = ini.substr(0, ini.find("RJSize=12\r\n") + 11);
    const std::size_t at = ini.find("\r\n" + key + "=");
    Check(at != std::string::npos, "the control file has no %s", key.c_str());
    const std::size_t start = at + 2 + key.size() + 1, end = ini.find("\r\n", start);
    return ini.replace(start, end - start, value);
}

void EndThroughTheExitButton(Process& setup, HWND wizard) {
    Click(WizardControl(wizard, wizard_ids::kBtnExit));
    Answer(WaitMessageBox(setup.pid), IDYES);
    Check(WaitExit(setup) == 0, "the setup's exit code is not 0");
}

}  // namespace

E2E_SCENARIO(planted_files_are_replaced_and_held_against_change) {
    RemoveControlFiles();
    // Left there by someone else: a read-only file, a file with other
    // content and an empty folder.
    const std::wstring temp = WindowsTempDir();
    WriteFileBytes(temp + kControlFileNames[0], "NoSuchItem exename ..\\..\\planted.exe");
    SetFileAttributesW((temp + kControlFileNames[0]).c_str(), FILE_ATTRIBUTE_READONLY);
    WriteFileBytes(temp + kControlFileNames[1], "[Run]\r\nFileName=..\\..\\planted.exe\r\n");
    Check(CreateDirectoryW((temp + kControlFileNames[2]).c_str(), nullptr), "cannot make a folder at the name");

    FreshSetup setup;
    for (int i = 0; i < 3; ++i) {
        const std::wstring path = temp + kControlFileNames[i];
        std::string bytes;
        Check(ReadFileBytes(path, bytes) && bytes == ItemBytes(i), "%s is not the setup's own",
              ToUtf8(kControlFileNames[i]).c_str());
        // While the setup runs, nobody else may change, replace or remove it.
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
        Check(h == INVALID_HANDLE_VALUE, "%s can be opened for writing", ToUtf8(kControlFileNames[i]).c_str());
        Check(!DeleteFileW(path.c_str()), "%s can be deleted", ToUtf8(kControlFileNames[i]).c_str());
        Check(!MoveFileExW(path.c_str(), (path + L".moved").c_str(), 0), "%s can be renamed",
              ToUtf8(kControlFileNames[i]).c_str());
    }
    // The licence page shows the setup's agreement, not what was planted.
    ClickNext(setup.wizard);
    Check(Text(WizardControl(setup.wizard, wizard_ids::kMemo1)).size() > 100, "the licence page shows no agreement");
    EndThroughTheExitButton(setup.process, setup.wizard);
    Check(TempFilesGone(), "the control files were left");
}

E2E_SCENARIO(folder_at_a_control_file_name_ends_the_setup_after_its_error) {
    RemoveControlFiles();
    const std::wstring folder = WindowsTempDir() + L"avixSetup.ini";
    Check(CreateDirectoryW(folder.c_str(), nullptr), "cannot make a folder at the name");
    WriteFileBytes(folder + L"\\kept.txt", "someone's file");
    Process setup = StartSetup();
    MsgBoxInfo box = WaitMessageBox(setup.pid);
    const std::wstring head = L"Cannot create file \"" + folder + L"\". ";
    Check(box.caption == L"tavixSetup" && box.hasIcon && box.text.rfind(head, 0) == 0 && box.text.size() > head.size(),
          "box %s: %s", ToUtf8(box.caption).c_str(), ToUtf8(box.text).c_str());
    Answer(box, IDOK);
    // The setup ends: no wizard, and no backdrop left with nothing on it.
    Check(WaitExit(setup, 15000) == 0, "the setup's exit code is not 0");
    Check(FileExists(folder + L"\\kept.txt"), "the folder's file was removed");
    DeleteTree(folder);
    Check(TempFilesGone(), "control files were left");
}

E2E_SCENARIO(control_files_that_lead_astray_or_damaged_items_are_refused_at_start) {
    struct Row {
        const char* what;
        std::function<void(const std::wstring&)> make;  // makes the copy of the setup
        std::wstring message;                            // the start of the error box's text
    };
    const std::wstring damagedHead = L"安装程序已损坏：";
    const Row rows[] = {
        {"program name with folders",
         [](const std::wstring& p) {
             CopySetupWithItem(p, "txtname", "FileTxt6", ControlFileWith("FileName", "..\\..\\planted.exe"));
         },
         damagedHead + L"控制文件中的 [Run] FileName“..\\..\\planted.exe”不是一个文件名。"},
        {"shortcut name that leaves the desktop",
         [](const std::wstring& p) {
             CopySetupWithItem(p, "txtname", "FileTxt6", ControlFileWith("desKtopLink", "\\..\\Startup\\x.lnk"));
         },
         damagedHead + L"控制文件中的 [Form] desKtopLink“\\..\\Startup\\x.lnk”"},
        {"shortcut name without its backslash",
         [](const std::wstring& p) {
             CopySetupWithItem(p, "txtname", "FileTxt6", ControlFileWith("desKtopLink", "Quorvix.lnk"));
         },
         damagedHead + L"控制文件中的 [Form] desKtopLink“Quorvix.lnk”"},
        {"no caption",
         [](const std::wstring& p) { CopySetupWithItem(p, "txtname", "FileTxt6", ControlFileWith("Caption", "")); },
         damagedHead + L"控制文件中缺少 [Form] Caption。"},
        {"damaged control file",
         [](const std::wstring& p) { CopySetupWithDamagedItem(p, "txtname", "FileTxt6"); },
         damagedHead + L"“FileTxt6”的数据与记录的校验值不符。"},
    };
    CreateDirectoryW(kTestRoot, nullptr);
    for (const Row& row : rows) {
        Log("%s", row.what);
        const std::wstring exe = std::wstring(kTestRoot) + L"\\refused.exe";
        row.make(exe);
        RemoveControlFiles();
        Process setup = StartSetup(exe);
        MsgBoxInfo box = WaitMessageBox(setup.pid);
        Check(box.caption == L"tavixSetup" && box.hasIcon && box.text.rfind(row.message, 0) == 0,
              "%s: box %s: %s", row.what, ToUtf8(box.caption).c_str(), ToUtf8(box.text).c_str());
        Answer(box, IDOK);
        Check(WaitExit(setup, 15000) == 0, "%s: the setup did not end", row.what);
        Check(TempFilesGone(), "%s: control files were left", row.what);
        // Without windows the same setup ends as a damaged one, with no box.
        Process silent = Launch(exe, L"/S /D=C:\\Tavix E2E\\静默");
        Check(WaitExit(silent, 30000) == static_cast<DWORD>(tavix::ExitCode::DamagedSetup),
              "%s: the silent installation did not refuse", row.what);
        Check(!DirExists(L"C:\\Tavix E2E\\静默"), "%s: the silent installation wrote files", row.what);
    }
    DeleteTree(kTestRoot);
}

E2E_SCENARIO(damaged_item_is_named_and_leaves_no_damaged_file) {
    InstallScenario s(L"C:\\Tavix E2E\\损坏\\");
    const std::size_t help = LineOf(L"SdbFile\\Help.BLB");
    const tavix::ManifestEntry entry =
        tavix::ParseManifestLine(Release().manifestLines[help], static_cast<int>(help));
    const std::wstring exe = std::wstring(kTestRoot) + L"\\damaged.exe";
    CopySetupWithDamagedItem(exe, entry.ResourceType.c_str(), entry.ResourceName.c_str());
    // Over an earlier copy of the file: it stays as it was.
    CreateDirectoryW(s.dir.c_str(), nullptr);
    CreateDirectoryW((s.dir + L"SdbFile").c_str(), nullptr);
    WriteFileBytes(TargetOf(s.dir, help), "the earlier help");

    InstallProbe probe;
    HWND wizard = s.StartAtFolderPage(probe, exe);
    ClickNext(wizard);
    HWND sec = StartInstall(wizard);
    MsgBoxInfo box = WaitMessageBox(s.setup.pid, 60000);
    const std::wstring want = L"安装程序已损坏：“" + FromUtf8(entry.ResourceName) + L"”的数据与记录的校验值不符。";
    Check(box.caption == L"tavixSetup" && box.hasIcon && box.text.rfind(want, 0) == 0, "box %s: %s",
          ToUtf8(box.caption).c_str(), ToUtf8(box.text).c_str());
    Answer(box, IDOK);
    std::string kept;
    Check(ReadFileBytes(TargetOf(s.dir, help), kept) && kept == "the earlier help", "the earlier file changed");
    CheckManifestInstalled(s.dir, 0, help);
    CheckManifestNotInstalled(s.dir, help + 1, Release().manifestLines.size());
    CheckNoTemporaryFiles(s.dir);
    CheckNoInstallRegistry();
    Click(FindChild(sec, L"Button", L"取消"));
    Answer(WaitMessageBox(s.setup.pid), IDOK);
    WaitExit(s.setup);

    // Without windows: exit code 7, the log names the item.
    const std::wstring log = std::wstring(kTestRoot) + L"\\damaged.log";
    Process silent = Launch(exe, L"/S \"/LOG=" + log + L"\" /D=" + s.dir);
    Check(WaitExit(silent, 60000) == static_cast<DWORD>(tavix::ExitCode::DamagedSetup),
          "the silent installation of a damaged setup did not end as damaged");
    std::string text;
    Check(ReadFileBytes(log, text) && text.find(ToUtf8(want)) != std::string::npos, "the log does not name the item");
    Check(ReadFileBytes(TargetOf(s.dir, help), kept) && kept == "the earlier help", "the earlier file changed");
}
