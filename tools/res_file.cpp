#include "res_file.h"

namespace tavix {

void Put16(std::string& out, unsigned v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

namespace {

void PutId(std::string& out, const ResId& id) {
    if (id.name.empty()) {
        Put16(out, 0xFFFF);
        Put16(out, id.number);
        return;
    }
    for (char c : id.name) Put16(out, static_cast<unsigned char>(c));
    Put16(out, 0);
}

} // namespace

std::string ResFileStart() { return ResEntryHeader(ResId::Number(0), ResId::Number(0), 0, 0, 0); }

std::string ResEntryHeader(const ResId& type, const ResId& name, std::uint16_t language, std::uint32_t dataSize,
                           std::uint16_t memoryFlags) {
    std::string h;
    Put32(h, dataSize);
    Put32(h, 0);  // the header's size, set below
    PutId(h, type);
    PutId(h, name);
    while (h.size() % 4) h += '\0';
    Put32(h, 0);  // data version
    Put16(h, memoryFlags);
    Put16(h, language);
    Put32(h, 0);  // version
    Put32(h, 0);  // characteristics
    std::uint32_t size = static_cast<std::uint32_t>(h.size());
    for (int i = 0; i < 4; ++i) h[4 + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
    return h;
}

} // namespace tavix
