// The wizard: welcome, licence agreement, installation folder, ready and
// finish pages, with the checks that run when it opens. Its layout is built
// in Unit_Schedule_layout.cpp; what the pages do is in Unit_Schedule.cpp.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "common/setup_state.h"
#include "ui/controls.h"
#include "ui/grid.h"
#include "ui/window.h"

// The notebook of the wizard: six pages, one shown at a time.
class TPageBook {
public:
    static constexpr int kPageCount = 6;
    void SetActivePage(int index);
    int ActivePage() const { return active_; }
    ui::Panel& Page(int index) { return pages_[index]; }

private:
    ui::Panel pages_[kPageCount];
    int active_ = 0;
};

class TFormSchedule : public ui::Window {
public:
    explicit TFormSchedule(SetupState& state) : state_(state) {}
    ~TFormSchedule() override;
    // Creates the hidden wizard owned by `owner` and runs FormCreate.
    void Create(HWND owner);

    // After a completed installation: shows the wizard again on its finish page.
    void ShowFinishPage();

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnCommand(int id, int code, HWND control) override;
    // Next ("完毕" on the finish page) has the focus when the wizard opens.
    HWND DefaultFocus() const override;

private:
    struct PageSpec;
    static const PageSpec kPages[TPageBook::kPageCount];

    // ---- layout (Unit_Schedule_layout.cpp)
    void CreateControls();
    void CreatePage0();
    void CreatePage1();
    void CreatePage2();
    void CreatePage3();
    void CreatePage5();
    void AlignControls();
    void SetBandShown(bool band);
    void DrawItem(const DRAWITEMSTRUCT& item);
    void PaintFolderPage(HDC dc);

    // ---- behaviour (Unit_Schedule.cpp)
    void SetUpKeyboardAndMouse();
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

    // Turns the notebook to `page` and does what entering it does.
    void EnterPage(int page, bool forward);
    void ShowBandTexts(const PageSpec& entry);
    // What entering a page does besides its band and buttons.
    void EnterAgreement();
    void EnterReady();
    void HandOver();
    void EnterFinish();
    std::string AgreementTitle() const;
    std::string AgreementSubtitle() const;
    std::string FolderTitle() const;
    std::string ReadyTitle() const;
    std::string ReadySubtitle() const;

    // The earlier-installation check; false when the user ended the setup.
    // `installed` becomes the installed copy's folder when the user chose to
    // install over it, else it is left empty.
    bool CheckEarlierInstallation(std::string& installed);
    void RefreshDriveList();
    void SetEditPath(const std::string& folder);
    bool FolderAccepted();
    void Finish();
    void LoadAgreement();

    SetupState& state_;

    HFONT formFont_ = nullptr, titleFont_ = nullptr, gridFont_ = nullptr;
    HBITMAP leftPicture_ = nullptr, topPicture_ = nullptr;
    // The top band is shown (every page but the welcome page); the left
    // strip is shown when it is not.
    bool bandShown_ = false;
    // Whether the wizard was left for another form of the program since it
    // was last activated; see HandleMessage.
    bool leftForOtherForm_ = true;
    // A page is being changed: Next and Back are not served meanwhile.
    bool turning_ = false;

    TPageBook ScheBook;
    ui::Panel Panel_Top;
    ui::Panel ImagLeft;
    ui::Panel Panel3;    // separator above the button bar
    ui::Panel RzPanel1;  // button bar
    ui::Panel Panel1;    // white panel of the welcome page
    ui::Panel Panel2;    // white panel of the finish page
    ui::StringGrid DiskGrid;
    HWND Label4 = nullptr;   // band title
    HWND Label5 = nullptr;   // band subtitle
    HWND Label8 = nullptr;   // finish page title
    HWND BtnNext = nullptr;
    HWND btnpri = nullptr;
    HWND btnexit = nullptr;
    HWND Label2 = nullptr, Label6 = nullptr, Label7 = nullptr, Label9 = nullptr;
    HWND Label1 = nullptr, Label3 = nullptr;
    HWND Memo1 = nullptr, RadioButton1 = nullptr, RadioButton2 = nullptr;
    HWND Edit_Path = nullptr, Button1 = nullptr, chbdesktop = nullptr, chbrun = nullptr;
    HWND RzFieldStatus[5] = {};
};
