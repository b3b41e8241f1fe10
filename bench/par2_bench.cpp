// The recovery coding loop's speed: bytes multiplied per second on one core for each kernel
// this processor can run, first with both slices in the first-level cache (the loop's own
// limit), then as the encoder runs it over whole slices (batches of inputs into many outputs).
// Times are the thread's processor time.
//   par2_bench [--quick]

#include <time.h>

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

// The encoder's shape on one thread: 64 input slices of 512 KiB into 24 outputs.
double WholeSlices(GfKernel kernel, int rounds) {
    const std::size_t slice = 512 << 10;
    const std::size_t inputs = 64;
    const std::size_t outputs = 24;
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
    const auto start = Clock::now();
    for (int round = 0; round < rounds; ++round) {
        combiner.Add(pointers, [](std::size_t out, std::size_t in) {
            return static_cast<std::uint16_t>(out * 977 + in * 31 + 2);
        });
    }
    return static_cast<double>(rounds) * inputs * outputs * slice / Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    std::printf("%-10s %22s %22s\n", "kernel", "in cache, GB/s/core", "whole slices, GB/s/core");
    for (const GfKernel kernel : AvailableKernels()) {
        const double cached = InCache(kernel, quick ? 0.05 : 1.0);
        const double whole = WholeSlices(kernel, kernel == GfKernel::Portable || quick ? 1 : 4);
        std::printf("%-10s %22.2f %22.2f\n", KernelName(kernel).c_str(), cached / 1e9, whole / 1e9);
    }
    return 0;
}
