#include "setup_verify.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "host_file.h"
#include "host_text.h"
#include "pe_image.h"
#include "setupdata/checksums.h"
#include "setupdata/crc32.h"
#include "setupdata/gbk.h"
#include "setupdata/manifest.h"
#include "setupdata/payload_blocks.h"

namespace tavix {
namespace {

constexpr std::size_t kChunk = 1u << 18;

void Say(const std::string& text) { PrintLine(stderr, "release_writer: " + text); }

std::string Hex(std::uint32_t v) {
    char s[9];
    std::snprintf(s, sizeof s, "%08x", static_cast<unsigned>(v));
    return s;
}

// One item as it is read back: its CRC and size so far, and, with a release,
// the release's file it is compared with on the way.
struct Check {
    const ItemChecksum* sum = nullptr;
    std::uint32_t crc = 0;
    std::uint64_t size = 0;
    std::unique_ptr<InputFile> file;  // the release's file; null without a release
    std::string filePath;
    bool sameAsFile = true;
    std::vector<char> fileBytes;

    void Take(const char* p, std::size_t n) {
        crc = Crc32(crc, p, n);
        if (file && sameAsFile) {
            fileBytes.resize(n);
            sameAsFile = size + n <= file->Size() && file->ReadAt(size, fileBytes.data(), n) &&
                         std::memcmp(fileBytes.data(), p, n) == 0;
        }
        size += n;
    }

    // What differs, or empty.
    std::string Difference() const {
        if (crc != sum->crc32 || size != sum->size)
            return "its bytes (CRC-32 " + Hex(crc) + ", " + std::to_string(size) +
                   " bytes) are not those of the checksum table (" + Hex(sum->crc32) + ", " +
                   std::to_string(sum->size) + " bytes)";
        if (file && (!sameAsFile || size != file->Size())) return "its bytes differ from the release's " + filePath;
        return std::string();
    }
};

class Verifier {
public:
    explicit Verifier(const std::string& path) : path_(path), buffer_(kChunk), out_(kChunk) {}

    int Run(const std::string& releaseDir) {
        ProgramImage image;
        if (!setup_.Open(path_)) {
            Say("cannot read " + path_ + ": " + LastErrorText());
            return 3;
        }
        const std::string problem = ReadProgram(
            setup_.Size(), [&](std::uint64_t at, void* buf, std::size_t n) { return setup_.ReadAt(at, buf, n); }, true,
            image);
        if (!problem.empty()) {
            Say(path_ + " " + problem);
            return 3;
        }
        for (const ProgramResource& r : image.resources) resources_.push_back(r);
        std::string tableText;
        const ProgramResource* table = Find(ResId::Number(kChecksumTableType), ResId::Number(kChecksumTableId));
        if (!table || !Read(*table, tableText)) {
            Say(path_ + " carries no checksum table: it is no setup, or a damaged one");
            return 1;
        }
        const ChecksumTable sums = ParseChecksumTable(tableText);
        if (sums.damagedLines) Differs("the checksum table has " + std::to_string(sums.damagedLines) + " damaged lines");
        checks_.resize(sums.items.size());
        for (std::size_t i = 0; i < sums.items.size(); ++i) checks_[i].sum = &sums.items[i];
        if (!releaseDir.empty() && !OpenRelease(releaseDir)) return 1;

        std::map<unsigned, std::vector<Check*>> blocks;
        std::size_t stored = 0;
        for (Check& c : checks_) {
            if (c.sum->block) {
                blocks[c.sum->block].push_back(&c);
                continue;
            }
            ++stored;
            const ProgramResource* r = Find(ResId::Ascii(c.sum->type), ResId::Ascii(c.sum->name));
            if (!r) {
                Differs(Label(c) + ": the setup has no resource for it");
                continue;
            }
            ReadPieces(*r, 0, r->entry.size, [&](const char* p, std::size_t n) { c.Take(p, n); });
            Judge(c);
        }
        for (auto& [id, members] : blocks) DecodeBlock(id, members);
        const std::size_t blocked = checks_.size() - stored;
        std::string summary = std::to_string(checks_.size()) + " items (" + std::to_string(blocked) + " in " +
                              std::to_string(blocks.size()) + " compressed blocks, " + std::to_string(stored) +
                              " stored)";
        if (differences_) {
            Say(path_ + ": " + std::to_string(differences_) + " difference" + (differences_ == 1 ? "" : "s") +
                " in " + summary);
            return 1;
        }
        PrintLine(stdout, path_ + ": " + summary + ", every one as its checksum table records" +
                              (releaseDir.empty() ? std::string() : " and as in " + releaseDir));
        return 0;
    }

private:
    static std::string Label(const Check& c) { return "item " + c.sum->name + " " + c.sum->type; }

    void Differs(const std::string& what) {
        Say(what);
        ++differences_;
    }

    void Judge(const Check& c) {
        const std::string d = c.Difference();
        if (!d.empty()) Differs(Label(c) + ": " + d);
    }

    const ProgramResource* Find(const ResId& type, const ResId& name) const {
        for (const ProgramResource& r : resources_)
            if (r.entry.type == type && r.entry.name == name) return &r;
        return nullptr;
    }

    bool Read(const ProgramResource& r, std::string& out) {
        out.resize(r.entry.size);
        return out.empty() || setup_.ReadAt(r.fileOffset, &out[0], out.size());
    }

    template <class Take>
    bool ReadPieces(const ProgramResource& r, std::uint64_t from, std::uint64_t size, Take take) {
        for (std::uint64_t at = from; at < from + size;) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, from + size - at));
            if (!setup_.ReadAt(r.fileOffset + at, buffer_.data(), n)) return false;
            take(buffer_.data(), n);
            at += n;
        }
        return true;
    }

    // Pairs each item with its file of the release's manifest.
    bool OpenRelease(const std::string& dir) {
        const ReleaseFolder folder = HostReleaseFolder(dir);
        std::string manifest;
        if (!ReadWholeFile(folder.hostPath("Setup.log"), manifest)) {
            Say("cannot read the manifest of " + dir);
            return false;
        }
        const std::vector<std::string> lines = SplitManifestLines(manifest);
        std::vector<bool> found(checks_.size(), false);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const ManifestEntry e = ParseManifestLine(lines[i], static_cast<int>(i));
            auto it = std::find_if(checks_.begin(), checks_.end(), [&](const Check& c) {
                return EqualsIgnoreAsciiCase(c.sum->name, e.ResourceName) &&
                       EqualsIgnoreAsciiCase(c.sum->type, e.ResourceType);
            });
            if (it == checks_.end()) {
                Differs("item " + AsciiUpper(e.ResourceName) + " " + AsciiUpper(e.ResourceType) +
                        " of the release is not in the setup");
                continue;
            }
            found[it - checks_.begin()] = true;
            it->filePath = folder.hostPath(e.TargetPath);
            it->file.reset(new InputFile);
            if (!it->file->Open(it->filePath)) {
                Differs(Label(*it) + ": cannot read the release's " + it->filePath);
                it->file.reset();
            }
        }
        for (std::size_t i = 0; i < checks_.size(); ++i)
            if (!found[i]) Differs(Label(checks_[i]) + " is not in the release");
        return true;
    }

    // Decodes a block's frame once, handing each item its bytes.
    void DecodeBlock(unsigned id, std::vector<Check*> members) {
        std::sort(members.begin(), members.end(),
                  [](const Check* a, const Check* b) { return a->sum->offset < b->sum->offset; });
        auto damaged = [&](const std::string& why) {
            for (const Check* c : members) Differs(Label(*c) + ": its block " + std::to_string(id) + " " + why);
        };
        const ProgramResource* r = Find(ResId::Number(kChecksumTableType), ResId::Number(static_cast<std::uint16_t>(id)));
        std::string head(kBlockHeaderSize, '\0');
        BlockHeader header;
        if (!r || r->entry.size < kBlockHeaderSize) return damaged("is missing");
        if (!setup_.ReadAt(r->fileOffset, &head[0], head.size()) ||
            !ParseBlockHeader(head.data(), r->entry.size, header))
            return damaged("has a damaged header");
        std::string frameHead(static_cast<std::size_t>(std::min<std::uint64_t>(header.frameSize, 18)), '\0');
        if (!setup_.ReadAt(r->fileOffset + kBlockHeaderSize, &frameHead[0], frameHead.size()) ||
            !FrameSizeAgrees(frameHead.data(), frameHead.size(), header.decodedSize))
            return damaged("has a header that does not agree with its frame's size");
        FrameDecoder decoder;
        if (!decoder.Start()) return damaged("cannot be decoded: no memory");
        std::uint64_t decoded = 0;
        std::size_t next = 0;  // the first member not yet complete
        bool ended = false, ok = true;
        auto route = [&](const char* p, std::size_t n) {
            for (std::size_t k = next; k < members.size() && n > 0; ++k) {
                Check& c = *members[k];
                const std::uint64_t begin = c.sum->offset, end = begin + c.sum->size;
                if (decoded + n <= begin) break;
                const std::uint64_t from = std::max(decoded, begin), to = std::min(decoded + n, end);
                if (from < to) c.Take(p + (from - decoded), static_cast<std::size_t>(to - from));
            }
            decoded += n;
            while (next < members.size() && members[next]->sum->offset + members[next]->sum->size <= decoded) ++next;
        };
        ReadPieces(*r, kBlockHeaderSize, header.frameSize, [&](const char* p, std::size_t n) {
            std::size_t used = 0;
            while (ok && used < n) {
                std::size_t took = 0, made = 0;
                if (ended || !decoder.Step(p + used, n - used, took, out_.data(), out_.size(), made, ended)) ok = false;
                used += took;
                route(out_.data(), made);
            }
        });
        // The frame may hold decoded bytes the input has all been given for.
        while (ok && !ended) {
            std::size_t took = 0, made = 0;
            if (!decoder.Step(nullptr, 0, took, out_.data(), out_.size(), made, ended) || made == 0) break;
            route(out_.data(), made);
        }
        if (!ok || !ended) damaged("is damaged: its frame does not decode to its end");
        else if (decoded != header.decodedSize)
            damaged("decodes to " + std::to_string(decoded) + " bytes, not the " +
                    std::to_string(header.decodedSize) + " its header gives");
        for (const Check* c : members) Judge(*c);
    }

    std::string path_;
    InputFile setup_;
    std::vector<ProgramResource> resources_;
    std::vector<Check> checks_;
    std::vector<char> buffer_, out_;
    int differences_ = 0;
};

} // namespace

int VerifySetup(const std::string& setupPath, const std::string& releaseDir) {
    return Verifier(setupPath).Run(releaseDir);
}

} // namespace tavix
