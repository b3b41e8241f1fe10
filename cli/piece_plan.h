#pragma once

#include <cstdint>
#include <optional>

namespace kavendrum {

// The piece size that cuts a file of `fileSize` bytes into exactly `count` pieces. A split makes
// fileSize / pieceSize + 1 pieces, the last holding the rest, so this is the smallest size that
// gives no more than `count`: the last piece is then empty only when no size avoids it. Nothing
// when no piece size gives exactly `count` pieces (more pieces than the file has bytes, say), or
// when the size would not fit in 32 bits.
std::optional<std::uint32_t> PieceSizeForCount(std::uint64_t fileSize, std::uint32_t count);

}  // namespace kavendrum
