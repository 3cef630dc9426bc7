// Real keyboard and mouse input on the X display that Wine draws on, given by
// xdotool as a user's keyboard and mouse give it: the X server sends it to
// the window that has the X input focus, and Wine turns it into hardware
// messages (with the key-repeat bit, double clicks and focus as Windows makes
// them). Without a window manager Wine gives the X focus to the window it
// activates itself.
#pragma once
#include <windows.h>

#include <string>

namespace e2e {

// Runs a command line of the Linux side (/bin/sh -c) and waits for it;
// returns what it printed. Fail()s when it exits with an error.
std::string RunOnLinux(const std::string& shellCommand, DWORD timeoutMs = 20000);

// Key presses by their X key names, in order ("Tab", "shift+Tab", "Return",
// "Escape", "space", "Down", "alt+F4", ...).
void PressKeys(const std::string& keys);
// Types ASCII text.
void TypeText(const std::string& text);
// Holds a key down for `ms` milliseconds, so that it repeats.
void HoldKey(const std::string& key, DWORD ms);
// Clicks the left button `clicks` times at a point of the screen, `gapMs`
// apart (two clicks close together are a double click).
void ClickOnScreen(int x, int y, int clicks = 1, DWORD gapMs = 80);
// ... at the middle of a window.
void ClickOnWindow(HWND w, int clicks = 1, DWORD gapMs = 80);

// The window of the setup's user-interface thread that has the keyboard
// focus, and its active window (null when none).
HWND FocusOf(HWND anyWindowOfThread);
HWND ActiveOf(HWND anyWindowOfThread);

// Fails unless the top-level window `top` is the foreground window and the X
// input focus is on its X window (or, when Wine leaves it there, on another
// X window of its process), so that key presses reach it.
void CheckKeysGoTo(HWND top, const char* what);

}  // namespace e2e
