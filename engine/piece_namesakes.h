#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kavendrum {

// What a look at a near namesake's content found, against the checksum file's line for the
// piece it may be.
enum class NamesakeContent {
    NotChecked,  // no checksum file, no line for the piece, or the size already differs
    Matches,
    Differs,
    Unreadable,
};

// A file beside the head file whose name is a missing piece's as a browser or a file manager
// leaves it: "movie_2 (1).skf", "movie_2(1).skf", "movie_2-1.skf", "movie_2 - Copy.skf",
// "movie_2.skf.part", "movie_2.skf.crdownload", or the name in other letter case.
struct PieceNamesake {
    std::uint32_t number = 0;  // the missing piece it may be
    std::string missingPath;   // where that piece is looked for
    std::string name;          // as it stands in the folder: any bytes at all
    std::string path;
    // Its size, for a plain file; nothing for a link, a folder or what cannot be looked at.
    std::optional<std::uint64_t> size;
    std::uint64_t expectedSize = 0;
    NamesakeContent content = NamesakeContent::NotChecked;
};

struct NamesakeSearch {
    std::vector<PieceNamesake> namesakes;  // in piece order, then by name
    std::uint64_t notShown = 0;            // namesakes of missing pieces beyond those listed
    std::string checksumPath;              // set when a checksum file was read
};

// At most this many namesakes are listed, sized and, with a checksum file, hashed, so that a
// folder full of copies costs a bounded time.
inline constexpr std::size_t kMostNamesakesListed = 16;

// Looks, in one listing of the head file's folder, for near namesakes of the pieces that are
// missing there. Nothing is renamed or written. Pieces already present are not looked for, and
// a head file that cannot be read gives nothing.
NamesakeSearch FindPieceNamesakes(const std::string& headPath);

// The number of the piece of `base` whose near namesake `name` is, or 0; the piece's own name
// in its own letter case is no namesake.
std::uint32_t NamesakeNumber(const std::string& name, const std::string& base,
                             std::uint32_t pieceCount);

}  // namespace kavendrum
