// The installation window: runs the install sequence once, on its first
// activation, showing its status and progress, then hands back to the
// wizard's finish page.
#pragma once
#include <windows.h>

#include <string>

#include "install/install_sequence.h"
#include "common/setup_state.h"
#include "ui/controls.h"
#include "ui/window.h"

class TFormsec : public ui::Window, private install::InstallFace {
public:
    explicit TFormsec(SetupState& state) : state_(state) {}
    ~TFormsec() override;
    // Creates the window owned by `owner` (the backdrop) and runs FormCreate.
    void Create(HWND owner);

    bool Finished = false;  // set once the last step has completed

    void RunInstall();

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnCommand(int id, int code, HWND control) override;

private:
    void FormCreate();
    void FormActivate();
    void btncelClick();
    void Timer1Timer();
    void PaintFrame(HDC dc);

    // What the sequence shows and asks.
    void Status(const std::string& text) override;
    void Bar(int position) override;
    void Pause() override;
    bool YieldPoint() override;
    void FolderFailed(const std::string& text) override;
    bool AskRetry(const std::string& message) override;

    SetupState& state_;

    // Controls, under their design names.
    HWND ams = nullptr;      // the file-copy animation
    HWND lbls = nullptr;     // status text
    HWND pgbs = nullptr;     // progress bar
    HWND btncel = nullptr;   // "取消"
    ui::Panel pnlok;         // finish panel, never shown by the install flow
    HWND Label1 = nullptr;
    HWND Label2 = nullptr;
    HWND btnok = nullptr;

    HFONT font_ = nullptr;
    bool activated_ = false;  // the first activation has been seen
    bool stop_ = false;       // a confirmed cancel: no further step
};
