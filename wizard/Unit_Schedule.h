// The wizard: welcome, licence agreement, installation folder, ready and
// finish pages, with the checks that run when it opens.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "install/dde_client.h"
#include "ui/controls.h"
#include "ui/grid.h"
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
    // layout
    void CreateControls();
    void CreatePage0();
    void CreatePage1();
    void CreatePage2();
    void CreatePage3();
    void CreatePage5();
    void AlignControls();
    void SetTopBandVisible(bool visible);
    void SetLeftStripVisible(bool visible);
    void DrawItem(const DRAWITEMSTRUCT& item);
    void PaintFolderPage(HDC dc);

    // handlers
    void FormCreate();
    void FormActivate();
    void FormCloseQuery();
    void FormClose();
    void BtnNextClick();
    void btnpriClick();
    void btnexitClick();
    void RadioButton1Click();
    void RadioButton2Click();
    void chbdesktopClick();
    void chbrunClick();
    void Button1Click();
    void Edit_PathChange();
    void DiskGridDblClick();

    // the earlier-installation check; false when the user ended the setup
    bool CheckEarlierInstallation();
    void RefreshDriveList();
    std::vector<std::string> ListDrives();
    void SetEditPath(const std::string& folder);
    void Finish();
    void LoadAgreement();
    // The band titles of the agreement and folder pages.
    void ShowAgreementBand();
    void ShowFolderBand();

    HFONT formFont_ = nullptr, titleFont_ = nullptr, gridFont_ = nullptr;
    HBITMAP leftPicture_ = nullptr, topPicture_ = nullptr;
    bool topBandVisible_ = false, leftStripVisible_ = true;
    // The wizard was left for another form of the program since it was last
    // activated (message boxes and the folder browser do not count).
    bool leftForOtherForm_ = true;

    ui::Panel ImagLeft;
    ui::Panel Panel3;    // separator above the button bar
    ui::Panel RzPanel1;  // button bar
    ui::Panel Panel1;    // white panel of the welcome page
    ui::Panel Panel2;    // white panel of the finish page
    ui::StringGrid DiskGrid;
    HWND Label2 = nullptr, Label6 = nullptr, Label7 = nullptr, Label9 = nullptr;
    HWND Label1 = nullptr, Label3 = nullptr;
    HWND Memo1 = nullptr, RadioButton1 = nullptr, RadioButton2 = nullptr;
    HWND Edit_Path = nullptr, Button1 = nullptr, chbdesktop = nullptr, chbrun = nullptr;
    HWND RzFieldStatus[5] = {};
};

extern TFormSchedule* FormSchedule;
// The check boxes "创建桌面快捷方式" and "运行软件"; true when the wizard is created.
extern bool CreateDesktopLink;
extern bool RunAfterInstall;
// Registry accessor on HKEY_CURRENT_USER for the uninstall entry; never freed.
extern ui::Registry* SetupRegistry;
