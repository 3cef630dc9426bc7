// The checksum table reader: any text reads without a fault, every line
// counts once (read or damaged), and what it reads writes back to lines it
// reads the same way.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "setupdata/checksums.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    tavix::ChecksumTable t = tavix::ParseChecksumTable(text);
    std::size_t lines = 0;
    for (std::size_t at = 0; at < text.size(); ++lines) {
        std::size_t end = text.find('\n', at);
        at = end == std::string::npos ? text.size() : end + 1;
    }
    if (t.items.size() + t.damagedLines != lines) std::abort();
    tavix::ChecksumTable again = tavix::ParseChecksumTable(tavix::FormatChecksumTable(t.items));
    if (again.damagedLines != 0 || again.items.size() != t.items.size()) std::abort();
    for (std::size_t i = 0; i < t.items.size(); ++i) {
        const tavix::ItemChecksum &a = t.items[i], &b = again.items[i];
        if (a.name != b.name || a.type != b.type || a.crc32 != b.crc32 || a.size != b.size) std::abort();
    }
    return 0;
}
