#pragma once

#include <cstddef>
#include <cstdint>

namespace kavendrum {

// The CRC-32 of zip and Ethernet, from zlib, which uses the processor's carry-less multiply where
// there is one. `Crc32Update` continues a CRC over more bytes.
std::uint32_t Crc32Update(std::uint32_t crc, const void* data, std::size_t size);
inline std::uint32_t Crc32Of(const void* data, std::size_t size) {
    return Crc32Update(0, data, size);
}
// The CRC of `count` zero bytes following a run whose CRC is `crc`: slices are padded with zeros.
std::uint32_t Crc32ZeroExtend(std::uint32_t crc, std::uint64_t count);

}  // namespace kavendrum
