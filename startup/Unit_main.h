// The backdrop: the full-screen main form that owns the temporary control
// files, checks for a running product and ends the program when it closes.
#pragma once
#include <windows.h>

#include <string>

#include "ui/controls.h"
#include "ui/window.h"

class TFormain : public ui::Window {
public:
    ~TFormain() override;

    // Creates the (hidden) window and runs FormCreate inside the error boundary.
    void Create();
    // Shows the form maximized, which runs FormShow.
    void ShowMain();

    // The value of `key` in `section` of the temporary control file, read
    // afresh; empty when the file, section or key is absent.
    std::string ReadSetupIni(const std::string& section, const std::string& key) const;
    // Runs the installation window modally, then closes the backdrop.
    void showsec();
    // Shows the wizard modally; served on the UI thread for the worker.
    void ShowChedule();
    // Closes the backdrop: the control files are deleted and the program ends.
    void Close();
    // At the end of the program: waits for a worker that still runs.
    void WaitForWorker();

    std::string GetTempDir();
    bool IsProductRunning();
    void TerminateProduct(const std::string& windowClass);

    bool Proceed = true;
    std::string TempDir;        // the temporary folder, ending in a backslash
    std::string InstallDir;     // written by the wizard
    std::string VersionSerial;  // written by the wizard

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void FormCreate();
    void FormShow();
    void FormClose();
    void FormPaint(HDC dc);
    void Panel1Resize();
    void LayoutPanels();
    void StartThread1();
    static DWORD WINAPI Thread1Execute(LPVOID self);

    ui::Panel Panel_Title;
    ui::Panel Panel1;
    HWND Label1 = nullptr;
    HWND Label2 = nullptr;
    HFONT formFont_ = nullptr, titleFont_ = nullptr, footerFont_ = nullptr;
    HANDLE thread1_ = nullptr;
    volatile LONG thread1Terminating_ = 0;
};

extern TFormain* Formain;

// The message the worker sends to have the wizard shown on the UI thread.
constexpr UINT WM_SHOWCHEDULE = WM_APP + 1;
