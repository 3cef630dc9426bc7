// Small helpers shared by the benchmark programs: a millisecond clock and a
// result file of "name value" lines.
#pragma once
#include <windows.h>

#include <cstdio>
#include <string>

namespace bench {

inline double NowMs() {
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(freq.QuadPart);
}

// Appends "name value" to the result file (wide path).
inline void Record(const std::wstring& file, const char* name, double value) {
    FILE* f = _wfopen(file.c_str(), L"ab");
    if (!f) return;
    std::fprintf(f, "%s %.3f\n", name, value);
    std::fclose(f);
}

} // namespace bench
