// Reads the decoded bytes of a compressed block (setupdata/payload_blocks.h)
// in order, while a thread of its own decodes ahead: the installation writes
// one piece while the next is decoded, on a second processor where there is
// one. Windows only.
#pragma once
#include <cstddef>
#include <cstdint>

namespace tavix {

class BlockReader {
public:
    BlockReader();
    ~BlockReader();
    BlockReader(const BlockReader&) = delete;
    BlockReader& operator=(const BlockReader&) = delete;

    // Makes the block whose frame is `frame` (`frameSize` bytes, decoding to
    // `blockSize`) the one read, its next byte that at `offset`: where the
    // reader stands before it in the same block, it reads on; otherwise it
    // starts the frame anew. False when the block is damaged before it.
    bool SeekTo(const void* frame, std::size_t frameSize, std::uint64_t blockSize, std::uint64_t offset);

    // The next decoded bytes, at most `want` of them: a pointer valid until
    // the next call, and their number in `got`. Null when the block is
    // damaged there (its frame cannot be decoded, ends early, or is longer
    // than the block). At the block's end it waits for the frame's end, so
    // that a frame with more after its content fails its last item.
    const char* Next(std::size_t want, std::size_t& got);

private:
    struct Pipe;
    Pipe* pipe_ = nullptr;
};

} // namespace tavix
