// The installation window: runs the install sequence once, on its first
// activation, then hands back to the wizard's finish page.
#pragma once
#include <windows.h>

#include <string>

#include "setupdata/manifest.h"
#include "ui/controls.h"
#include "ui/window.h"

class TFormsec : public ui::Window {
public:
    ~TFormsec() override;
    // Creates the window owned by `owner` (the backdrop) and runs FormCreate.
    void Create(HWND owner);

    std::string ExeName;    // [Run] FileName, read on the first activation
    bool Finished = false;  // set once the last step has completed

    // The install sequence and its steps.
    void RunInstall();
    bool EnsureMainDir(const std::string& Dir);
    bool EnsureSubDir(const std::string& RelDir);
    bool EnsureFolder(const std::string& full, const std::string& status, const std::string& failure);
    void ExtractEntry(const tavix::ManifestEntry& entry);
    void RegisterUninstaller();
    void MakeDesktopLink();
    void MakeProgramGroup();
    void WriteRegInfo(const std::string& Ext, const std::string& ClassKey, int IconIndex, const std::string& Target,
                      const std::string& Description);

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnCommand(int id, int code, HWND control) override;

private:
    void FormCreate();
    void FormActivate();
    void btncelClick();
    void Timer1Timer();

    void RunManifest();
    // Serves pending messages; ends the sequence when the setup is ending.
    void YieldToUser();
    void SetStatus(const std::string& text);
    void SetBar(int position);
    void Pause();
    void PaintFrame(HDC dc);

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
    bool running_ = false;    // RunInstall is on the stack
    bool stop_ = false;       // a confirmed cancel: no further step
};
