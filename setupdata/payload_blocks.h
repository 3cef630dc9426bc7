// Compressed blocks of the payload.
//
// The release writer puts runs of items that shrink into blocks: each block
// is a resource of numeric type RT_RCDATA (10) and numeric ID from
// kFirstBlockId on, language 2052, holding a small header and then one
// standard zstd frame (RFC 8878) whose decoded bytes are its items' bytes,
// one after the other in manifest order. An item that does not shrink, and
// every item of a setup written with --store, is a resource of its own under
// its type and name, holding its bytes as they are. The checksum table says
// where each item lies (setupdata/checksums.h).
//
// The header, little-endian:
//
//   offset size
//        0    4  "TXBK"
//        4    2  header size in bytes (24); the frame begins there
//        6    1  codec: 1 = zstd
//        7    1  0
//        8    8  decoded size: the frame's content, the block's items together
//       16    8  frame size: the bytes after the header, to the resource's end
//
// So `tail -c +25 block.bin | zstd -d` decodes a block that a tool has cut out.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tavix {

constexpr unsigned kFirstBlockId = 7002;
constexpr unsigned kLastBlockId = 0x7FFF;
constexpr std::size_t kBlockHeaderSize = 24;
constexpr unsigned char kCodecZstd = 1;
// The largest window a block's frame may ask of the decoder (16 MB): the
// setup's memory stays bounded whatever a setup carries.
constexpr int kMaxWindowLog = 24;

struct BlockHeader {
    unsigned char codec = kCodecZstd;
    std::uint64_t decodedSize = 0;
    std::uint64_t frameSize = 0;
};

std::string FormatBlockHeader(const BlockHeader& header);

// Reads the header of a block resource of `size` bytes; false when it is no
// block header or its frame size does not fill the resource.
bool ParseBlockHeader(const void* data, std::size_t size, BlockHeader& out);

// Whether the frame's own header, when it gives the content's size, gives
// `decodedSize`: a block whose header and frame disagree is damaged before
// any of its bytes are written.
bool FrameSizeAgrees(const void* frame, std::size_t frameSize, std::uint64_t decodedSize);

// Decodes one zstd frame handed in pieces. Memory is bounded by the frame's
// window, which may be at most 2^kMaxWindowLog bytes.
class FrameDecoder {
public:
    FrameDecoder();
    ~FrameDecoder();
    FrameDecoder(const FrameDecoder&) = delete;
    FrameDecoder& operator=(const FrameDecoder&) = delete;

    // Starts a new frame (also after a failure). False when the decoder
    // cannot be made (no memory).
    bool Start();
    // Decodes from `in` (up to `inSize` bytes) into `out` (up to `outSize`),
    // telling how many bytes of each it took and gave. False when the frame
    // is damaged; `ended` is set once the frame is complete.
    bool Step(const void* in, std::size_t inSize, std::size_t& inUsed, void* out, std::size_t outSize,
              std::size_t& outMade, bool& ended);

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace tavix
