// The wizard: welcome, licence agreement, installation folder, ready and
// finish pages, with the checks that run when it opens.
#pragma once
#include <windows.h>

#include <string>

#include "install/dde_client.h"
#include "ui/controls.h"
#include "ui/registry.h"
#include "ui/window.h"

// The notebook of the wizard: six pages, one shown at a time.
class TPageBook {
public:
    static constexpr int kPageCount = 6;
    void SetActivePage(int index);
    int ActivePage() const { return active_; }
    ui::Panel& Page(int index) { return pages_[index]; }

private:
    friend class TFormSchedule;
    ui::Panel pages_[kPageCount];
    int active_ = 0;
};

class TFormSchedule : public ui::Window {
public:
    ~TFormSchedule() override;
    // Creates the hidden wizard owned by `owner` and runs FormCreate.
    void Create(HWND owner);

    // True once the installation has been handed over or has completed.
    bool InstallStarted = false;

    // Controls the installation window uses for the finish page.
    TPageBook ScheBook;
    HWND Label4 = nullptr;   // band title
    HWND Label5 = nullptr;   // band subtitle
    HWND Label8 = nullptr;   // finish page title
    HWND BtnNext = nullptr;
    HWND btnpri = nullptr;
    HWND btnexit = nullptr;
    ui::Panel Panel_Top;

    // The DDE conversation the installation uses for the program group.
    install::DdeClientConv DdeClientConv1;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnCommand(int id, int code, HWND control) override;

private:
    struct Impl;
    Impl* impl_ = nullptr;
};

extern TFormSchedule* FormSchedule;
// The check boxes "创建桌面快捷方式" and "运行软件"; true when the wizard is created.
extern bool CreateDesktopLink;
extern bool RunAfterInstall;
// Registry accessor on HKEY_CURRENT_USER for the uninstall entry; never freed.
extern ui::Registry* SetupRegistry;
