#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace kavendrum {

// Every name in one set of pieces, worked out from one stem: the folder and the base name that
// all of the set's files share ("out/movie" for out/movie_1.skf, out/movie.kdh, ...). The splits,
// the merge, verification, the batch file and the command line all take their names from here.
class PieceSet {
  public:
    // The set a split writes: `base` in `folder` (a folder of "" is the current one).
    static PieceSet InFolder(const std::string& folder, const std::string& base);
    // The set a head file heads: its path less the ".kdh" it ends with, in any case. None when
    // the path does not end so.
    static std::optional<PieceSet> OfHeadFile(const std::string& headPath);

    // The folder and base joined: what every name below starts with.
    const std::string& Stem() const { return m_stem; }
    // The base alone, as the batch file and the checksum file name the pieces.
    const std::string& Base() const { return m_base; }

    // base_N.skf, without and with the folder.
    std::string PieceName(std::uint32_t number) const;
    std::string PiecePath(std::uint32_t number) const;
    // stem_{first..last}.skf: the row that stands for a run of missing pieces.
    std::string RunPath(std::uint32_t first, std::uint32_t last) const;

    std::string HeadPath() const { return m_stem + ".kdh"; }
    std::string BatchPath() const { return m_stem + ".bat"; }
    std::string ChecksumPath() const { return m_stem + ".sha256"; }
    std::string JournalPath() const { return m_stem + ".kdj"; }
    std::string RecoveryIndexPath() const { return m_stem + ".par2"; }

  private:
    PieceSet(std::string stem, std::string base)
        : m_stem(std::move(stem)), m_base(std::move(base)) {}

    std::string m_stem;
    std::string m_base;
};

// True when the path ends in ".kdh", in any case.
bool IsHeadFileName(const std::string& path);

// Lower-cases ASCII capitals, except a byte that follows one of 0x7F or more: that is the second
// half of a double-byte character.
std::string AsciiLower(const std::string& text);

}  // namespace kavendrum
