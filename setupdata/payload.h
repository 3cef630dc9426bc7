// Payload items: files of the product carried inside the setup executable,
// each with the CRC-32 and size the release builder recorded for it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "setupdata/checksums.h"

namespace tavix {

struct PayloadItem {
    // Points into the loaded image (never freed): the item's own bytes, or,
    // for an item in a compressed block, the block's frame.
    const void* data = nullptr;
    std::size_t size = 0;        // the item's own size (decoded)
    std::string name;            // as it was asked for
    // An item in a compressed block (setupdata/payload_blocks.h): the block's
    // resource ID (0: the item is stored as it is at `data`), the frame's
    // size, the block's decoded size and where in it the item begins.
    unsigned block = 0;
    std::size_t frameSize = 0;
    std::uint64_t blockSize = 0, offset = 0;
    // The recorded CRC-32 and size; null when the module records none for it.
    const ItemChecksum* expected = nullptr;
    // The table `expected` points into, when it is not the running executable's.
    std::shared_ptr<const ChecksumTable> table;
    // The module holds a checksum table: an item without an entry is damaged.
    bool recorded = false;
};

// Finds the item of `type` and `name` (ASCII case ignored) in the running
// executable, through its checksum table. Throws SetupError "Resource <name>
// not found" when absent, and the damaged-setup error (ErrorKind::MissingItem)
// when the executable carries no checksum table or the item's block is
// damaged.
PayloadItem FindPayload(const std::string& type, const std::string& name);

// The same lookup in another loaded module (a handle of the platform's), for
// tools that inspect a built setup; its checksum table is read anew.
PayloadItem FindPayloadIn(void* module, const std::string& type, const std::string& name);

// The item's bytes, decoded where they are compressed and checked against
// the record. Throws the damaged-setup error when they differ.
std::string ReadPayload(const PayloadItem& item);

// The text of the damaged-setup error for an item whose bytes are not those
// the builder recorded (GBK).
std::string DamagedItemText(const std::string& name);

// The text of the damaged-setup error for a setup without its checksum table.
std::string MissingTableText();

// Writes the item's bytes to the file at `path` (GBK): into a new temporary
// file beside it first, decoding them as they are written where they are
// compressed and checking them against the recorded CRC-32, then moved over
// `path` only when complete. Where a file was at `path`, the new one is on
// the disk before it takes its place, so that a power cut leaves one or the
// other whole. Items of one block written in manifest order are decoded in
// one pass. On any failure the
// temporary file is removed and a file that was at `path` stays as it was.
// Throws SetupError: "Cannot create file "<path>". <reason>" or "Write error
// on "<path>". <reason>" (ErrorKind::WriteFailed, with the system's reason
// for the failure), or the damaged-setup error (ErrorKind::MissingItem).
void WritePayload(const PayloadItem& item, const std::string& path);

// Removes from `folder` (GBK, ending in a backslash) the temporary files
// that a run ended while it wrote there left behind: plain files whose name
// is one a temporary item file has (IsTemporaryItemName), never a folder or
// a link, and nothing at all when `folder` or a folder above it (below its
// drive's root) is a link, so that nothing is removed elsewhere. Returns the
// names removed.
std::vector<std::string> RemoveLeftoverItemFiles(const std::string& folder);

// Removes whatever is at `path` (a file, a link, an empty folder) without
// following a link, creates the file anew, writes the item into it, checks
// its bytes, and returns the file still open: others may read it but
// neither change, rename nor delete it until the handle is closed. Throws as
// WritePayload does.
void* WriteHeldFile(const PayloadItem& item, const std::string& path);

// The whole content of a file held open by WriteHeldFile, read anew.
std::string ReadHeldFile(void* handle);

} // namespace tavix
