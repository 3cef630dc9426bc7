// The built setup carries every manifest item, byte for byte.
#include "driver/e2e.h"
#include "setupdata/errors.h"
#include "setupdata/manifest.h"
#include "setupdata/payload.h"

using namespace e2e;

E2E_SCENARIO(every_manifest_item_is_embedded) {
    std::string manifest;
    Check(ReadFileBytes(ReleaseDir() + L"\\Setup.log", manifest), "cannot read the release manifest");
    HMODULE exe = LoadLibraryExW(SetupExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    Check(exe != nullptr, "cannot load the setup as a data file");
    std::vector<std::string> lines = tavix::SplitManifestLines(manifest);
    Check(lines.size() > 100, "only %zu manifest lines", lines.size());
    std::size_t total = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        tavix::ManifestEntry e = tavix::ParseManifestLine(lines[i], static_cast<int>(i));
        tavix::PayloadItem item = tavix::FindPayloadIn(exe, e.ResourceType, e.ResourceName);
        std::wstring target = e.TargetPath.empty() ? L"" : FromGbk(e.TargetPath);
        std::string expected;
        Check(ReadFileBytes(ReleaseDir() + L"\\" + target, expected), "cannot read release file of line %zu", i + 1);
        Check(item.size == expected.size() && std::equal(expected.begin(), expected.end(),
                                                         static_cast<const char*>(item.data)),
              "item %s of line %zu differs from %s", e.ResourceName.c_str(), i + 1, ToUtf8(target).c_str());
        total += item.size;
    }
    Log("%zu items, %zu bytes, all identical", lines.size(), total);

    // Lookups ignore letter case and a missing item names itself.
    tavix::PayloadItem upper = tavix::FindPayloadIn(exe, "EXENAME", "FILEEXE");
    tavix::PayloadItem lower = tavix::FindPayloadIn(exe, "exename", "fileexe");
    Check(upper.data == lower.data && upper.size > 0, "case-insensitive lookup failed");
    try {
        tavix::FindPayloadIn(exe, "exename", "NoSuchItem");
        Fail("a missing item was found");
    } catch (const tavix::SetupError& err) {
        Check(std::string(err.what()) == "Resource NoSuchItem not found", "message: %s", err.what());
    }
    FreeLibrary(exe);
}
