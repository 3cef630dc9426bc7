// Steps shared by the scenarios that start the setup.
#pragma once
#include <string>
#include <vector>

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

// What the stand-in product records of its starts while the record file
// exists (resources/standins/tavi_standin.cpp): made empty when this is
// made, removed when it goes.
class ProductStartRecord {
public:
    struct Start {
        std::wstring commandLine;
        std::vector<std::wstring> args;  // as the system split the command line
        std::wstring workingFolder;
        std::wstring startedBy;          // the program of the parent process
    };
    ProductStartRecord();
    ~ProductStartRecord();
    ProductStartRecord(const ProductStartRecord&) = delete;
    ProductStartRecord& operator=(const ProductStartRecord&) = delete;
    // The starts recorded so far, in order.
    std::vector<Start> Starts() const;
    // Waits until `count` starts are recorded; Fail()s when they are not.
    std::vector<Start> WaitStarts(std::size_t count, DWORD timeoutMs = 15000) const;

private:
    std::wstring path_;
};

} // namespace e2e
