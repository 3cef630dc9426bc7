// The compressed payload when it is damaged: a changed byte in a block, a
// block cut short, a block whose header announces another length than its
// frame decodes to, and a setup without its checksum table. Each is the
// damaged-setup case: exit code 7 without windows, the damaged-setup message
// with them, and no cut or wrong file at any target.
#include "driver/e2e.h"
#include "driver/install_steps.h"
#include "driver/setup_copies.h"
#include "driver/setup_steps.h"
#include "driver/silent_steps.h"
#include "driver/wizard_steps.h"
#include "common/command_line.h"
#include "setupdata/manifest.h"

using namespace e2e;
using tavix::ExitCode;

namespace {

// Every target below `dir` is either missing or the release's file byte for
// byte; returns how many are missing.
std::size_t CheckNoWrongFile(const std::wstring& dir) {
    std::size_t missing = 0;
    for (std::size_t i = 0; i < Release().manifestLines.size(); ++i) {
        if (!FileExists(TargetOf(dir, i))) {
            ++missing;
            continue;
        }
        CheckSameFile(ReleaseFileOf(i), TargetOf(dir, i));
    }
    CheckNoTemporaryFiles(dir);
    return missing;
}

const tavix::ManifestEntry& HelpEntry() {
    static const tavix::ManifestEntry entry = [] {
        const std::size_t help = LineOf(L"SdbFile\\Help.BLB");
        return tavix::ParseManifestLine(Release().manifestLines[help], static_cast<int>(help));
    }();
    return entry;
}

} // namespace

E2E_SCENARIO(damaged_blocks_end_a_silent_installation_with_7_and_no_wrong_file) {
    struct Row {
        const char* what;
        BlockDamage how;
    };
    const Row rows[] = {{"a changed byte", BlockDamage::ChangedByte},
                        {"a cut block", BlockDamage::Cut},
                        {"a block of the wrong length", BlockDamage::WrongLength}};
    CreateDirectoryW(kTestRoot, nullptr);
    for (const Row& row : rows) {
        Log("%s", row.what);
        const std::wstring exe = std::wstring(kTestRoot) + L"\\damaged-block.exe";
        const std::wstring dir = std::wstring(kTestRoot) + L"\\损坏的块\\";
        const std::wstring log = std::wstring(kTestRoot) + L"\\damaged-block.log";
        DeleteTree(dir);
        DeleteFileW(log.c_str());
        const unsigned block =
            CopySetupWithDamagedBlock(exe, HelpEntry().ResourceType.c_str(), HelpEntry().ResourceName.c_str(), row.how);
        SilentRun run = RunSilently(exe, L"/S \"/LOG=" + log + L"\" /D=" + dir.substr(0, dir.size() - 1));
        const std::wstring text = ReadLog(log);
        Check(run.code == static_cast<DWORD>(ExitCode::DamagedSetup), "%s (block %u): exit code %lu\n%s", row.what,
              block, run.code, ToUtf8(text).c_str());
        Check(text.find(L"安装程序已损坏") != std::wstring::npos, "%s: the log does not say the setup is damaged:\n%s",
              row.what, ToUtf8(text).c_str());
        // The items of the damaged block that were not whole are not there.
        Check(CheckNoWrongFile(dir) > 0, "%s: every file was installed", row.what);
        Check(!FileExists(TargetOf(dir, LineOf(L"SdbFile\\Help.BLB"))), "%s: the damaged item was installed",
              row.what);
        DeleteTree(dir);
    }
    DeleteTree(kTestRoot);
}

E2E_SCENARIO(damaged_block_shows_the_damaged_setup_message) {
    InstallScenario s(L"C:\\Tavix E2E\\损坏的块\\");
    const std::wstring exe = std::wstring(kTestRoot) + L"\\damaged-block.exe";
    CopySetupWithDamagedBlock(exe, HelpEntry().ResourceType.c_str(), HelpEntry().ResourceName.c_str(),
                              BlockDamage::ChangedByte);
    InstallProbe probe;
    HWND wizard = s.StartAtFolderPage(probe, exe);
    ClickNext(wizard);
    StartInstall(wizard);
    MsgBoxInfo box = WaitMessageBox(s.setup.pid, 60000);
    Check(box.caption == L"tavixSetup" && box.hasIcon && box.text.rfind(L"安装程序已损坏：“", 0) == 0 &&
              box.text.find(L"请重新获取安装程序。") != std::wstring::npos,
          "box %s: %s", ToUtf8(box.caption).c_str(), ToUtf8(box.text).c_str());
    Answer(box, IDOK);
    Check(CheckNoWrongFile(s.dir) > 0, "every file was installed");
}

E2E_SCENARIO(setup_without_its_checksum_table_is_damaged) {
    CreateDirectoryW(kTestRoot, nullptr);
    const std::wstring exe = std::wstring(kTestRoot) + L"\\no-table.exe";
    CopySetupWithoutChecksumTable(exe);
    const std::wstring want = L"安装程序已损坏：缺少各文件的校验值记录。请重新获取安装程序。";
    // With windows: the message at the start, and nothing written.
    RemoveControlFiles();
    Process setup = StartSetup(exe);
    MsgBoxInfo box = WaitMessageBox(setup.pid);
    Check(box.caption == L"tavixSetup" && box.hasIcon && box.text.rfind(want, 0) == 0, "box %s: %s",
          ToUtf8(box.caption).c_str(), ToUtf8(box.text).c_str());
    Answer(box, IDOK);
    Check(WaitExit(setup, 15000) == 0, "the setup did not end");
    Check(TempFilesGone(), "control files were left");
    // Without: exit code 7 before any file.
    const std::wstring dir = std::wstring(kTestRoot) + L"\\无校验表";
    SilentRun run = RunSilently(exe, L"/S /D=" + dir);
    Check(run.code == static_cast<DWORD>(ExitCode::DamagedSetup), "exit code %lu", run.code);
    Check(!DirExists(dir), "the silent installation made its folder");
    DeleteTree(kTestRoot);
}
