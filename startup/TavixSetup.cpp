// Program block of the setup: one copy at a time, the backdrop, the wizard
// and the message loop; or, with /S or /PASSIVE, an installation without them.
#include <windows.h>
#include <objbase.h>

#include "RunOnce.h"
#include "Unit_main.h"
#include "common/wide_command_line.h"
#include "common/product.h"
#include "common/setup_state.h"
#include "common/silent_log.h"
#include "install/silent_install.h"
#include "setupdata/wide_text.h"
#include "ui/window.h"
#include "wizard/Unit_Schedule.h"

namespace {

int RunWizard() {
    ui::InitApplication(GetModuleHandleW(nullptr));

    HANDLE mutex = CreateMutexA(nullptr, TRUE, tavix::kMutexName);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        ui::MsgBox(ui::AppWindow(), "安装程序已经运行", "运行提示", MB_OK | MB_ICONINFORMATION);
    } else {
        ui::SetAppTitle(tavix::kAppTitle);
        SetupState state;
        TFormain backdrop(state);
        backdrop.Create();
        backdrop.ShowMain();
        TFormSchedule wizard(state);
        wizard.Create(backdrop.Handle());
        state.ShowFinishPage = [&wizard] { wizard.ShowFinishPage(); };
        backdrop.SetWizard(&wizard);
        // COM on this thread for the shell link of the installation (and
        // the folder browser); it loads ole32, so it comes after the first window.
        CoInitialize(nullptr);
        ui::RunMessageLoop();
        // The forms go first: the backdrop waits for its worker.
        backdrop.WaitForWorker();
        CoUninitialize();
    }
    (void)mutex;  // owned until the process ends
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR args, int) {
    tavix::LimitDllSearch();
    const tavix::WideCommandLine line = tavix::ParseWideCommandLine(args ? args : L"");
    runonce::Startup();
    const int code = line.cmd.Unattended() ? static_cast<int>(install::RunSilent(line)) : RunWizard();
    runonce::Shutdown();
    return code;
}
