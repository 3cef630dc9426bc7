// How the release writer packs the items: which travel as they are and
// which in compressed blocks (setupdata/payload_blocks.h), and the blocks'
// compression. The blocks' frames are written to a scratch file first, so
// that the setup's layout knows their sizes; memory stays bounded by the
// codec's own, whatever the release's size.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "host_file.h"
#include "release_check.h"
#include "setupdata/checksums.h"

namespace tavix {

// zstd's level: the highest of its ordinary levels. Its window (8 MB) keeps
// the setup's memory low; decoding is as fast as at the lower levels.
constexpr int kDefaultLevel = 19;
constexpr int kMinLevel = 1, kMaxLevel = 22;

struct PackOptions {
    bool store = false;       // every item as it is
    int level = kDefaultLevel;
    int threads = 0;          // compression threads; 0: one per processor (at most 4). The output is the same.
};

struct PackedBlock {
    unsigned id = 0;                  // resource ID
    std::vector<std::size_t> items;   // indexes into the release's items, in manifest order
    std::uint64_t decodedSize = 0;
    std::uint64_t frameAt = 0, frameSize = 0;  // in the scratch file
};

struct PackPlan {
    // One per release item, in manifest order: name, type, size and place;
    // the CRC-32 of the items in blocks (the others' are counted as they are copied).
    std::vector<ItemChecksum> sums;
    std::vector<PackedBlock> blocks;
    // The index of the block that holds each item; -1: stored as it is.
    std::vector<int> blockOf;
    // The payload as the setup carries it: stored items and blocks (with their headers).
    std::uint64_t writtenBytes = 0;
};

// How an item the setup needs at its start or out of the manifest's order
// travels: the control file, the manifest and the licence (a few kilobytes,
// read whole at the start) as they are; the main program and the uninstaller
// (written first and last) each in a block of its own when they shrink.
enum class StartItem { kNo, kStored, kAlone };
StartItem StartItemKind(const ManifestEntry& entry);

// Packs the release's items. The frames go to `scratch`. False with
// `failure` set when an item cannot be read, changed while it was read, or
// the codec fails.
bool PackItems(const std::vector<ReleaseItem>& items, const PackOptions& options, ScratchFile& scratch,
               PackPlan& plan, std::string& failure);

} // namespace tavix
