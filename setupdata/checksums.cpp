#include "checksums.h"

#include <cstdio>

#include "gbk.h"
#include "payload_blocks.h"

namespace tavix {
namespace {

bool IsFieldByte(char c) { return c > ' ' && c < 0x7F; }

// A field of `line` from `at` up to the next space or the end; false when it
// is empty or holds a byte other than visible ASCII.
bool TakeField(std::string_view line, std::size_t& at, std::string_view& field) {
    if (at > line.size()) return false;
    std::size_t end = line.find(' ', at);
    if (end == std::string_view::npos) end = line.size();
    field = line.substr(at, end - at);
    at = end + 1;
    if (field.empty()) return false;
    for (char c : field)
        if (!IsFieldByte(c)) return false;
    return true;
}

bool ParseHex32(std::string_view s, std::uint32_t& out) {
    if (s.size() != 8) return false;
    out = 0;
    for (char c : s) {
        unsigned digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else return false;
        out = out << 4 | digit;
    }
    return true;
}

bool ParseDecimal32(std::string_view s, std::uint32_t& out) {
    if (s.empty() || s.size() > 10) return false;
    std::uint64_t n = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + static_cast<unsigned>(c - '0');
    }
    if (n > 0xFFFFFFFFu) return false;
    out = static_cast<std::uint32_t>(n);
    return true;
}

bool ParseDecimal64(std::string_view s, std::uint64_t& out) {
    if (s.empty() || s.size() > 19) return false;
    out = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        out = out * 10 + static_cast<unsigned>(c - '0');
    }
    return true;
}

bool ParseLine(std::string_view line, ItemChecksum& out) {
    std::size_t at = 0;
    std::string_view name, type, crc, size, block, offset;
    if (!TakeField(line, at, name) || !TakeField(line, at, type) || !TakeField(line, at, crc) ||
        !TakeField(line, at, size))
        return false;
    if (!ParseHex32(crc, out.crc32) || !ParseDecimal32(size, out.size)) return false;
    if (at <= line.size()) {  // the place in a block, and nothing after it
        std::uint32_t id = 0;
        if (!TakeField(line, at, block) || !TakeField(line, at, offset) || at <= line.size() ||
            !ParseDecimal32(block, id) || id < kFirstBlockId || id > kLastBlockId || !ParseDecimal64(offset, out.offset))
            return false;
        out.block = id;
    }
    out.name = AsciiUpper(name);
    out.type = AsciiUpper(type);
    return true;
}

} // namespace

const ItemChecksum* ChecksumTable::Find(std::string_view type, std::string_view name) const {
    for (const ItemChecksum& item : items)
        if (EqualsIgnoreAsciiCase(item.type, type) && EqualsIgnoreAsciiCase(item.name, name)) return &item;
    return nullptr;
}

std::string FormatChecksumTable(const std::vector<ItemChecksum>& items) {
    std::string text;
    for (const ItemChecksum& item : items) {
        char numbers[32];
        std::snprintf(numbers, sizeof numbers, " %08x %lu", static_cast<unsigned>(item.crc32),
                      static_cast<unsigned long>(item.size));
        text += AsciiUpper(item.name) + " " + AsciiUpper(item.type) + numbers;
        if (item.block) text += " " + std::to_string(item.block) + " " + std::to_string(item.offset);
        text += "\r\n";
    }
    return text;
}

ChecksumTable ParseChecksumTable(std::string_view text) {
    ChecksumTable table;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        ItemChecksum item;
        if (ParseLine(line, item)) table.items.push_back(std::move(item));
        else ++table.damagedLines;
        start = next;
    }
    return table;
}

} // namespace tavix
