#include <zlib.h>

#include <array>

#include "engine/io/crc32.h"

namespace kavendrum {

std::uint32_t Crc32Update(std::uint32_t crc, const void* data, std::size_t size) {
    // zlib takes at most 4 GiB less one byte per call.
    const auto* at = static_cast<const Bytef*>(data);
    uLong value = crc;
    while (size > 0) {
        const uInt part = size > 0x40000000u ? 0x40000000u : static_cast<uInt>(size);
        value = crc32(value, at, part);
        at += part;
        size -= part;
    }
    return static_cast<std::uint32_t>(value);
}

std::uint32_t Crc32ZeroExtend(std::uint32_t crc, std::uint64_t count) {
    // Padding is shorter than one slice, so feeding zeros costs less than one slice's own CRC.
    static constexpr std::array<Bytef, 4096> kZeros{};
    while (count > 0) {
        const std::size_t part = count > kZeros.size() ? kZeros.size() : count;
        crc = Crc32Update(crc, kZeros.data(), part);
        count -= part;
    }
    return crc;
}

}  // namespace kavendrum
