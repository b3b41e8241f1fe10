#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/io/file.h"
#include "engine/io/sha256.h"

namespace kavendrum {

// The checksum file of a set of pieces: stem.sha256 beside the head file stem.kdh.
std::string ChecksumFilePath(const std::string& stem);

// One line as sha256sum writes it: the digest, two spaces, the name, a line feed. A name with a
// backslash, a line feed or a carriage return is escaped and the line starts with a backslash.
std::string ChecksumLine(const Sha256Digest& digest, const std::string& name);

// Which names in a checksum file matter to one head file: its pieces base_1.skf to
// base_<pieceCount>.skf and the whole file under the name a merge gives it by default.
struct ChecksumNames {
    std::string base;
    std::uint32_t pieceCount = 0;
    std::string wholeName;
};

// The digests a checksum file gives for the pieces of one head file and for the whole file.
// Lines that do not parse, and names that are none of those pieces, are dropped as they are read:
// a name in the file is only ever compared, never used as a path.
class PieceChecksums {
  public:
    explicit PieceChecksums(ChecksumNames names) : m_names(std::move(names)) {}

    // Takes one line, without its line feed.
    void AddLine(const std::string& line);
    // Sorts what was taken; call once after the last line.
    void Seal();

    std::optional<Sha256Digest> ForPiece(std::uint32_t number) const;
    std::optional<Sha256Digest> ForWholeFile() const { return m_whole; }
    bool Empty() const { return m_pieces.empty() && !m_whole; }
    // The pieces that have a line, by number, once sealed.
    const std::vector<std::pair<std::uint32_t, Sha256Digest>>& Pieces() const { return m_pieces; }

  private:
    std::optional<std::uint32_t> PieceNumber(const std::string& name) const;

    ChecksumNames m_names;
    // Sorted by number once sealed; the first line for a number wins.
    std::vector<std::pair<std::uint32_t, Sha256Digest>> m_pieces;
    std::optional<Sha256Digest> m_whole;
};

// Reads the checksum file at `path`; nothing when there is none or it cannot be opened, and the
// error when reading it fails.
struct ChecksumRead {
    std::optional<PieceChecksums> checksums;
    std::optional<FileError> error;
};
ChecksumRead ReadChecksumFile(const std::string& path, const ChecksumNames& names);

// Lines longer than this cannot come from sha256sum on any file system and are skipped.
inline constexpr std::size_t kLongestChecksumLine = 16384;

}  // namespace kavendrum
