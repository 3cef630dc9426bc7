#include "uninstall/self_removal.h"

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "setupdata/gbk.h"
#include "setupdata/system_error.h"
#include "setupdata/wide_text.h"
#include "uninstall/folder_tree.h"

namespace uninstall {
namespace {

constexpr wchar_t kHandoverVariable[] = L"TAVIX_UNINSTALL_HELPER";
constexpr char kRemove = 'R';

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
HANDLE MakeCopy(const std::vector<char>& bytes, std::wstring& path, std::string& why) {
    wchar_t temp[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH) {
        why = "the temporary folder is unknown";
        return nullptr;
    }
    DWORD seed = GetCurrentProcessId() * 7919u + GetTickCount();
    for (int attempt = 0; attempt < 64; ++attempt) {
        wchar_t name[16];
        std::swprintf(name, 16, L"~tu%04X.tmp", static_cast<unsigned>((seed + attempt) & 0xFFFF));
        path = std::wstring(temp, n) + name;
        HANDLE w = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY, nullptr);
        if (w == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS) continue;
            why = "cannot make a copy of it in the temporary folder " + tavix::G(std::wstring(temp, n)) + ": " +
                  tavix::SystemErrorText(GetLastError());
            return nullptr;
        }
        DWORD written = 0;
        const bool ok = WriteFile(w, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                        written == bytes.size();
        const DWORD writeError = GetLastError();
        CloseHandle(w);
        SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
        HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, &sa, OPEN_EXISTING,
                               FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            why = "cannot open its copy " + tavix::G(path) + ": " + tavix::SystemErrorText(GetLastError());
            DeleteFileW(path.c_str());
            return nullptr;
        }
        std::vector<char> back;
        if (!ok || !ReadWhole(h, back) || back != bytes) {
            why = "cannot write its copy " + tavix::G(path) + (ok ? std::string() : ": " + tavix::SystemErrorText(writeError));
            CloseHandle(h);
            return nullptr;
        }
        return h;
    }
    why = "no free name for its copy in the temporary folder";
    return nullptr;
}

// Hands the helper's handle to its own file to a short-lived system process
// that outlives the helper, so the file is deleted after the helper's end.
void LeaveNoCopy() {
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

} // namespace

bool Helper::Start() {
    const std::wstring self = ModulePath();
    HANDLE own = CreateFileW(self.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             0, nullptr);
    std::vector<char> bytes;
    const bool read = own != INVALID_HANDLE_VALUE && ReadWhole(own, bytes);
    if (!read) why_ = "cannot read its own file: " + tavix::SystemErrorText(GetLastError());
    if (own != INVALID_HANDLE_VALUE) CloseHandle(own);
    std::wstring copyPath;
    HANDLE copy = read ? MakeCopy(bytes, copyPath, why_) : nullptr;
    if (!copy) return false;

    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE readEnd = nullptr, me = nullptr;
    bool ok = CreatePipe(&readEnd, &pipe_, &sa, 0) && SetHandleInformation(pipe_, HANDLE_FLAG_INHERIT, 0) &&
              DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &me,
                              SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, TRUE, 0);
    PROCESS_INFORMATION pi = {};
    if (ok) {
        wchar_t value[64];
        std::swprintf(value, 64, L"%llx;%llx;%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(me)),
                      static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(readEnd)),
                      static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(copy)));
        SetEnvironmentVariableW(kHandoverVariable, value);
        wchar_t commandLine[] = L"Uninstall.exe";
        // The helper works from the temporary folder, not from the
        // installation folder it is to remove.
        const std::wstring cwd = copyPath.substr(0, copyPath.find_last_of(L'\\') + 1);
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        ok = CreateProcessW(copyPath.c_str(), commandLine, nullptr, nullptr, TRUE, 0, nullptr, cwd.c_str(), &si, &pi);
        SetEnvironmentVariableW(kHandoverVariable, nullptr);
    }
    if (!ok) why_ = "cannot start its helper " + tavix::G(copyPath) + ": " + tavix::SystemErrorText(GetLastError());
    // The helper holds its own copies of the three handles now.
    for (HANDLE h : {readEnd, me, copy})
        if (h) CloseHandle(h);
    if (!ok) {
        if (pipe_) CloseHandle(pipe_);
        pipe_ = nullptr;
        return false;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

void Helper::Release(bool removeUninstaller) {
    if (!pipe_) return;
    DWORD written = 0;
    if (removeUninstaller) WriteFile(pipe_, &kRemove, 1, &written, nullptr);
    CloseHandle(pipe_);
    pipe_ = nullptr;
}

bool RunAsHelper() {
    wchar_t value[64];
    DWORD n = GetEnvironmentVariableW(kHandoverVariable, value, 64);
    if (n == 0) return false;
    SetEnvironmentVariableW(kHandoverVariable, nullptr);
    unsigned long long first = 0, pipe = 0, copy = 0;
    if (n >= 64 || std::swscanf(value, L"%llx;%llx;%llx", &first, &pipe, &copy) != 3) return true;
    HANDLE uninstaller = reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(first));
    HANDLE verdict = reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(pipe));
    // Only the handle to this copy is passed on to the last process.
    SetHandleInformation(uninstaller, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(verdict, HANDLE_FLAG_INHERIT, 0);
    (void)copy;

    wchar_t image[32768];
    DWORD size = 32768;
    if (QueryFullProcessImageNameW(uninstaller, 0, image, &size)) {
        const std::string path = tavix::G(std::wstring(image, size));
        const std::size_t cut = tavix::GbkFindLast(path, '\\');
        // The file that runs, held from now on: what goes is that file, even
        // if another has taken its name meanwhile.
        HANDLE file = CreateFileW(image, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file != INVALID_HANDLE_VALUE && !IsPlainFileAt(file, std::wstring(image, size))) {
            CloseHandle(file);
            file = INVALID_HANDLE_VALUE;
        }
        // The verdict comes as the uninstaller's last act, or never (the
        // pipe closes): then its file stays. Only once it has ended can its
        // file go.
        char word = 0;
        DWORD got = 0;
        const bool remove = ReadFile(verdict, &word, 1, &got, nullptr) && got == 1 && word == kRemove &&
                            WaitForSingleObject(uninstaller, INFINITE) == WAIT_OBJECT_0;
        if (remove && file != INVALID_HANDLE_VALUE && cut != std::string::npos) {
            FILE_DISPOSITION_INFO info = {TRUE};
            SetFileInformationByHandle(file, FileDispositionInfo, &info, sizeof info);
            CloseHandle(file);
            file = INVALID_HANDLE_VALUE;
            FolderTree tree;
            std::string why;
            if (tree.Open(path.substr(0, cut + 1), why) == FolderTree::Opening::Opened)
                tree.RemoveFolderIfEmpty(std::string());
        }
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    LeaveNoCopy();
    return true;
}

} // namespace uninstall
