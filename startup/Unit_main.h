// The backdrop: the full-screen main form that owns the temporary control
// files, checks for a running product and ends the program when it closes.
#pragma once
#include <windows.h>

#include <string>

#include "common/setup_state.h"
#include "ui/controls.h"
#include "ui/window.h"

class TFormain : public ui::Window {
public:
    explicit TFormain(SetupState& state) : state_(state) {}
    ~TFormain() override;

    // Creates the (hidden) window and runs FormCreate inside the error boundary.
    void Create();
    // Shows the form maximized, which runs FormShow.
    void ShowMain();

    // Runs the installation window modally, then closes the backdrop.
    void showsec();
    // Shows `wizard` modally; served on the UI thread for the worker.
    void ShowChedule();
    // The wizard the worker has shown.
    void SetWizard(ui::Window* wizard) { wizard_ = wizard; }
    // Closes the backdrop: the control files are deleted and the program ends.
    void Close();
    // At the end of the program: waits for a worker that still runs.
    void WaitForWorker();

    std::string GetTempDir();
    bool IsProductRunning();
    void TerminateProduct(const std::string& windowClass);

    bool Proceed = true;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void FormCreate();
    void FormShow();
    void FormClose();
    void FormPaint(HDC dc);
    std::string ReadControlFile(int which) const;
    void Panel1Resize();
    void LayoutPanels();
    void StartThread1();
    static DWORD WINAPI Thread1Execute(LPVOID self);

    SetupState& state_;
    ui::Window* wizard_ = nullptr;
    ui::Panel Panel_Title;
    ui::Panel Panel1;
    HWND Label1 = nullptr;
    HWND Label2 = nullptr;
    HFONT formFont_ = nullptr, titleFont_ = nullptr, footerFont_ = nullptr;
    HANDLE thread1_ = nullptr;
    // Set by the UI thread when ShowChedule has returned (or will never run).
    HANDLE scheduleDone_ = nullptr;
    // The control files, held open from their writing to the backdrop's
    // close: others may read them, never change or replace them.
    void* held_[3] = {};
    volatile LONG thread1Terminating_ = 0;
};

// The request the worker posts to have the wizard shown on the UI thread.
constexpr UINT WM_SHOWCHEDULE = WM_APP + 1;
