// Program block of the setup: one copy at a time, the backdrop, the wizard
// and the message loop.
#include <windows.h>
#include <objbase.h>

#include "RunOnce.h"
#include "Unit_main.h"
#include "product.h"
#include "ui/window.h"
#include "wizard/Unit_Schedule.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    runonce::Startup();
    ui::InitApplication(instance);

    HANDLE mutex = CreateMutexA(nullptr, TRUE, tavix::kMutexName);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        ui::MsgBox(ui::AppWindow(), "安装程序已经运行", "运行提示", MB_OK | MB_ICONINFORMATION);
    } else {
        ui::SetAppTitle(tavix::kAppTitle);
        {
            TFormain backdrop;
            Formain = &backdrop;
            backdrop.Create();
            backdrop.ShowMain();
            TFormSchedule wizard;
            FormSchedule = &wizard;
            wizard.Create(backdrop.Handle());
            // COM on this thread for the shell link of the installation (and
            // the folder browser); it loads ole32, so it comes after the first window.
            CoInitialize(nullptr);
            ui::RunMessageLoop();
            // The forms go first: the backdrop waits for its worker.
            backdrop.WaitForWorker();
            FormSchedule = nullptr;
        }
        Formain = nullptr;
        CoUninitialize();
    }
    (void)mutex;  // owned until the process ends
    runonce::Shutdown();
    return 0;
}
