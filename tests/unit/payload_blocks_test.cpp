#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <zstd.h>

#include "setupdata/payload_blocks.h"

using namespace tavix;

namespace {

std::string Text(std::size_t size) {
    std::string s;
    for (unsigned n = 0; s.size() < size; ++n) s += "record " + std::to_string(n % 977) + " of the food table;\r\n";
    s.resize(size);
    return s;
}

// A frame made by the library itself, with the parameters given.
std::string Frame(const std::string& bytes, int windowLog = 0, bool contentSize = true) {
    ZSTD_CCtx* c = ZSTD_createCCtx();
    ZSTD_CCtx_setParameter(c, ZSTD_c_compressionLevel, 3);
    if (windowLog) ZSTD_CCtx_setParameter(c, ZSTD_c_windowLog, windowLog);
    ZSTD_CCtx_setParameter(c, ZSTD_c_contentSizeFlag, contentSize ? 1 : 0);
    // Streamed, so that the library does not fit the window to the size.
    std::string out(ZSTD_compressBound(bytes.size()) + 1000, '\0');
    ZSTD_outBuffer o{&out[0], out.size(), 0};
    ZSTD_inBuffer in{bytes.data(), bytes.size(), 0};
    std::size_t left = ZSTD_compressStream2(c, &o, &in, contentSize ? ZSTD_e_end : ZSTD_e_continue);
    while (!ZSTD_isError(left) && (in.pos < in.size || !contentSize)) {
        left = ZSTD_compressStream2(c, &o, &in, ZSTD_e_end);
        if (left == 0) break;
    }
    ZSTD_freeCCtx(c);
    out.resize(ZSTD_isError(left) ? 0 : o.pos);
    return out;
}

// Feeds the frame `piece` bytes at a time and gathers what comes out; false
// when the decoder calls it damaged or it never ends.
bool DecodeInPieces(const std::string& frame, std::size_t piece, std::string& out) {
    FrameDecoder d;
    if (!d.Start()) return false;
    out.clear();
    std::vector<char> buf(1000);
    bool ended = false;
    for (std::size_t at = 0; !ended;) {
        const std::size_t give = std::min(piece, frame.size() - at);
        std::size_t used = 0, made = 0;
        if (!d.Step(frame.data() + at, give, used, buf.data(), buf.size(), made, ended)) return false;
        out.append(buf.data(), made);
        at += used;
        if (used == 0 && made == 0 && !ended) return false;  // nothing more to give
    }
    return true;
}

TEST(BlockHeader, WrittenAndReadBack) {
    const BlockHeader h{kCodecZstd, 0x0123456789ull, 1000};
    const std::string text = FormatBlockHeader(h);
    ASSERT_EQ(text.size(), kBlockHeaderSize);
    EXPECT_EQ(text.substr(0, 8), std::string("TXBK\x18\0\x01\0", 8));
    BlockHeader back;
    ASSERT_TRUE(ParseBlockHeader(text.data(), kBlockHeaderSize + 1000, back));
    EXPECT_EQ(back.decodedSize, h.decodedSize);
    EXPECT_EQ(back.frameSize, 1000u);
    // The frame must fill the rest of the resource, no more and no less.
    EXPECT_FALSE(ParseBlockHeader(text.data(), kBlockHeaderSize + 999, back));
    EXPECT_FALSE(ParseBlockHeader(text.data(), kBlockHeaderSize + 1001, back));
    EXPECT_FALSE(ParseBlockHeader(text.data(), 10, back));
    for (std::size_t at : {0u, 4u, 6u, 7u}) {  // magic, header size, codec, the zero byte
        std::string bad = text;
        bad[at] = static_cast<char>(bad[at] ^ 0x40);
        EXPECT_FALSE(ParseBlockHeader(bad.data(), kBlockHeaderSize + 1000, back)) << at;
    }
}

TEST(FrameDecoder, DecodesAFrameHandedInPiecesOfAnySize) {
    const std::string bytes = Text(300000);
    const std::string frame = Frame(bytes);
    ASSERT_LT(frame.size(), bytes.size() / 4);
    for (std::size_t piece : {1u, 7u, 4096u, 1u << 20}) {
        std::string out;
        ASSERT_TRUE(DecodeInPieces(frame, piece, out)) << piece;
        EXPECT_EQ(out, bytes) << piece;
    }
    // Started anew, the same decoder decodes again.
    FrameDecoder d;
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(d.Start());
        std::string out(bytes.size(), '\0');
        std::size_t used = 0, made = 0;
        bool ended = false;
        ASSERT_TRUE(d.Step(frame.data(), frame.size(), used, &out[0], out.size(), made, ended));
        EXPECT_TRUE(ended);
        EXPECT_EQ(made, bytes.size());
    }
}

TEST(FrameDecoder, RefusesDamagedFramesAndLargeWindows) {
    const std::string bytes = Text(100000);
    const std::string frame = Frame(bytes);
    std::string out;
    // Cut: it never ends.
    EXPECT_FALSE(DecodeInPieces(frame.substr(0, frame.size() / 2), 512, out));
    // Not a frame at all.
    std::string bad = frame;
    bad[0] = 'X';
    EXPECT_FALSE(DecodeInPieces(bad, 512, out));
    // A frame that asks for a 32 MB window is refused: the setup's memory stays bounded.
    EXPECT_FALSE(DecodeInPieces(Frame(bytes, kMaxWindowLog + 1, false), 512, out));
    ASSERT_TRUE(DecodeInPieces(Frame(bytes, kMaxWindowLog, false), 512, out));
    EXPECT_EQ(out, bytes);
}

TEST(FrameSizeAgrees, TheFramesOwnSizeAgainstTheHeaders) {
    const std::string bytes = Text(5000);
    const std::string frame = Frame(bytes);
    EXPECT_TRUE(FrameSizeAgrees(frame.data(), frame.size(), 5000));
    EXPECT_FALSE(FrameSizeAgrees(frame.data(), frame.size(), 5001));
    EXPECT_FALSE(FrameSizeAgrees("no frame at all", 15, 5000));
    // A frame that does not give its size leaves the decoding to tell.
    const std::string unsized = Frame(bytes, 0, false);
    EXPECT_TRUE(FrameSizeAgrees(unsized.data(), unsized.size(), 1));
}

} // namespace
