#include "engine/io/sha256_pair.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define KAVENDRUM_SHA_INSTRUCTIONS 1
#endif

namespace kavendrum {

namespace {

constexpr std::array<std::uint32_t, 8> kInitial = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                                   0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

alignas(16) constexpr std::uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::uint32_t Rotr(std::uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

std::uint32_t LoadBigEndian(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

void PortableBlock(std::uint32_t* state, const std::uint8_t* data) {
    std::uint32_t w[64];
    for (int t = 0; t < 16; ++t) {
        w[t] = LoadBigEndian(data + 4 * t);
    }
    for (int t = 16; t < 64; ++t) {
        const std::uint32_t s0 = Rotr(w[t - 15], 7) ^ Rotr(w[t - 15], 18) ^ (w[t - 15] >> 3);
        const std::uint32_t s1 = Rotr(w[t - 2], 17) ^ Rotr(w[t - 2], 19) ^ (w[t - 2] >> 10);
        w[t] = w[t - 16] + s0 + w[t - 7] + s1;
    }
    std::uint32_t v[8];
    std::copy(state, state + 8, v);
    for (int t = 0; t < 64; ++t) {
        const std::uint32_t s1 = Rotr(v[4], 6) ^ Rotr(v[4], 11) ^ Rotr(v[4], 25);
        const std::uint32_t choose = (v[4] & v[5]) ^ (~v[4] & v[6]);
        const std::uint32_t t1 = v[7] + s1 + choose + kRound[t] + w[t];
        const std::uint32_t s0 = Rotr(v[0], 2) ^ Rotr(v[0], 13) ^ Rotr(v[0], 22);
        const std::uint32_t majority = (v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]);
        std::copy_backward(v, v + 7, v + 8);
        v[4] += t1;
        v[0] = t1 + s0 + majority;
    }
    for (int i = 0; i < 8; ++i) {
        state[i] += v[i];
    }
}

void PortableOne(std::uint32_t* state, const std::uint8_t* data, std::size_t blocks) {
    for (std::size_t b = 0; b < blocks; ++b) {
        PortableBlock(state, data + 64 * b);
    }
}

void PortableTwo(std::uint32_t* first, const std::uint8_t* firstData, std::uint32_t* second,
                 const std::uint8_t* secondData, std::size_t blocks) {
    PortableOne(first, firstData, blocks);
    PortableOne(second, secondData, blocks);
}

#ifdef KAVENDRUM_SHA_INSTRUCTIONS

#define KAVENDRUM_SHA_TARGET __attribute__((target("sha,sse4.1,ssse3")))

// The state as the SHA instructions hold it: ABEF and CDGH.
struct ShaState {
    __m128i abef;
    __m128i cdgh;
};

KAVENDRUM_SHA_TARGET ShaState LoadState(const std::uint32_t* state) {
    const __m128i dcba =
        _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xB1);
    const __m128i efgh =
        _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1B);
    return {_mm_alignr_epi8(dcba, efgh, 8), _mm_blend_epi16(efgh, dcba, 0xF0)};
}

KAVENDRUM_SHA_TARGET void StoreState(const ShaState& s, std::uint32_t* state) {
    const __m128i feba = _mm_shuffle_epi32(s.abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(s.cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

// The four message words of round group `g` (16 groups of 4 rounds): the first four come from the
// block, the rest from the four before them.
KAVENDRUM_SHA_TARGET inline __m128i Schedule(__m128i* m, int g, const std::uint8_t* data) {
    if (g < 4) {
        const __m128i swap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
        m[g] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * g)),
                                swap);
    } else {
        const __m128i early = _mm_sha256msg1_epu32(m[g & 3], m[(g + 1) & 3]);
        const __m128i late = _mm_alignr_epi8(m[(g + 3) & 3], m[(g + 2) & 3], 4);
        m[g & 3] = _mm_sha256msg2_epu32(_mm_add_epi32(early, late), m[(g + 3) & 3]);
    }
    return m[g & 3];
}

KAVENDRUM_SHA_TARGET inline void Rounds(ShaState& s, __m128i words, int g) {
    __m128i k =
        _mm_add_epi32(words, _mm_load_si128(reinterpret_cast<const __m128i*>(kRound + 4 * g)));
    s.cdgh = _mm_sha256rnds2_epu32(s.cdgh, s.abef, k);
    k = _mm_shuffle_epi32(k, 0x0E);
    s.abef = _mm_sha256rnds2_epu32(s.abef, s.cdgh, k);
}

KAVENDRUM_SHA_TARGET void ShaOne(std::uint32_t* state, const std::uint8_t* data,
                                 std::size_t blocks) {
    ShaState s = LoadState(state);
    for (std::size_t b = 0; b < blocks; ++b, data += 64) {
        const ShaState start = s;
        __m128i m[4];
#pragma GCC unroll 16
        for (int g = 0; g < 16; ++g) {
            Rounds(s, Schedule(m, g, data), g);
        }
        s.abef = _mm_add_epi32(s.abef, start.abef);
        s.cdgh = _mm_add_epi32(s.cdgh, start.cdgh);
    }
    StoreState(s, state);
}

// Both chains' rounds side by side, so that each one's instructions fill the other's latency.
KAVENDRUM_SHA_TARGET void ShaTwo(std::uint32_t* first, const std::uint8_t* firstData,
                                 std::uint32_t* second, const std::uint8_t* secondData,
                                 std::size_t blocks) {
    ShaState a = LoadState(first);
    ShaState b = LoadState(second);
    for (std::size_t n = 0; n < blocks; ++n, firstData += 64, secondData += 64) {
        const ShaState startA = a;
        const ShaState startB = b;
        __m128i ma[4];
        __m128i mb[4];
#pragma GCC unroll 16
        for (int g = 0; g < 16; ++g) {
            const __m128i wordsA = Schedule(ma, g, firstData);
            const __m128i wordsB = Schedule(mb, g, secondData);
            Rounds(a, wordsA, g);
            Rounds(b, wordsB, g);
        }
        a.abef = _mm_add_epi32(a.abef, startA.abef);
        a.cdgh = _mm_add_epi32(a.cdgh, startA.cdgh);
        b.abef = _mm_add_epi32(b.abef, startB.abef);
        b.cdgh = _mm_add_epi32(b.cdgh, startB.cdgh);
    }
    StoreState(a, first);
    StoreState(b, second);
}

bool DetectShaInstructions() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0) {
        return false;
    }
    const bool sse = (c & bit_SSSE3) != 0 && (c & bit_SSE4_1) != 0;
    if (__get_cpuid_count(7, 0, &a, &b, &c, &d) == 0) {
        return false;
    }
    return sse && (b & bit_SHA) != 0;
}

// Asked once: in a virtual machine every question to the processor leaves it for the host.
bool HasShaInstructions() {
    static const bool has = DetectShaInstructions();
    return has;
}

#else

bool HasShaInstructions() {
    return false;
}

#endif

}  // namespace

bool Sha256Pair::Interleaves() {
    return HasShaInstructions();
}

Sha256Pair::Sha256Pair(bool portable) : m_one(PortableOne), m_two(PortableTwo) {
#ifdef KAVENDRUM_SHA_INSTRUCTIONS
    if (!portable && HasShaInstructions()) {
        m_one = ShaOne;
        m_two = ShaTwo;
    }
#else
    (void)portable;
#endif
    for (Chain& chain : m_chains) {
        chain.Start();
    }
}

void Sha256Pair::Chain::Start() {
    state = kInitial;
    length = 0;
    tailSize = 0;
}

void Sha256Pair::Update(const void* first, std::size_t firstSize, const void* second,
                        std::size_t secondSize) {
    std::array<const std::uint8_t*, 2> at{static_cast<const std::uint8_t*>(first),
                                          static_cast<const std::uint8_t*>(second)};
    std::array<std::size_t, 2> left{firstSize, secondSize};
    for (int lane = 0; lane < 2; ++lane) {
        m_chains[lane].length += left[lane];
        FillTail(m_chains[lane], at[lane], left[lane]);
    }
    // The whole blocks both lanes have go through together; the longer lane's rest alone.
    const std::size_t together = std::min(left[0], left[1]) / 64;
    m_two(m_chains[0].state.data(), at[0], m_chains[1].state.data(), at[1], together);
    for (int lane = 0; lane < 2; ++lane) {
        at[lane] += 64 * together;
        left[lane] -= 64 * together;
        const std::size_t alone = left[lane] / 64;
        m_one(m_chains[lane].state.data(), at[lane], alone);
        at[lane] += 64 * alone;
        left[lane] -= 64 * alone;
        // A tail that is still being topped up has taken every byte already.
        if (m_chains[lane].tailSize == 0 && left[lane] > 0) {
            std::memcpy(m_chains[lane].tail.data(), at[lane], left[lane]);
            m_chains[lane].tailSize = left[lane];
        }
    }
}

// Tops up a partly filled block and compresses it once it is whole.
void Sha256Pair::FillTail(Chain& chain, const std::uint8_t*& data, std::size_t& size) {
    if (chain.tailSize == 0) {
        return;
    }
    const std::size_t part = std::min(size, 64 - chain.tailSize);
    std::memcpy(chain.tail.data() + chain.tailSize, data, part);
    chain.tailSize += part;
    data += part;
    size -= part;
    if (chain.tailSize == 64) {
        m_one(chain.state.data(), chain.tail.data(), 1);
        chain.tailSize = 0;
    }
}

Sha256Digest Sha256Pair::Finish(Lane lane) {
    Chain& chain = m_chains[lane];
    std::array<std::uint8_t, 128> last{};
    std::memcpy(last.data(), chain.tail.data(), chain.tailSize);
    last[chain.tailSize] = 0x80;
    const std::size_t blocks = chain.tailSize < 56 ? 1 : 2;
    const std::uint64_t bits = chain.length * 8;
    for (int i = 0; i < 8; ++i) {
        last[64 * blocks - 1 - i] = static_cast<std::uint8_t>(bits >> (8 * i));
    }
    m_one(chain.state.data(), last.data(), blocks);
    Sha256Digest digest{};
    for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 4; ++j) {
            digest[4 * i + j] = static_cast<std::uint8_t>(chain.state[i] >> (24 - 8 * j));
        }
    }
    chain.Start();
    return digest;
}

}  // namespace kavendrum
