#include "block_reader.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "payload_blocks.h"

namespace tavix {

// One frame being decoded: a ring of slots that the decoding thread fills
// and the reader empties, in order.
struct BlockReader::Pipe {
    static constexpr int kSlots = 4;
    static constexpr std::size_t kSlotBytes = 512 * 1024;

    struct Slot {
        std::vector<char> bytes = std::vector<char>(kSlotBytes);
        std::size_t length = 0, taken = 0;
        bool full = false;
    };

    const char* frame;
    std::size_t frameSize;
    std::uint64_t blockSize;
    FrameDecoder decoder;
    Slot slots[kSlots];
    int fill = 0, take = 0;          // the slot the thread fills next; the reader's slot
    std::uint64_t position = 0;      // of the reader, in the decoded bytes
    bool failed = false, finished = false, stop = false;
    CRITICAL_SECTION lock;
    CONDITION_VARIABLE changed;
    HANDLE thread = nullptr;

    Pipe(const void* f, std::size_t fs, std::uint64_t bs)
        : frame(static_cast<const char*>(f)), frameSize(fs), blockSize(bs) {
        InitializeCriticalSection(&lock);
        InitializeConditionVariable(&changed);
    }

    ~Pipe() {
        if (thread) {
            EnterCriticalSection(&lock);
            stop = true;
            LeaveCriticalSection(&lock);
            WakeAllConditionVariable(&changed);
            WaitForSingleObject(thread, INFINITE);
            CloseHandle(thread);
        }
        DeleteCriticalSection(&lock);
    }

    bool Start() {
        if (!decoder.Start()) return false;
        thread = CreateThread(nullptr, 0, &Pipe::Run, this, 0, nullptr);
        return thread != nullptr;
    }

    static DWORD WINAPI Run(void* self) {
        static_cast<Pipe*>(self)->Decode();
        return 0;
    }

    // The decoding thread: fills the slots in turn until the frame ends, it
    // fails, or the reader stops it.
    void Decode() {
        std::size_t used = 0;
        std::uint64_t decoded = 0;
        bool ended = false, ok = true;
        while (ok && !ended) {
            Slot& s = slots[fill];
            EnterCriticalSection(&lock);
            while (s.full && !stop) SleepConditionVariableCS(&changed, &lock, INFINITE);
            const bool stopped = stop;
            LeaveCriticalSection(&lock);
            if (stopped) return;
            std::size_t length = 0;
            while (ok && !ended && length < kSlotBytes) {
                std::size_t in = 0, out = 0;
                if (!decoder.Step(frame + used, frameSize - used, in, s.bytes.data() + length, kSlotBytes - length,
                                  out, ended) ||
                    (in == 0 && out == 0 && !ended))
                    ok = false;
                used += in;
                length += out;
                decoded += out;
            }
            // A frame longer than its block, or one that ends before its
            // block's end or with bytes after it, is damaged.
            if (decoded > blockSize || (ended && (decoded != blockSize || used != frameSize))) ok = false;
            EnterCriticalSection(&lock);
            if (ok) {
                s.length = length;
                s.taken = 0;
                s.full = true;
                fill = (fill + 1) % kSlots;
            } else {
                failed = true;
            }
            if (ended || !ok) finished = true;
            LeaveCriticalSection(&lock);
            WakeAllConditionVariable(&changed);
        }
    }

    const char* Next(std::size_t want, std::size_t& got) {
        got = 0;
        Slot& s = slots[take];
        if (!s.full || s.taken == s.length) {
            EnterCriticalSection(&lock);
            if (s.full && s.taken == s.length) {  // emptied: back to the thread
                s.full = false;
                take = (take + 1) % kSlots;
                WakeAllConditionVariable(&changed);
            }
            Slot& next = slots[take];
            while (!next.full && !failed && !finished) SleepConditionVariableCS(&changed, &lock, INFINITE);
            const bool ready = next.full;
            LeaveCriticalSection(&lock);
            if (!ready) return nullptr;
        }
        Slot& r = slots[take];
        got = static_cast<std::size_t>(std::min<std::uint64_t>(want, r.length - r.taken));
        const char* p = r.bytes.data() + r.taken;
        r.taken += got;
        position += got;
        return p;
    }

    // At the block's end: whether its frame ended there, whole.
    bool EndsWell() {
        EnterCriticalSection(&lock);
        while (!finished) SleepConditionVariableCS(&changed, &lock, INFINITE);
        const bool ok = !failed;
        LeaveCriticalSection(&lock);
        return ok;
    }
};

BlockReader::BlockReader() = default;
BlockReader::~BlockReader() { delete pipe_; }

bool BlockReader::SeekTo(const void* frame, std::size_t frameSize, std::uint64_t blockSize, std::uint64_t offset) {
    if (!pipe_ || pipe_->frame != frame || pipe_->position > offset) {
        delete pipe_;
        pipe_ = new Pipe(frame, frameSize, blockSize);
        if (!pipe_->Start()) {
            delete pipe_;
            pipe_ = nullptr;
            return false;
        }
    }
    while (pipe_->position < offset) {
        std::size_t got = 0;
        if (!Next(static_cast<std::size_t>(std::min<std::uint64_t>(offset - pipe_->position, 1u << 30)), got))
            return false;
    }
    return true;
}

const char* BlockReader::Next(std::size_t want, std::size_t& got) {
    got = 0;
    if (!pipe_) return nullptr;
    const char* p = pipe_->Next(want, got);
    if (p && pipe_->position == pipe_->blockSize && !pipe_->EndsWell()) return nullptr;
    return p;
}

} // namespace tavix
