// Steps shared by the scenarios that start the setup.
#pragma once
#include <string>

#include "e2e.h"

namespace e2e {

// Windows directory + "\Temp\" + the three control file names.
extern const wchar_t* const kControlFileNames[3];
// The payload item each control file is written from, as (type, name).
extern const char* const kControlFileItems[3][2];

// Starts the setup (or another setup executable) and returns its process.
Process StartSetup(const std::wstring& exe = std::wstring());
// Closes the backdrop as the end of the setup does, and waits for exit code 0.
void EndSetupByBackdrop(Process& setup);
// Removes the control files from the temporary folder.
void RemoveControlFiles();
// Starts the stand-in product copied under `exeName` into `folder`.
Process StartProduct(const std::wstring& folder, const std::wstring& exeName, const std::wstring& title = L"Quorvix");

} // namespace e2e
