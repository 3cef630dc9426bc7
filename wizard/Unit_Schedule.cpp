// Placeholder wizard: a window with the caption of the release; its pages
// come next.
#include "Unit_Schedule.h"

#include "startup/Unit_main.h"

TFormSchedule* FormSchedule = nullptr;
bool CreateDesktopLink = true;
bool RunAfterInstall = true;
ui::Registry* SetupRegistry = nullptr;

struct TFormSchedule::Impl {};

void TPageBook::SetActivePage(int index) { active_ = index; }

TFormSchedule::~TFormSchedule() { delete impl_; }

void TFormSchedule::Create(HWND owner) {
    impl_ = new Impl;
    CreateWin(L"TFormSchedule", WS_EX_DLGMODALFRAME, WS_POPUP | WS_CAPTION | WS_SYSMENU, std::string(), 200, 150,
              532, 380, owner, RGB(255, 255, 255));
    ui::Guard([this] {
        SetupRegistry = new ui::Registry(HKEY_CURRENT_USER);
        InstallStarted = false;
        RunAfterInstall = CreateDesktopLink = true;
        SetCaption(Formain->ReadSetupIni("Form", "Caption"));
    });
}

LRESULT TFormSchedule::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) { return Window::HandleMessage(msg, wp, lp); }
void TFormSchedule::OnCommand(int, int, HWND) {}
