#pragma once

#include <cstdint>

namespace kavendrum::par2 {

// Arithmetic in the field of 65536 elements that recovery files compute in: polynomials over
// GF(2) modulo x^16 + x^12 + x^3 + x + 1 (0x1100B). Addition is XOR.
class Gf16 {
  public:
    static std::uint16_t Multiply(std::uint16_t a, std::uint16_t b);
    static std::uint16_t Divide(std::uint16_t a, std::uint16_t b);  // b must not be 0
    static std::uint16_t Inverse(std::uint16_t a) { return Divide(1, a); }
    // 2 raised to `exponent` (taken modulo 65535, the order of the multiplicative group).
    static std::uint16_t PowerOfTwo(std::uint64_t exponent);
    // The logarithm to base 2; a must not be 0.
    static std::uint32_t Log(std::uint16_t a);
    static std::uint16_t Power(std::uint16_t base, std::uint32_t exponent);
};

// Recovery files give input slice `index` the constant 2^n, n being the index-th exponent that is
// not a multiple of 3, 5, 17 or 257: those are the powers of two that generate the whole group,
// and only they keep every square choice of rows of the coding matrix invertible. There are 32768
// of them; this is the exponent n for index 0 .. 32767.
std::uint32_t InputConstantLog(std::uint32_t index);
inline constexpr std::uint32_t kMaxInputSlices = 32768;

// What input slice `index` is multiplied by in the recovery slice with `exponent`: its constant
// raised to the exponent.
std::uint16_t CodingFactor(std::uint32_t index, std::uint32_t exponent);

}  // namespace kavendrum::par2
