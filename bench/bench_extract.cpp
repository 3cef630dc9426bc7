// Extracts the payload linked into this program into a folder with the
// installation's own functions (the ones RunInstall calls), back to back:
// no status texts, no message pump and no pause between the items.
//
//   bench_extract.exe <target folder> <result file> [--unchecked]
//
// Appends "extract_ms", "extract_files" and "extract_bytes" to the result
// file; with --unchecked the items' bytes are not checked against the
// builder's checksums as they are written, and the time is
// "extract_unchecked_ms" (the cost of the check, side by side).
#include <windows.h>

#include <cstdio>
#include <string>

#include "bench_common.h"
#include "install/extract_files.h"
#include "setupdata/errors.h"
#include "setupdata/manifest.h"
#include "setupdata/payload.h"
#include "common/product.h"

namespace {

std::string Gbk(const std::wstring& w) {
    int n = WideCharToMultiByte(936, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    if (n) WideCharToMultiByte(936, 0, w.data(), static_cast<int>(w.size()), &out[0], n, nullptr, nullptr);
    return out;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const bool unchecked = argc == 4 && std::wstring(argv[3]) == L"--unchecked";
    if (argc != 3 && !unchecked) {
        std::fprintf(stderr, "usage: bench_extract <target folder> <result file> [--unchecked]\n");
        return 2;
    }
    std::string dir = Gbk(argv[1]);
    if (dir.empty() || dir.back() != '\\') dir += '\\';
    try {
        // The manifest is the item the setup copies to the temporary folder
        // and walks; here it is read straight from the image.
        const tavix::ControlFile& log = tavix::kControlFiles[0];
        const std::string text = tavix::ReadPayload(tavix::FindPayload(log.resourceType, log.resourceName));

        const double start = bench::NowMs();
        if (!tavix::FolderExists(dir) && !tavix::MakeFolders(dir)) throw tavix::SetupError("cannot make " + dir);
        const std::vector<std::string> lines = tavix::SplitManifestLines(text);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const tavix::ManifestEntry entry = tavix::EntryInsideFolder(lines[i], static_cast<int>(i), dir);
            const std::string folder = dir + tavix::ManifestFolderPart(entry.TargetPath);
            if (!tavix::FolderExists(folder) && !tavix::MakeFolders(folder))
                throw tavix::SetupError("cannot make " + folder);
            tavix::PayloadItem item = tavix::FindPayload(entry.ResourceType, entry.ResourceName);
            if (unchecked) item.recorded = false;
            tavix::WritePayload(item, dir + entry.TargetPath);
        }
        const double elapsed = bench::NowMs() - start;

        double bytes = 0;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            tavix::ManifestEntry e = tavix::ParseManifestLine(lines[i], static_cast<int>(i));
            bytes += static_cast<double>(tavix::FindPayload(e.ResourceType, e.ResourceName).size);
        }
        bench::Record(argv[2], unchecked ? "extract_unchecked_ms" : "extract_ms", elapsed);
        if (unchecked) return 0;
        bench::Record(argv[2], "extract_files", static_cast<double>(lines.size()));
        bench::Record(argv[2], "extract_bytes", bytes);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_extract: %s\n", e.what());
        return 1;
    }
    return 0;
}
