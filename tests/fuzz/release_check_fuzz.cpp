// The release check: any manifest is either accepted line by line with
// usable names and paths, or refused with one message per bad line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "setupdata/gbk.h"
#include "setupdata/manifest.h"
#include "tools/release_check.h"

namespace {
bool AnyFileExists(const std::string&) { return true; }
std::string SamePath(const std::string& t) { return t; }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    tavix::ReleaseReport r = tavix::CheckManifest(text, AnyFileExists, SamePath);
    std::size_t lines = tavix::SplitManifestLines(text).size();
    if (r.items.size() + r.problems.size() != (lines ? lines : 1)) std::abort();
    for (const tavix::ReleaseItem& item : r.items) {
        const std::string& p = item.entry.TargetPath;
        if (p.empty() || p[0] == '\\' || p.find(':') != std::string::npos) std::abort();
        if (tavix::GbkFirstInvalid(p) != std::string::npos) std::abort();
        if (!tavix::TargetPathProblem(p).empty()) std::abort();
    }
    return 0;
}
