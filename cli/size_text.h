#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kavendrum {

// Reads a size as a user types it: decimal digits, then optionally K, M or G (or KiB, MiB, GiB)
// for powers of 1024, or KB, MB, GB for powers of 1000. Leading zeros are decimal. Nothing when
// the text is no size at all; a value too large for 64 bits reads as the largest 64-bit value,
// so that it fails the caller's range check rather than being called unreadable.
std::optional<std::uint64_t> ReadSize(const std::string& text);

}  // namespace kavendrum
