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
// a name in the file is only ever compared, never used as a path. However long the file, at most
// one digest is kept per piece. A name given two different digests is disputed: no content can
// match both lines, so such a piece (or whole file) counts as differing from its line.
class PieceChecksums {
  public:
    explicit PieceChecksums(ChecksumNames names) : m_names(std::move(names)) {}

    // Takes one line, without its line feed.
    void AddLine(const std::string& line);
    // Settles what was taken; call once after the last line.
    void Seal();

    // The digest of a piece's line; nothing when it has none or its lines disagree.
    std::optional<Sha256Digest> ForPiece(std::uint32_t number) const;
    bool Disputed(std::uint32_t number) const;
    std::optional<Sha256Digest> ForWholeFile() const {
        return m_wholeDisputed ? std::nullopt : m_whole;
    }
    bool WholeFileDisputed() const { return m_wholeDisputed; }
    // True when some piece has a line, agreed or disputed.
    bool NamesAPiece() const { return !m_pieces.empty() || !m_disputed.empty(); }
    bool Empty() const { return !NamesAPiece() && !m_whole; }
    // The pieces that have an agreed line, by number, once sealed.
    const std::vector<std::pair<std::uint32_t, Sha256Digest>>& Pieces() const { return m_pieces; }

  private:
    std::optional<std::uint32_t> PieceNumber(const std::string& name) const;
    void Fold();

    ChecksumNames m_names;
    // Settled lines, sorted by number, one per piece; lines taken since the last fold.
    std::vector<std::pair<std::uint32_t, Sha256Digest>> m_pieces;
    std::vector<std::pair<std::uint32_t, Sha256Digest>> m_unsettled;
    std::vector<std::uint32_t> m_disputed;  // sorted
    std::optional<Sha256Digest> m_whole;
    bool m_wholeDisputed = false;
};

// A checksum file that is there but cannot be opened or read; the verification and the merge
// stop with it, since its lines were the check the user asked for.
inline constexpr const char* kChecksumFileUnreadable = "Checksum file can not be read!";

// Reads the checksum file at `path`: nothing when there is no file of that name, and the error
// when one is there but cannot be opened or read.
struct ChecksumRead {
    std::optional<PieceChecksums> checksums;
    std::optional<FileError> error;
};
ChecksumRead ReadChecksumFile(const std::string& path, const ChecksumNames& names);

// Lines longer than this cannot come from sha256sum on any file system and are skipped.
inline constexpr std::size_t kLongestChecksumLine = 16384;

}  // namespace kavendrum
