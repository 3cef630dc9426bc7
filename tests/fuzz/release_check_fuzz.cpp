// The release check: any manifest is either accepted line by line with
// usable names and paths, or refused with one message per bad line; no two
// accepted lines write the same file on Windows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "setupdata/gbk.h"
#include "setupdata/manifest.h"
#include "setupdata/path_rules.h"
#include "tools/release_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    tavix::ReleaseFolder folder;
    folder.hostPath = [](const std::string& t) { return t; };
    folder.inspect = [](const std::string&) { return tavix::FileFacts{tavix::FileKind::kRegular, 1, ""}; };
    folder.listFiles = [] { return std::vector<std::string>(); };
    tavix::ReleaseReport r;
    tavix::CheckManifest(text, "C:\\Program Files\\Quorvix", folder, r);
    std::size_t lines = tavix::SplitManifestLines(text).size();
    if (r.items.size() + r.problems.size() != (lines ? lines : 1)) std::abort();
    std::set<std::string> keys;
    for (const tavix::ReleaseItem& item : r.items) {
        const std::string& p = item.entry.TargetPath;
        if (p.empty() || p[0] == '\\' || p.find(':') != std::string::npos) std::abort();
        if (tavix::GbkFirstInvalid(p) != std::string::npos) std::abort();
        if (tavix::CheckTargetPath(p)) std::abort();
        if (tavix::CheckTargetLength("C:\\Program Files\\Quorvix", p) != tavix::PathLength::kFits) std::abort();
        if (!keys.insert(tavix::TargetCollisionKey(p)).second) std::abort();
    }
    return 0;
}
