// The release writer's reading of the prebuilt program: any file is either
// refused with a reason or read into resources that lie inside it, and the
// setup planned from it keeps the program's bytes before its resources and
// ends where its sections end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/pe_image.h"
#include "tools/resource_section.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string file(reinterpret_cast<const char*>(data), size);
    tavix::ProgramImage image;
    const std::string problem = tavix::ReadProgram(
        file.size(),
        [&](std::uint64_t at, void* out, std::size_t n) {
            if (at > file.size() || n > file.size() - at) return false;
            std::memcpy(out, file.data() + at, n);
            return true;
        },
        true, image);
    if (!problem.empty()) return 0;
    if (image.headers.size() > file.size()) std::abort();
    std::vector<tavix::ResourceEntry> entries;
    for (const tavix::ProgramResource& r : image.resources) {
        if (r.fileOffset + r.entry.size > file.size()) std::abort();
        entries.push_back(r.entry);
    }
    entries.push_back({tavix::ResId::Ascii("TXTNAME"), tavix::ResId::Ascii("FILETXT5"), 2052, 100, 0});
    tavix::ResourceLayout layout;
    if (!tavix::LayOutResources(entries, tavix::ResourceRva(image), layout).empty()) return 0;
    tavix::ImagePlan plan;
    if (!tavix::PlanImage(image, layout.size, plan).empty()) return 0;
    if (plan.keep < plan.headers.size() || plan.keep > file.size() || plan.resourceRawSize < layout.size) std::abort();
    std::uint64_t end = plan.keep + plan.resourceRawSize;
    for (const tavix::ImagePlan::Range& r : plan.moved) {
        if (r.from < plan.keep || r.from + r.size > file.size()) std::abort();
        end += r.size;
    }
    if (end != plan.fileSize || plan.checksumOffset + 4 > plan.headers.size()) std::abort();
    return 0;
}
