#include "crc32.h"

#include <array>

#if (defined(__i386__) || defined(__x86_64__)) && (defined(__GNUC__) || defined(__clang__))
#define TAVIX_CRC32_FOLD 1
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace tavix {
namespace {

using Table = std::array<std::array<std::uint32_t, 256>, 8>;

// t[0] is the byte-at-a-time table; t[k][b] is the CRC of byte b followed by
// k zero bytes, so eight lookups advance the CRC by eight bytes.
constexpr Table MakeTables() {
    Table t{};
    for (std::uint32_t b = 0; b < 256; ++b) {
        std::uint32_t c = b;
        for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        t[0][b] = c;
    }
    for (std::size_t k = 1; k < 8; ++k)
        for (std::size_t b = 0; b < 256; ++b) t[k][b] = (t[k - 1][b] >> 8) ^ t[0][t[k - 1][b] & 0xFF];
    return t;
}

constexpr Table kTables = MakeTables();

inline std::uint32_t Load32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// The register form (inverted) of the CRC over the bytes, eight at a time.
std::uint32_t TableRun(std::uint32_t crc, const unsigned char* p, std::size_t size) {
    const auto& t = kTables;
    for (; size >= 8; size -= 8, p += 8) {
        std::uint32_t one = crc ^ Load32(p);
        std::uint32_t two = Load32(p + 4);
        crc = t[7][one & 0xFF] ^ t[6][(one >> 8) & 0xFF] ^ t[5][(one >> 16) & 0xFF] ^ t[4][one >> 24] ^
              t[3][two & 0xFF] ^ t[2][(two >> 8) & 0xFF] ^ t[1][(two >> 16) & 0xFF] ^ t[0][two >> 24];
    }
    for (; size > 0; --size, ++p) crc = (crc >> 8) ^ t[0][(crc ^ *p) & 0xFF];
    return crc;
}

#ifdef TAVIX_CRC32_FOLD

// Folding with carry-less multiplication, after Gopal et al., "Fast CRC
// computation for generic polynomials using PCLMULQDQ" (Intel, 2009), in the
// bit-reflected domain. Constants: x^(4*128+32) and x^(4*128-32) mod P (fold
// four lanes by 64 bytes), x^(128+32) and x^(128-32) mod P (fold by 16 bytes),
// x^64 mod P, and P and floor(x^64 / P) for the Barrett reduction; each
// reflected and shifted left by one.
alignas(16) const std::uint64_t kFold4[2] = {0x0154442bd4, 0x01c6e41596};
alignas(16) const std::uint64_t kFold1[2] = {0x01751997d0, 0x00ccaa009e};
alignas(16) const std::uint64_t kFold64[2] = {0x0163cd6124, 0};
alignas(16) const std::uint64_t kBarrett[2] = {0x01db710641, 0x01f7011641};

#define TAVIX_FOLD_TARGET __attribute__((target("pclmul,sse4.1")))

// One lane folded over 128 bits and the next 16 bytes added.
TAVIX_FOLD_TARGET inline __m128i FoldInto(__m128i lane, __m128i k, __m128i next) {
    __m128i low = _mm_clmulepi64_si128(lane, k, 0x00);
    __m128i high = _mm_clmulepi64_si128(lane, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(high, low), next);
}

// The register form of the CRC over `size` bytes, `size` a multiple of 16
// and at least 64.
TAVIX_FOLD_TARGET std::uint32_t FoldRun(std::uint32_t crc, const unsigned char* p, std::size_t size) {
    const __m128i* in = reinterpret_cast<const __m128i*>(p);
    __m128i a = _mm_xor_si128(_mm_loadu_si128(in), _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i b = _mm_loadu_si128(in + 1);
    __m128i c = _mm_loadu_si128(in + 2);
    __m128i d = _mm_loadu_si128(in + 3);
    in += 4;
    size -= 64;

    __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(kFold4));
    for (; size >= 64; size -= 64, in += 4) {
        a = FoldInto(a, k, _mm_loadu_si128(in));
        b = FoldInto(b, k, _mm_loadu_si128(in + 1));
        c = FoldInto(c, k, _mm_loadu_si128(in + 2));
        d = FoldInto(d, k, _mm_loadu_si128(in + 3));
    }

    // Four lanes into one, then the remaining 16-byte blocks.
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(kFold1));
    a = FoldInto(a, k, b);
    a = FoldInto(a, k, c);
    a = FoldInto(a, k, d);
    for (; size >= 16; size -= 16, ++in) a = FoldInto(a, k, _mm_loadu_si128(in));

    // 128 bits to 64.
    const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
    a = _mm_xor_si128(_mm_srli_si128(a, 8), _mm_clmulepi64_si128(a, k, 0x10));
    k = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kFold64));
    a = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(a, low32), k, 0x00), _mm_srli_si128(a, 4));

    // Barrett reduction to 32 bits.
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(kBarrett));
    __m128i q = _mm_clmulepi64_si128(_mm_and_si128(a, low32), k, 0x10);
    q = _mm_clmulepi64_si128(_mm_and_si128(q, low32), k, 0x00);
    return static_cast<std::uint32_t>(_mm_extract_epi32(_mm_xor_si128(a, q), 1));
}

bool DetectFolding() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    return (ecx & bit_PCLMUL) && (ecx & bit_SSE4_1);
}

const bool kFolds = DetectFolding();

#else

const bool kFolds = false;

#endif

} // namespace

std::uint32_t Crc32ByTables(std::uint32_t crc, const void* data, std::size_t size) {
    return ~TableRun(~crc, static_cast<const unsigned char*>(data), size);
}

std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t size) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    crc = ~crc;
#ifdef TAVIX_CRC32_FOLD
    if (kFolds && size >= 64) {
        std::size_t blocks = size & ~static_cast<std::size_t>(15);
        crc = FoldRun(crc, p, blocks);
        p += blocks;
        size -= blocks;
    }
#endif
    return ~TableRun(crc, p, size);
}

bool Crc32Folds() { return kFolds; }

} // namespace tavix
