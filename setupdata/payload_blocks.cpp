#include "payload_blocks.h"

#include <cstring>

#include <zstd.h>

namespace tavix {
namespace {

const char kMagic[4] = {'T', 'X', 'B', 'K'};

std::uint64_t Get64(const unsigned char* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

void Put64(std::string& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) out += static_cast<char>(v >> (8 * i) & 0xFF);
}

} // namespace

std::string FormatBlockHeader(const BlockHeader& header) {
    std::string out(kMagic, 4);
    out += static_cast<char>(kBlockHeaderSize & 0xFF);
    out += static_cast<char>(kBlockHeaderSize >> 8);
    out += static_cast<char>(header.codec);
    out += '\0';
    Put64(out, header.decodedSize);
    Put64(out, header.frameSize);
    return out;
}

bool ParseBlockHeader(const void* data, std::size_t size, BlockHeader& out) {
    const auto* p = static_cast<const unsigned char*>(data);
    if (size < kBlockHeaderSize || std::memcmp(p, kMagic, 4) != 0) return false;
    if ((p[4] | p[5] << 8) != kBlockHeaderSize || p[6] != kCodecZstd || p[7] != 0) return false;
    out.codec = p[6];
    out.decodedSize = Get64(p + 8);
    out.frameSize = Get64(p + 16);
    return out.frameSize == size - kBlockHeaderSize;
}

bool FrameSizeAgrees(const void* frame, std::size_t frameSize, std::uint64_t decodedSize) {
    const unsigned long long size = ZSTD_getFrameContentSize(frame, frameSize);
    if (size == ZSTD_CONTENTSIZE_ERROR) return false;
    return size == ZSTD_CONTENTSIZE_UNKNOWN || size == decodedSize;
}

struct FrameDecoder::State {
    ZSTD_DStream* stream = nullptr;
    ~State() { ZSTD_freeDStream(stream); }
};

FrameDecoder::FrameDecoder() : state_(new State) {}
FrameDecoder::~FrameDecoder() = default;

bool FrameDecoder::Start() {
    if (!state_->stream) {
        state_->stream = ZSTD_createDStream();
        if (!state_->stream) return false;
        if (ZSTD_isError(ZSTD_DCtx_setParameter(state_->stream, ZSTD_d_windowLogMax, kMaxWindowLog))) return false;
    }
    return !ZSTD_isError(ZSTD_DCtx_reset(state_->stream, ZSTD_reset_session_only));
}

bool FrameDecoder::Step(const void* in, std::size_t inSize, std::size_t& inUsed, void* out, std::size_t outSize,
                        std::size_t& outMade, bool& ended) {
    ZSTD_inBuffer input{in, inSize, 0};
    ZSTD_outBuffer output{out, outSize, 0};
    const std::size_t r = ZSTD_decompressStream(state_->stream, &output, &input);
    inUsed = input.pos;
    outMade = output.pos;
    if (ZSTD_isError(r)) return false;
    ended = r == 0;
    return true;
}

} // namespace tavix
