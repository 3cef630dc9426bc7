// The installation window: runs the install sequence once, then hands back
// to the wizard's finish page.
#pragma once
#include <windows.h>

#include <string>

#include "ui/controls.h"
#include "ui/window.h"

class TFormsec : public ui::Window {
public:
    ~TFormsec() override;
    // Creates the window owned by `owner` (the backdrop) and runs FormCreate.
    void Create(HWND owner);

    std::string ExeName;    // [Run] FileName, read on the first activation
    bool Finished = false;  // set once the last step has completed

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnCommand(int id, int code, HWND control) override;

private:
    struct Impl;
    Impl* impl_ = nullptr;
};
