#include "setup_steps.h"

namespace e2e {

const wchar_t* const kControlFileNames[3] = {L"avixSetup.log", L"avixSetup.ini", L"SQXY.txt"};
const char* const kControlFileItems[3][2] = {{"txtname", "FileTxt5"}, {"txtname", "FileTxt6"}, {"txtname", "FileTxt4"}};

Process StartSetup(const std::wstring& exe) { return Launch(exe.empty() ? SetupExe() : exe); }

void EndSetupByBackdrop(Process& setup) {
    HWND backdrop = WaitTop(setup.pid, L"TFormain", nullptr);
    PostClose(backdrop);
    DWORD code = WaitExit(setup);
    Check(code == 0, "the setup ended with exit code %lu", code);
}

void RemoveControlFiles() {
    for (const wchar_t* name : kControlFileNames) DeleteTree(WindowsTempDir() + name);
}

Process StartProduct(const std::wstring& folder, const std::wstring& exeName, const std::wstring& title) {
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring exe = folder + L"\\" + exeName;
    Check(CopyFileW((ReleaseDir() + L"\\TAVI.exe").c_str(), exe.c_str(), FALSE) != FALSE, "cannot copy the product");
    Process p = Launch(exe, L"--title \"" + title + L"\"", folder);
    // The product is up once its window shows.
    Check(WaitFor([&] {
        for (HWND w : TopWindows(p.pid))
            if (ClassOf(w) == L"TTavi30") return true;
        return false;
    }), "the stand-in product shows no window");
    return p;
}

ProductStartRecord::ProductStartRecord() : path_(WindowsTempDir() + L"TAVI-started.txt") {
    WriteFileBytes(path_, "");
}

ProductStartRecord::~ProductStartRecord() { DeleteFileW(path_.c_str()); }

std::vector<ProductStartRecord::Start> ProductStartRecord::Starts() const {
    std::string bytes;
    ReadFileBytes(path_, bytes);
    const std::wstring text = FromUtf8(bytes);
    std::vector<Start> starts;
    std::size_t at = 0;
    for (std::size_t end; (end = text.find(L"\r\n", at)) != std::wstring::npos; at = end + 2) {
        const std::wstring line = text.substr(at, end - at);
        const std::size_t colon = line.find(L": ");
        const std::wstring key = line.substr(0, colon), value = colon == std::wstring::npos ? L"" : line.substr(colon + 2);
        if (key == L"command line") starts.push_back(Start{value, {}, {}, {}});
        if (starts.empty()) continue;
        if (key == L"argument") starts.back().args.push_back(value);
        if (key == L"working folder") starts.back().workingFolder = value;
        if (key == L"started by") starts.back().startedBy = value;
    }
    return starts;
}

std::vector<ProductStartRecord::Start> ProductStartRecord::WaitStarts(std::size_t count, DWORD timeoutMs) const {
    std::vector<Start> starts;
    // A start is whole once its last line is there.
    Check(WaitFor([&] {
        starts = Starts();
        return starts.size() >= count && !starts.back().startedBy.empty();
    }, timeoutMs), "the product recorded %zu starts, not %zu", Starts().size(), count);
    return starts;
}

} // namespace e2e
