#include "uninstall/self_removal.h"

#include <cstdio>
#include <cwchar>
#include <vector>

#include "setupdata/wide_text.h"

namespace uninstall {
namespace {

constexpr wchar_t kHandoverVariable[] = L"TAVIX_UNINSTALL_HANDOVER";

bool ReadWhole(HANDLE h, std::vector<char>& out) {
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(h, &size) || size.QuadPart > 0x10000000) return false;
    out.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD got = 0;
    return out.empty() || (ReadFile(h, out.data(), static_cast<DWORD>(out.size()), &got, nullptr) && got == out.size());
}

std::wstring ModulePath() {
    std::vector<wchar_t> buf(32768);
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    return std::wstring(buf.data(), n < buf.size() ? n : 0);
}

// A new file in the user's temporary folder holding `bytes`, then opened
// anew to be deleted on its last close, inheritable, and shared for reading
// only: nobody changes, renames or removes it while the handle lives. The
// bytes are read back through that handle.
HANDLE MakeCopy(const std::vector<char>& bytes, std::wstring& path) {
    wchar_t temp[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH) return nullptr;
    DWORD seed = GetCurrentProcessId() * 7919u + GetTickCount();
    for (int attempt = 0; attempt < 64; ++attempt) {
        wchar_t name[16];
        std::swprintf(name, 16, L"~tu%04X.tmp", static_cast<unsigned>((seed + attempt) & 0xFFFF));
        path = std::wstring(temp, n) + name;
        HANDLE w = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY, nullptr);
        if (w == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS) continue;
            return nullptr;
        }
        DWORD written = 0;
        const bool ok = WriteFile(w, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                        written == bytes.size();
        CloseHandle(w);
        SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
        HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, &sa, OPEN_EXISTING,
                               FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            DeleteFileW(path.c_str());
            return nullptr;
        }
        std::vector<char> back;
        if (!ok || !ReadWhole(h, back) || back != bytes) {
            CloseHandle(h);
            return nullptr;
        }
        return h;
    }
    return nullptr;
}

} // namespace

bool RunSecondStep(DWORD& exitCode) {
    const std::wstring self = ModulePath();
    HANDLE own = CreateFileW(self.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             0, nullptr);
    if (own == INVALID_HANDLE_VALUE) return false;
    std::vector<char> bytes;
    const bool read = ReadWhole(own, bytes);
    CloseHandle(own);
    std::wstring copyPath;
    HANDLE copy = read ? MakeCopy(bytes, copyPath) : nullptr;
    if (!copy) return false;

    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr, me = nullptr;
    bool ok = CreatePipe(&readEnd, &writeEnd, &sa, 0) && SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0) &&
              DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &me,
                              SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, TRUE, 0);
    PROCESS_INFORMATION pi = {};
    if (ok) {
        wchar_t value[64];
        std::swprintf(value, 64, L"%llx;%llx;%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(me)),
                      static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(writeEnd)),
                      static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(copy)));
        SetEnvironmentVariableW(kHandoverVariable, value);
        std::vector<wchar_t> commandLine(GetCommandLineW(), GetCommandLineW() + wcslen(GetCommandLineW()) + 1);
        // The copy works from the temporary folder, not from the installation
        // folder it is to remove.
        const std::wstring cwd = copyPath.substr(0, copyPath.find_last_of(L'\\') + 1);
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        ok = CreateProcessW(copyPath.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, cwd.c_str(),
                            &si, &pi);
        SetEnvironmentVariableW(kHandoverVariable, nullptr);
    }
    // The second step holds its own copies of the three handles now.
    for (HANDLE h : {writeEnd, me, copy})
        if (h) CloseHandle(h);
    if (!ok) {
        if (readEnd) CloseHandle(readEnd);
        return false;
    }
    CloseHandle(pi.hThread);
    DWORD code = 0, got = 0;
    if (ReadFile(readEnd, &code, sizeof code, &got, nullptr) && got == sizeof code) {
        exitCode = code;
    } else {
        // The second step ended without a word: its exit code says how.
        WaitForSingleObject(pi.hProcess, INFINITE);
        if (!GetExitCodeProcess(pi.hProcess, &exitCode)) exitCode = 1;
    }
    CloseHandle(readEnd);
    CloseHandle(pi.hProcess);
    return true;
}

bool TakeHandover(Handover& h) {
    wchar_t value[64];
    DWORD n = GetEnvironmentVariableW(kHandoverVariable, value, 64);
    SetEnvironmentVariableW(kHandoverVariable, nullptr);
    unsigned long long first = 0, result = 0, copy = 0;
    if (n == 0 || n >= 64 || std::swscanf(value, L"%llx;%llx;%llx", &first, &result, &copy) != 3) return false;
    h.firstStep = reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(first));
    h.result = reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(result));
    h.ownCopy = reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(copy));
    wchar_t image[32768];
    DWORD size = 32768;
    if (!QueryFullProcessImageNameW(h.firstStep, 0, image, &size)) return false;
    h.exePath = tavix::G(std::wstring(image, size));
    // The copy's handle stays with this process only; nothing it starts
    // inherits the others.
    SetHandleInformation(h.firstStep, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(h.result, HANDLE_FLAG_INHERIT, 0);
    return true;
}

void ReportResult(Handover& h, DWORD code) {
    if (!h.result) return;
    DWORD written = 0;
    WriteFile(h.result, &code, sizeof code, &written, nullptr);
    CloseHandle(h.result);
    h.result = nullptr;
}

void WaitForFirstStep(Handover& h) {
    if (h.firstStep) WaitForSingleObject(h.firstStep, 60000);
}

void LeaveNoCopy(Handover& h) {
    if (!h.ownCopy) return;
    wchar_t system[MAX_PATH];
    UINT n = GetSystemDirectoryW(system, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    const std::wstring cmd = std::wstring(system, n) + L"\\cmd.exe";
    wchar_t args[] = L"cmd.exe /c exit";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (CreateProcessW(cmd.c_str(), args, nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, system, &si, &pi)) {
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
}

} // namespace uninstall
