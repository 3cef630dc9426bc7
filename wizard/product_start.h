// The start of the installed product from the finish page.
#pragma once
#include <windows.h>

#include <string>

namespace wizard {

// Starts `program` (GBK) with `folder` as its working folder. The desktop
// shell is asked first, so that the product runs as the user of the desktop
// and not with the rights the setup was given; where the shell cannot be
// asked (no desktop shell runs, or it belongs to another account), the setup
// starts it itself, owned by `owner`. Whether the program then starts is
// not reported.
void StartInstalledProgram(HWND owner, const std::string& program, const std::string& folder);

} // namespace wizard
