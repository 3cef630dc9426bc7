// A plain Windows-level delete of a folder tree: FindFirstFile/FindNextFile
// over every level, DeleteFile for each file and RemoveDirectory for each
// folder once it is empty. What a program can do at best under the same
// system, for comparison with the uninstaller (which also reads each file
// to check it is the setup's).
//
//   bench_delete.exe <folder>
//
// Exit code 0 when the folder is gone.
#include <windows.h>

#include <string>

namespace {

bool DeleteTree(const std::wstring& dir) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = dir + L"\\" + name;
            if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                DeleteTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    return RemoveDirectoryW(dir.c_str()) != FALSE;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    return DeleteTree(argv[1]) ? 0 : 1;
}
