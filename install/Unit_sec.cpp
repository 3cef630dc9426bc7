// Placeholder installation window; the install sequence comes next.
#include "Unit_sec.h"

struct TFormsec::Impl {};

TFormsec::~TFormsec() { delete impl_; }

void TFormsec::Create(HWND owner) {
    impl_ = new Impl;
    CreateWin(L"TFormsec", 0, WS_POPUP, "安装", 300, 250, 359, 205, owner, RGB(255, 255, 255));
}

LRESULT TFormsec::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) { return Window::HandleMessage(msg, wp, lp); }
void TFormsec::OnCommand(int, int, HWND) {}
