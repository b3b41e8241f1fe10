#include "engine/par2/gf16.h"

#include <array>
#include <vector>

namespace kavendrum::par2 {

namespace {

constexpr std::uint32_t kGenerator = 0x1100B;
constexpr std::uint32_t kOrder = 65535;

// Logarithm and power tables, built once on first use and never changed after.
struct Tables {
    std::vector<std::uint16_t> power = std::vector<std::uint16_t>(2 * kOrder);
    std::vector<std::uint32_t> log = std::vector<std::uint32_t>(65536);
    std::vector<std::uint32_t> constantLog;

    Tables() {
        std::uint32_t value = 1;
        for (std::uint32_t n = 0; n < kOrder; ++n) {
            power[n] = static_cast<std::uint16_t>(value);
            power[n + kOrder] = static_cast<std::uint16_t>(value);
            log[value] = n;
            value <<= 1;
            if (value & 0x10000) {
                value ^= kGenerator;
            }
        }
        constantLog.reserve(kMaxInputSlices);
        for (std::uint32_t n = 1; constantLog.size() < kMaxInputSlices; ++n) {
            if (n % 3 != 0 && n % 5 != 0 && n % 17 != 0 && n % 257 != 0) {
                constantLog.push_back(n);
            }
        }
    }
};

const Tables& TheTables() {
    static const Tables tables;
    return tables;
}

}  // namespace

std::uint16_t Gf16::Multiply(std::uint16_t a, std::uint16_t b) {
    if (a == 0 || b == 0) {
        return 0;
    }
    const Tables& t = TheTables();
    return t.power[t.log[a] + t.log[b]];
}

std::uint16_t Gf16::Divide(std::uint16_t a, std::uint16_t b) {
    if (a == 0 || b == 0) {
        return 0;
    }
    const Tables& t = TheTables();
    return t.power[t.log[a] + kOrder - t.log[b]];
}

std::uint16_t Gf16::PowerOfTwo(std::uint64_t exponent) {
    return TheTables().power[exponent % kOrder];
}

std::uint32_t Gf16::Log(std::uint16_t a) {
    return TheTables().log[a];
}

std::uint16_t Gf16::Power(std::uint16_t base, std::uint32_t exponent) {
    if (exponent == 0) {
        return 1;
    }
    if (base == 0) {
        return 0;
    }
    return PowerOfTwo(static_cast<std::uint64_t>(Log(base)) * exponent);
}

std::uint32_t InputConstantLog(std::uint32_t index) {
    return TheTables().constantLog[index % kMaxInputSlices];
}

std::uint16_t CodingFactor(std::uint32_t index, std::uint32_t exponent) {
    return Gf16::PowerOfTwo(static_cast<std::uint64_t>(InputConstantLog(index)) * exponent);
}

}  // namespace kavendrum::par2
