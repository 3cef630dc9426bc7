#include "RunOnce.h"

#include <windows.h>

#include "common/product.h"

namespace runonce {
namespace {
HANDLE gMapping = nullptr;
void* gView = nullptr;
}

void Startup() {
    gMapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, tavix::kMarkerMappingName);
    if (gMapping) {
        gView = MapViewOfFile(gMapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0);
    } else {
        gMapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4,
                                      tavix::kMarkerMappingName);
        if (gMapping) {
            gView = MapViewOfFile(gMapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, 0);
            if (gView) *static_cast<volatile LONG*>(gView) = 0;
        }
    }
    if (gMapping && !gView) {
        CloseHandle(gMapping);
        gMapping = nullptr;
    }
}

void Shutdown() {
    if (gView) UnmapViewOfFile(gView);
    if (gMapping) CloseHandle(gMapping);
    gView = nullptr;
    gMapping = nullptr;
}

} // namespace runonce
