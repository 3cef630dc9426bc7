#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "setupdata/crc32.h"

using namespace tavix;

namespace {

// The definition, one bit at a time.
std::uint32_t BitwiseCrc(std::uint32_t crc, const unsigned char* p, std::size_t n) {
    crc = ~crc;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int b = 0; b < 8; ++b) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

std::vector<unsigned char> Noise(std::size_t n, std::uint32_t seed) {
    std::vector<unsigned char> v(n);
    for (auto& b : v) {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<unsigned char>(seed >> 24);
    }
    return v;
}

TEST(Crc32, PublishedCheckValues) {
    // The check value of CRC-32/ISO-HDLC, and two values zlib's documentation and tests use.
    EXPECT_EQ(Crc32("123456789"), 0xCBF43926u);
    EXPECT_EQ(Crc32(""), 0u);
    EXPECT_EQ(Crc32("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
    EXPECT_EQ(Crc32(std::string(32, '\0')), 0x190A55ADu);
}

// Every length up to a few folding blocks, at every alignment, from several
// starting values: both ways agree with the definition.
TEST(Crc32, BothWaysMatchTheDefinition) {
    const std::vector<unsigned char> data = Noise(400, 7);
    for (std::uint32_t start : {0u, 1u, 0xFFFFFFFFu, 0x12345678u}) {
        for (std::size_t offset = 0; offset < 16; ++offset) {
            for (std::size_t n = 0; offset + n <= 300; ++n) {
                const unsigned char* p = data.data() + offset;
                std::uint32_t want = BitwiseCrc(start, p, n);
                ASSERT_EQ(Crc32(start, p, n), want) << "offset " << offset << " length " << n;
                ASSERT_EQ(Crc32ByTables(start, p, n), want) << "offset " << offset << " length " << n;
            }
        }
    }
}

TEST(Crc32, PiecesGiveTheWholeCrc) {
    const std::vector<unsigned char> data = Noise(1 << 20, 3);
    const std::uint32_t whole = BitwiseCrc(0, data.data(), data.size());
    EXPECT_EQ(Crc32(0, data.data(), data.size()), whole);
    EXPECT_EQ(Crc32ByTables(0, data.data(), data.size()), whole);
    for (std::size_t cut : {std::size_t{1}, std::size_t{63}, std::size_t{64}, std::size_t{65}, std::size_t{4097},
                            data.size() / 2 + 5, data.size() - 1}) {
        std::uint32_t crc = Crc32(0, data.data(), cut);
        EXPECT_EQ(Crc32(crc, data.data() + cut, data.size() - cut), whole) << cut;
    }
    // Uneven pieces, as a writer hands them over.
    std::uint32_t crc = 0;
    std::size_t at = 0, step = 1;
    while (at < data.size()) {
        std::size_t n = std::min(step, data.size() - at);
        crc = Crc32(crc, data.data() + at, n);
        at += n;
        step = step * 3 + 7;
    }
    EXPECT_EQ(crc, whole);
}

TEST(Crc32, OneChangedBitChangesIt) {
    std::vector<unsigned char> data = Noise(5000, 11);
    const std::uint32_t before = Crc32(0, data.data(), data.size());
    for (std::size_t at : {std::size_t{0}, std::size_t{17}, std::size_t{2500}, std::size_t{4999}}) {
        data[at] ^= 0x10;
        EXPECT_NE(Crc32(0, data.data(), data.size()), before) << at;
        data[at] ^= 0x10;
    }
}

} // namespace
