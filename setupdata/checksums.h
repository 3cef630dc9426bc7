// The checksum table: the CRC-32 and size of every payload item, written by
// the release builder into the setup and read by the setup to check each
// item's bytes.
//
// It is a resource of numeric type RT_RCDATA (10) and numeric ID
// kChecksumTableId, language 2052 like the items (whose names and types are
// always strings, so no item can take its place). Its content is ASCII text,
// one line per manifest item in manifest order:
//
//   "<NAME> <TYPE> <crc32: 8 lower-case hex digits> <size in decimal>\r\n"
//
// NAME and TYPE upper-cased exactly as the item's resource is named, e.g.
// "FILEEXE EXENAME 0a1b2c3d 1486848\r\n". The CRC-32 and size are those of
// the item's own bytes, also when they travel compressed. An item that lies
// in a compressed block (setupdata/payload_blocks.h) has two more fields,
// the block's resource ID and where in the block's decoded bytes it begins:
//
//   "<NAME> <TYPE> <crc32> <size> <block ID> <offset>\r\n"
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavix {

constexpr unsigned kChecksumTableType = 10;  // RT_RCDATA
constexpr unsigned kChecksumTableId = 7001;
constexpr unsigned kChecksumTableLanguage = 2052;

struct ItemChecksum {
    std::string name;  // upper case, as the resource is named
    std::string type;
    std::uint32_t crc32 = 0;
    std::uint32_t size = 0;  // a resource holds at most 4 GB - 1 bytes
    unsigned block = 0;           // the block's resource ID; 0: a resource of its own
    std::uint64_t offset = 0;     // in the block's decoded bytes
};

struct ChecksumTable {
    std::vector<ItemChecksum> items;  // the well-formed lines, in their order
    std::size_t damagedLines = 0;     // lines that did not parse and were left out

    // The entry of an item (ASCII case ignored), the first when there are
    // several; null when the table has none.
    const ItemChecksum* Find(std::string_view type, std::string_view name) const;
};

// The table's text; names and types are upper-cased here.
std::string FormatChecksumTable(const std::vector<ItemChecksum>& items);

// Reads a table's text. Never fails: a damaged table yields every line that
// is still well formed (lines end at LF, with or without CR before it; a last
// line without one counts), and counts the others.
ChecksumTable ParseChecksumTable(std::string_view text);

} // namespace tavix
