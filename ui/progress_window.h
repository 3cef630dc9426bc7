// The one window of the runs that show their progress and ask nothing
// (TavixSetup.exe /PASSIVE, Uninstall.exe /PASSIVE): a caption, a status
// line and a progress bar. It has no button and no question; a close (its
// close box is greyed, Alt+F4 included) is ignored, since the run goes on by
// itself to its end. It can be moved and minimized. Laid out in design units
// and scaled to the screen's DPI like every other form.
#pragma once
#include <windows.h>

#include <string>

#include "ui/window.h"

namespace ui {

class ProgressWindow : public Window {
public:
    ~ProgressWindow() override;
    // Creates the window in the middle of the screen and shows it, without
    // taking the keyboard from the window the user works in.
    void Create(const std::string& caption, const std::string& status);
    void SetStatus(const std::string& text);
    // The bar at `position` of `range` (a range of 0 or less: empty).
    void SetBar(int position, int range);

    HWND StatusLine() const { return status_; }
    HWND Bar() const { return bar_; }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    HWND status_ = nullptr;
    HWND bar_ = nullptr;
    HFONT font_ = nullptr;
    int range_ = -1;
};

} // namespace ui
