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
    CoInitialize(nullptr);  // the shell link of the installation needs COM on this thread

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
            ui::RunMessageLoop();
            // The forms go first: the backdrop waits for its worker.
            backdrop.WaitForWorker();
            FormSchedule = nullptr;
        }
        Formain = nullptr;
    }
    (void)mutex;  // owned until the process ends
    CoUninitialize();
    runonce::Shutdown();
    return 0;
}
