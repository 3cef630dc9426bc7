// Headers of the binary resource file the release builder writes.
#include <gtest/gtest.h>

#include <string>

#include "tools/res_file.h"

using namespace tavix;

namespace {

std::string Bytes(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s += static_cast<char>(b);
    return s;
}

unsigned U16(const std::string& d, std::size_t at) {
    return static_cast<unsigned char>(d[at]) | static_cast<unsigned char>(d[at + 1]) << 8;
}
std::uint32_t U32(const std::string& d, std::size_t at) { return U16(d, at) | U16(d, at + 2) << 16; }

TEST(ResEntryHeader, AsTheResourceCompilerWritesIt) {
    // The header windres writes for "FILEEXE EXENAME" (LANGUAGE 4, 2) with 16384 bytes of data.
    const std::string windres = Bytes({
        0x00, 0x40, 0x00, 0x00, 0x38, 0x00, 0x00, 0x00,                                // data size, header size
        'E', 0, 'X', 0, 'E', 0, 'N', 0, 'A', 0, 'M', 0, 'E', 0, 0, 0,                  // type
        'F', 0, 'I', 0, 'L', 0, 'E', 0, 'E', 0, 'X', 0, 'E', 0, 0, 0,                  // name
        0, 0, 0, 0, 0x30, 0x10, 0x04, 0x08, 0, 0, 0, 0, 0, 0, 0, 0});                  // version, flags, language, ...
    EXPECT_EQ(ResEntryHeader(ResId::Name("EXENAME"), ResId::Name("FILEEXE"), 2052, 16384), windres);
    // The empty entry every file starts with.
    EXPECT_EQ(ResFileStart(), Bytes({0, 0, 0, 0, 0x20, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0,
                                     0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

// Numbers and strings of every length: the fixed part starts at a four-byte
// boundary and the header size covers it.
TEST(ResEntryHeader, IdentifiersAndPadding) {
    struct Case { ResId type, name; std::size_t idBytes; };
    const Case cases[] = {
        {ResId::Number(16), ResId::Number(1), 8},
        {ResId::Number(10), ResId::Number(7001), 8},
        {ResId::Name("A"), ResId::Number(1), 4 + 4},
        {ResId::Name("AB"), ResId::Number(1), 6 + 4},
        {ResId::Name("__LINE__"), ResId::Name("RCDATA"), 18 + 14},
        {ResId::Name("X"), ResId::Name("YZ"), 4 + 6},
    };
    for (const Case& c : cases) {
        std::string h = ResEntryHeader(c.type, c.name, 2052, 5);
        const std::size_t fixed = (8 + c.idBytes + 3) / 4 * 4;
        ASSERT_EQ(h.size(), fixed + 16) << c.type.name << "/" << c.name.name;
        EXPECT_EQ(U32(h, 0), 5u);
        EXPECT_EQ(U32(h, 4), h.size());
        EXPECT_EQ(U16(h, fixed + 6), 2052u);
        if (c.type.name.empty()) {
            EXPECT_EQ(U16(h, 8), 0xFFFFu);
            EXPECT_EQ(U16(h, 10), c.type.number);
        } else {
            for (std::size_t i = 0; i < c.type.name.size(); ++i)
                EXPECT_EQ(U16(h, 8 + 2 * i), static_cast<unsigned>(c.type.name[i]));
            EXPECT_EQ(U16(h, 8 + 2 * c.type.name.size()), 0u);
        }
        for (std::size_t i = 8 + c.idBytes; i < fixed; ++i) EXPECT_EQ(h[i], '\0');
    }
}

TEST(ResPadding, DataEndsAtAFourByteBoundary) {
    const std::pair<std::uint64_t, std::size_t> cases[] = {{0, 0}, {1, 3}, {2, 2}, {3, 1}, {4, 0}, {27704321, 3}};
    for (const auto& [size, pad] : cases) EXPECT_EQ(ResPadding(size), pad) << size;
}

} // namespace
