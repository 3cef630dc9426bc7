// The uninstaller's window, in the wizard's look: the top band with its
// picture and two lines of heading, a white page, the button bar. Three
// pages: the one question (卸载 / 取消), the progress, and the result with
// what was kept and why.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "ui/controls.h"
#include "ui/window.h"
#include "uninstall/uninstall_run.h"

class TFormUninstall : public ui::Window, public uninstall::UninstallFace {
public:
    ~TFormUninstall() override;
    // Creates the window, centred, showing the question about `caption`'s
    // installation in `folder`. `run` is called when the user confirms; it
    // returns the report to show.
    void Create(const std::string& caption, const std::string& folder,
                std::function<uninstall::UninstallReport()> run);
    // The exit code the window ends with.
    tavix::UninstallExit Result() const { return result_; }

    // What the uninstallation shows.
    void Status(const std::string& text) override;
    void Bar(int done, int total) override;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnCommand(int id, int code, HWND control) override;
    HWND DefaultFocus() const override { return focus_; }

private:
    void SetHeading(const std::string& title, const std::string& line);
    void BtnUninstallClick();
    void ShowResult(const uninstall::UninstallReport& report);
    void Close();

    std::string caption_, folder_;
    std::function<uninstall::UninstallReport()> run_;
    tavix::UninstallExit result_ = tavix::UninstallExit::Cancelled;
    bool running_ = false, finished_ = false;

    ui::Panel Panel_Top, Page, Panel3, ButtonBar;
    HWND Title = nullptr, SubTitle = nullptr, Body = nullptr, StatusLine = nullptr, Progress = nullptr,
         Details = nullptr, BtnUninstall = nullptr, BtnCancel = nullptr, focus_ = nullptr;
    HFONT formFont_ = nullptr, titleFont_ = nullptr;
    HBITMAP topPicture_ = nullptr;
};
