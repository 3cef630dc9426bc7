// A plain Windows-level copy of a release tree: every file the manifest
// names is read whole with CreateFile/ReadFile and written whole with
// CreateFile/WriteFile into the target folder. What a program can do at best
// under the same system, for comparison with the extraction.
//
//   bench_copy.exe <release folder> <target folder> <result file>
//
// Appends "copy_ms", "copy_files" and "copy_bytes" to the result file.
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "bench_common.h"
#include "setupdata/manifest.h"

namespace {

std::wstring Wide936(const std::string& s) {
    int n = MultiByteToWideChar(936, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(n, L'\0');
    if (n) MultiByteToWideChar(936, 0, s.data(), static_cast<int>(s.size()), &out[0], n);
    return out;
}

bool ReadWhole(const std::wstring& path, std::string& out) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(h, &size) != 0;
    out.assign(ok ? static_cast<std::size_t>(size.QuadPart) : 0, '\0');
    DWORD got = 0;
    if (ok && !out.empty()) ok = ReadFile(h, &out[0], static_cast<DWORD>(out.size()), &got, nullptr) && got == out.size();
    CloseHandle(h);
    return ok;
}

// Creates `dir` and its missing parents, remembering what exists.
bool MakeDir(const std::wstring& dir, std::set<std::wstring>& made) {
    if (dir.empty() || made.count(dir)) return true;
    std::size_t cut = dir.find_last_of(L'\\');
    if (cut != std::wstring::npos && cut > 2 && !MakeDir(dir.substr(0, cut), made)) return false;
    if (!CreateDirectoryW(dir.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    made.insert(dir);
    return true;
}

struct Item {
    std::wstring source, target, folder;
    DWORD size = 0;
};

int Fail(const char* what, const std::wstring& path) {
    const DWORD err = GetLastError();
    int n = WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(n > 0 ? n : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, &utf8[0], n, nullptr, nullptr);
    std::fprintf(stderr, "bench_copy: %s: %s (error %lu)\n", what, utf8.c_str(), err);
    return 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_copy <release folder> <target folder> <result file>\n");
        return 2;
    }
    std::wstring release = argv[1], target = argv[2];
    while (!target.empty() && target.back() == L'\\') target.pop_back();
    std::string log;
    if (!ReadWhole(release + L"\\Setup.log", log)) return Fail("cannot read the manifest", release);

    // The file list and the largest size are found before the clock starts.
    std::vector<Item> items;
    DWORD largest = 0;
    const std::vector<std::string> lines = tavix::SplitManifestLines(log);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::wstring rel = Wide936(tavix::ParseManifestLine(lines[i], static_cast<int>(i)).TargetPath);
        Item it;
        it.source = release + L"\\" + rel;
        it.target = target + L"\\" + rel;
        std::size_t cut = it.target.find_last_of(L'\\');
        it.folder = it.target.substr(0, cut);
        WIN32_FILE_ATTRIBUTE_DATA fa;
        if (!GetFileAttributesExW(it.source.c_str(), GetFileExInfoStandard, &fa))
            return Fail("cannot find a release file", it.source);
        it.size = fa.nFileSizeLow;
        if (it.size > largest) largest = it.size;
        items.push_back(it);
    }
    // One buffer for every file, its pages touched before the clock starts.
    char* buffer = static_cast<char*>(VirtualAlloc(nullptr, largest + 1, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!buffer) return Fail("cannot allocate the buffer", target);
    for (DWORD off = 0; off < largest; off += 4096) buffer[off] = 0;

    const double start = bench::NowMs();
    std::set<std::wstring> made;
    double bytes = 0;
    for (const Item& it : items) {
        if (!MakeDir(it.folder, made)) return Fail("cannot make a folder", it.folder);
        HANDLE in = CreateFileW(it.source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (in == INVALID_HANDLE_VALUE) return Fail("cannot open a release file", it.source);
        DWORD got = 0;
        BOOL ok = ReadFile(in, buffer, it.size, &got, nullptr) && got == it.size;
        CloseHandle(in);
        if (!ok) return Fail("cannot read a release file", it.source);
        HANDLE out = CreateFileW(it.target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 nullptr);
        if (out == INVALID_HANDLE_VALUE) return Fail("cannot create a target file", it.target);
        DWORD written = 0;
        ok = WriteFile(out, buffer, it.size, &written, nullptr) && written == it.size;
        CloseHandle(out);
        if (!ok) return Fail("cannot write a target file", it.target);
        bytes += it.size;
    }
    const double elapsed = bench::NowMs() - start;
    VirtualFree(buffer, 0, MEM_RELEASE);
    bench::Record(argv[3], "copy_ms", elapsed);
    bench::Record(argv[3], "copy_files", static_cast<double>(items.size()));
    bench::Record(argv[3], "copy_bytes", bytes);
    return 0;
}
