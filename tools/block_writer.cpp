#include "block_writer.h"

#include <algorithm>
#include <thread>

// The level's window is read with an interface of the static library.
#define ZSTD_STATIC_LINKING_ONLY
#include <zstd.h>

#include "setupdata/crc32.h"
#include "setupdata/gbk.h"
#include "setupdata/payload_blocks.h"

namespace tavix {
namespace {

constexpr std::size_t kChunk = 1u << 18;
// A block holds at most this much; a larger run of items goes on in the next.
constexpr std::uint64_t kMaxBlockBytes = 256ull << 20;
// Whether an item shrinks is tried on its first megabyte, at a quick level;
// an item that keeps more than 97 % of its size there is stored as it is.
constexpr std::size_t kProbeBytes = 1u << 20;
constexpr int kProbeLevel = 3;
// Smaller items are not tried: among others they always shrink.
constexpr std::uint64_t kAlwaysPack = 4096;
// How many earlier items of nearly its size an item that does not shrink
// alone is tried after.
constexpr std::size_t kCompanions = 4;

std::string CodecText(std::size_t code) { return std::string("the codec failed: ") + ZSTD_getErrorName(code); }

class Packer {
public:
    Packer(const std::vector<ReleaseItem>& items, const PackOptions& options, ScratchFile& scratch, PackPlan& plan)
        : items_(items), options_(options), scratch_(scratch), plan_(plan), in_(kChunk), out_(ZSTD_CStreamOutSize()) {}
    ~Packer() {
        ZSTD_freeCCtx(cctx_);
        ZSTD_freeCCtx(probe_);
    }

    // Whether the item shrinks, alone or, given `after`, after that item's
    // first bytes; false with failure_ set when an item cannot be read.
    bool Shrinks(const ReleaseItem& item, bool& shrinks, const ReleaseItem* after = nullptr) {
        shrinks = true;
        if (item.size <= kAlwaysPack) return true;
        std::string probe, prefix;
        if (!Head(item, probe) || (after && !Head(*after, prefix))) return false;
        if (!probe_ && !(probe_ = ZSTD_createCCtx())) return Fail("the codec has no memory");
        ZSTD_CCtx_reset(probe_, ZSTD_reset_session_and_parameters);
        std::size_t n = ZSTD_CCtx_setParameter(probe_, ZSTD_c_compressionLevel, kProbeLevel);
        if (!ZSTD_isError(n) && after) n = ZSTD_CCtx_refPrefix(probe_, prefix.data(), prefix.size());
        std::string packed(ZSTD_compressBound(probe.size()), '\0');
        if (!ZSTD_isError(n)) n = ZSTD_compress2(probe_, &packed[0], packed.size(), probe.data(), probe.size());
        if (ZSTD_isError(n)) return Fail(CodecText(n));
        shrinks = n * 100 < probe.size() * 97;
        return true;
    }

    // Compresses the items `members` into one block, appended to the plan;
    // a block that does not shrink is left out and its items stay stored.
    bool Block(const std::vector<std::size_t>& members) {
        PackedBlock block;
        block.items = members;
        for (std::size_t i : members) block.decodedSize += items_[i].size;
        if (!Start(block.decodedSize)) return false;
        block.frameAt = scratch_.Size();
        for (std::size_t i : members) {
            plan_.sums[i].offset = sizeFed_;
            if (!Feed(items_[i], plan_.sums[i].crc32)) return false;
        }
        if (!Finish()) return false;
        block.frameSize = scratch_.Size() - block.frameAt;
        if (block.frameSize + kBlockHeaderSize >= block.decodedSize) {
            for (std::size_t i : members) plan_.sums[i].offset = 0;
            return true;
        }
        block.id = kFirstBlockId + static_cast<unsigned>(plan_.blocks.size());
        if (block.id > kLastBlockId) return Fail("the release needs more than " +
                                                 std::to_string(kLastBlockId - kFirstBlockId + 1) + " blocks");
        for (std::size_t i : members) {
            plan_.sums[i].block = block.id;
            plan_.blockOf[i] = static_cast<int>(plan_.blocks.size());
        }
        plan_.blocks.push_back(std::move(block));
        return true;
    }

    const std::string& Failure() const { return failure_; }

private:
    bool Fail(const std::string& why) {
        failure_ = why;
        return false;
    }

    // The item's first bytes, as many as a probe takes.
    bool Head(const ReleaseItem& item, std::string& out) {
        InputFile in;
        out.assign(static_cast<std::size_t>(std::min<std::uint64_t>(item.size, kProbeBytes)), '\0');
        if (!in.Open(item.file) || !in.ReadAt(0, &out[0], out.size()))
            return Fail("cannot read " + item.file + ": " + LastErrorText());
        return true;
    }

    bool Start(std::uint64_t size) {
        if (!cctx_ && !(cctx_ = ZSTD_createCCtx())) return Fail("the codec has no memory");
        ZSTD_CCtx_reset(cctx_, ZSTD_reset_session_and_parameters);
        // The window the decoder must hold stays within the setup's bound.
        const int window = ZSTD_getCParams(options_.level, size, 0).windowLog;
        unsigned threads = options_.threads > 0 ? static_cast<unsigned>(options_.threads)
                                                : std::min(4u, std::max(1u, std::thread::hardware_concurrency()));
        // With one worker or more the output does not depend on their number;
        // without workers it would differ, so there is always one.
        std::size_t r = ZSTD_CCtx_setParameter(cctx_, ZSTD_c_compressionLevel, options_.level);
        if (!ZSTD_isError(r)) r = ZSTD_CCtx_setParameter(cctx_, ZSTD_c_windowLog, std::min(window, kMaxWindowLog));
        if (!ZSTD_isError(r)) r = ZSTD_CCtx_setParameter(cctx_, ZSTD_c_nbWorkers, static_cast<int>(threads));
        if (!ZSTD_isError(r)) r = ZSTD_CCtx_setPledgedSrcSize(cctx_, size);
        if (ZSTD_isError(r)) return Fail(CodecText(r));
        sizeFed_ = 0;
        return true;
    }

    bool Drain(ZSTD_inBuffer& input, ZSTD_EndDirective mode) {
        for (;;) {
            ZSTD_outBuffer output{out_.data(), out_.size(), 0};
            const std::size_t left = ZSTD_compressStream2(cctx_, &output, &input, mode);
            if (ZSTD_isError(left)) return Fail(CodecText(left));
            if (output.pos && !scratch_.Write(out_.data(), output.pos))
                return Fail("cannot write the scratch file: " + LastErrorText());
            const bool done = mode == ZSTD_e_end ? left == 0 : input.pos == input.size;
            if (done) return true;
        }
    }

    bool Feed(const ReleaseItem& item, std::uint32_t& crc) {
        const std::string changed = item.file + " changed while the setup was being made; make it again";
        InputFile in;
        if (!in.Open(item.file)) return Fail("cannot read " + item.file + ": " + LastErrorText());
        crc = 0;
        std::uint64_t copied = 0;
        for (long long n; (n = in.Read(in_.data(), in_.size())) != 0; copied += n) {
            if (n < 0) return Fail("cannot read " + item.file + ": " + LastErrorText());
            if (copied + n > item.size) return Fail(changed);
            crc = Crc32(crc, in_.data(), static_cast<std::size_t>(n));
            ZSTD_inBuffer input{in_.data(), static_cast<std::size_t>(n), 0};
            if (!Drain(input, ZSTD_e_continue)) return false;
        }
        if (copied != item.size) return Fail(changed);
        sizeFed_ += copied;
        return true;
    }

    bool Finish() {
        ZSTD_inBuffer none{nullptr, 0, 0};
        return Drain(none, ZSTD_e_end);
    }

    const std::vector<ReleaseItem>& items_;
    const PackOptions& options_;
    ScratchFile& scratch_;
    PackPlan& plan_;
    ZSTD_CCtx* cctx_ = nullptr;
    ZSTD_CCtx* probe_ = nullptr;
    std::vector<char> in_, out_;
    std::uint64_t sizeFed_ = 0;
    std::string failure_;
};

} // namespace

StartItem StartItemKind(const ManifestEntry& entry) {
    for (const char* name : {"FileTxt4", "FileTxt5", "FileTxt6"})
        if (EqualsIgnoreAsciiCase(entry.ResourceName, name)) return StartItem::kStored;
    for (const char* name : {"FileExe", "uninstall"})
        if (EqualsIgnoreAsciiCase(entry.ResourceName, name)) return StartItem::kAlone;
    return StartItem::kNo;
}

bool PackItems(const std::vector<ReleaseItem>& items, const PackOptions& options, ScratchFile& scratch,
               PackPlan& plan, std::string& failure) {
    plan = PackPlan();
    plan.blockOf.assign(items.size(), -1);
    for (const ReleaseItem& item : items)
        plan.sums.push_back(ItemChecksum{AsciiUpper(item.entry.ResourceName), AsciiUpper(item.entry.ResourceType), 0,
                                         static_cast<std::uint32_t>(item.size), 0, 0});
    Packer packer(items, options, scratch, plan);
    auto fail = [&] {
        failure = packer.Failure();
        return false;
    };
    if (!options.store) {
        // Runs of items that shrink, in manifest order, each up to the
        // block's size; the start items stay as they are or alone. An item
        // stored between two of a run does not end it: the setup writes it
        // from where it lies, and the block's decoding goes on after it.
        std::vector<bool> shrinks(items.size(), false);
        for (std::size_t i = 0; i < items.size(); ++i) {
            bool yes = false;
            if (StartItemKind(items[i].entry) != StartItem::kStored && !packer.Shrinks(items[i], yes)) return fail();
            shrinks[i] = yes;
        }
        // Two items that do not shrink alone but nearly repeat each other
        // (the same file packed twice, with another name or date inside)
        // shrink together: both join the run. Tried on a few earlier items
        // of nearly the same size.
        for (std::size_t i = 0, tried = 0; i < items.size(); ++i, tried = 0) {
            if (shrinks[i] || StartItemKind(items[i].entry) != StartItem::kNo) continue;
            for (std::size_t j = i; j-- > 0 && tried < kCompanions;) {
                if (StartItemKind(items[j].entry) != StartItem::kNo || items[j].size < kAlwaysPack) continue;
                const std::uint64_t a = items[i].size, b = items[j].size;
                if ((a > b ? a - b : b - a) * 64 > b) continue;
                ++tried;
                bool together = false;
                if (!packer.Shrinks(items[i], together, &items[j])) return fail();
                if (together) {
                    shrinks[i] = shrinks[j] = true;
                    break;
                }
            }
        }
        std::vector<std::size_t> run;
        std::uint64_t runBytes = 0;
        auto closeRun = [&] {
            const bool ok = run.empty() || packer.Block(run);
            run.clear();
            runBytes = 0;
            return ok;
        };
        for (std::size_t i = 0; i < items.size(); ++i) {
            const bool alone = StartItemKind(items[i].entry) == StartItem::kAlone;
            if ((shrinks[i] && (alone || runBytes + items[i].size > kMaxBlockBytes)) && !closeRun()) return fail();
            if (!shrinks[i]) continue;
            run.push_back(i);
            runBytes += items[i].size;
            if (alone && !closeRun()) return fail();
        }
        if (!closeRun()) return fail();
    }
    for (std::size_t i = 0; i < items.size(); ++i)
        if (plan.blockOf[i] < 0) plan.writtenBytes += items[i].size;
    for (const PackedBlock& b : plan.blocks) plan.writtenBytes += kBlockHeaderSize + b.frameSize;
    return true;
}

} // namespace tavix
