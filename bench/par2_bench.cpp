// The recovery coding loop's speed: bytes multiplied per second on one core for each kernel
// this processor can run: the processor's limit for the kernel (its one costly instruction,
// back to back in registers, as often as a block needs it), then one source at a time and many
// sources at once with everything in the first-level cache, then as the encoder runs it over
// whole slices (batches of inputs into many outputs). Times are the thread's processor time.
//   par2_bench [--quick]

#include <time.h>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define BENCH_X86 1
#endif

#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/par2/gf16_kernels.h"
#include "engine/par2/slice_combiner.h"

namespace {

using namespace kavendrum::par2;
// The processor time of this thread: on a machine shared with other work, the wall clock would
// measure the other work too.
struct Clock {
    using time_point = double;
    static double now() {
        timespec at{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &at);
        return static_cast<double>(at.tv_sec) + at.tv_nsec / 1e9;
    }
};

double Seconds(Clock::time_point since) {
    return Clock::now() - since;
}

// dst ^= c * src over 16 KiB, repeated: the loop with nothing but the loop in its way.
double InCache(GfKernel kernel, double seconds) {
    const std::size_t bytes = 16 << 10;
    std::vector<std::uint8_t> src(bytes, 0x5A);
    std::vector<std::uint8_t> dst(bytes, 0xA5);
    std::uint64_t done = 0;
    const auto start = Clock::now();
    std::uint16_t factor = 3;
    while (Seconds(start) < seconds) {
        const GfMultiplier multiplier(kernel, factor++);
        for (int i = 0; i < 256; ++i) {
            multiplier.MulAdd(dst.data(), src.data(), bytes / kGfBlockBytes);
        }
        done += 256 * bytes;
    }
    return done / Seconds(start);
}

// dst ^= the sum of 64 sources times factors, over 8 blocks each (32 KiB of sources): the
// multi-source kernel with nothing but itself in its way.
double ManyInCache(GfKernel kernel, double seconds) {
    const std::size_t sources = 64;
    const std::size_t blocks = 8;
    std::vector<std::vector<std::uint8_t>> src(
        sources, std::vector<std::uint8_t>(blocks * kGfBlockBytes, 7));
    std::vector<const std::uint8_t*> pointers;
    std::vector<GfMultiplier> multipliers;
    for (std::size_t i = 0; i < sources; ++i) {
        pointers.push_back(src[i].data());
        multipliers.emplace_back(kernel, static_cast<std::uint16_t>(i * 31 + 2));
    }
    std::vector<std::uint8_t> dst(blocks * kGfBlockBytes, 0xA5);
    std::uint64_t done = 0;
    const auto start = Clock::now();
    while (Seconds(start) < seconds) {
        for (int i = 0; i < 256; ++i) {
            MulAddMany(dst.data(), pointers.data(), multipliers.data(), sources, blocks);
        }
        done += 256 * sources * blocks * kGfBlockBytes;
    }
    return done / Seconds(start);
}

#if BENCH_X86
// The processor's limit: eight independent chains of the kernel's costly instruction, counted
// as the bytes it serves (GFNI: 2 bit-matrix products a 64-byte block; byte shuffles: 4 of 64
// bytes, 8 of 32, 16 of 16). Each chain's last value is kept, so none is optimised away.
#define BENCH_LIMIT(name, isa, Vector, init, step, bytesPerStep)                               \
    __attribute__((target(isa))) double name(double seconds) {                                 \
        Vector a0 = init, a1 = init, a2 = init, a3 = init;                                     \
        Vector a4 = init, a5 = init, a6 = init, a7 = init;                                     \
        std::uint64_t steps = 0;                                                               \
        const auto start = Clock::now();                                                       \
        while (Seconds(start) < seconds) {                                                     \
            for (int i = 0; i < 4096; ++i) {                                                   \
                a0 = step(a0), a1 = step(a1), a2 = step(a2), a3 = step(a3);                    \
                a4 = step(a4), a5 = step(a5), a6 = step(a6), a7 = step(a7);                    \
                __asm__ volatile(""                                                            \
                                 : "+v"(a0), "+v"(a1), "+v"(a2), "+v"(a3), "+v"(a4), "+v"(a5), \
                                   "+v"(a6), "+v"(a7));                                        \
            }                                                                                  \
            steps += 4096 * 8;                                                                 \
        }                                                                                      \
        return steps * (bytesPerStep) / Seconds(start);                                        \
    }

#define SSSE3_STEP(a) _mm_shuffle_epi8(_mm_set1_epi8(3), a)
#define AVX2_STEP(a) _mm256_shuffle_epi8(_mm256_set1_epi8(3), a)
#define AVX512_STEP(a) _mm512_shuffle_epi8(_mm512_set1_epi8(3), a)
#define GFNI_STEP(a) _mm512_gf2p8affine_epi64_epi8(a, _mm512_set1_epi64(0x0102040810204080LL), 1)
BENCH_LIMIT(Ssse3Limit, "ssse3", __m128i, _mm_set1_epi8(1), SSSE3_STEP, 64.0 / 16)
BENCH_LIMIT(Avx2Limit, "avx2", __m256i, _mm256_set1_epi8(1), AVX2_STEP, 64.0 / 8)
BENCH_LIMIT(Avx512Limit, "avx512f,avx512bw", __m512i, _mm512_set1_epi8(1), AVX512_STEP, 64.0 / 4)
BENCH_LIMIT(GfniLimit, "avx512f,avx512bw,gfni", __m512i, _mm512_set1_epi8(1), GFNI_STEP, 64.0 / 2)
#undef BENCH_LIMIT
#endif

// 0 where there is no single costly instruction (the portable kernel's table lookups).
double Limit(GfKernel kernel, double seconds) {
#if BENCH_X86
    switch (kernel) {
        case GfKernel::Ssse3:
            return Ssse3Limit(seconds);
        case GfKernel::Avx2:
            return Avx2Limit(seconds);
        case GfKernel::Avx512:
            return Avx512Limit(seconds);
        case GfKernel::Gfni:
            return GfniLimit(seconds);
        default:
            break;
    }
#endif
    (void)kernel;
    (void)seconds;
    return 0;
}

// The encoder's shape on one thread: 64 input slices of 512 KiB into `outputs` outputs (206 is
// what recovery for 10% of 1024 pieces takes).
double WholeSlices(GfKernel kernel, int rounds, std::size_t outputs) {
    const std::size_t slice = 512 << 10;
    const std::size_t inputs = 64;
    std::vector<std::vector<std::uint8_t>> data(inputs, std::vector<std::uint8_t>(slice));
    std::mt19937 random(1);
    for (auto& input : data) {
        for (auto& byte : input) {
            byte = static_cast<std::uint8_t>(random());
        }
    }
    std::vector<const std::uint8_t*> pointers;
    for (const auto& input : data) {
        pointers.push_back(input.data());
    }
    SliceCombiner combiner(outputs, slice, 1, kernel);
    const auto factor = [](std::size_t out, std::size_t in) {
        return static_cast<std::uint16_t>(out * 977 + in * 31 + 2);
    };
    combiner.Add(pointers, factor);  // the outputs' pages are touched first outside the timing
    const auto start = Clock::now();
    for (int round = 0; round < rounds; ++round) {
        combiner.Add(pointers, factor);
    }
    return static_cast<double>(rounds) * inputs * outputs * slice / Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const double seconds = quick ? 0.05 : 1.0;
    std::printf("GB/s per core     %10s %14s %14s %14s %9s %12s %9s\n", "limit", "one source",
                "64 sources", "whole slices", "of limit", "206 outputs", "of limit");
    for (const GfKernel kernel : AvailableKernels()) {
        const double limit = Limit(kernel, seconds);
        const double one = InCache(kernel, seconds);
        const double many = ManyInCache(kernel, seconds);
        const bool slow = kernel == GfKernel::Portable || quick;
        const double whole = WholeSlices(kernel, slow ? 1 : 4, 24);
        const double wide = slow ? 0 : WholeSlices(kernel, 1, 206);
        const auto share = [limit](double rate) { return limit > 0 ? 100 * rate / limit : 0; };
        std::printf("%-17s %10.2f %14.2f %14.2f %14.2f %8.0f%% %12.2f %8.0f%%\n",
                    KernelName(kernel).c_str(), limit / 1e9, one / 1e9, many / 1e9, whole / 1e9,
                    share(whole), wide / 1e9, share(wide));
    }
    return 0;
}
