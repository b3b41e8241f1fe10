#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/piece_set.h"

namespace kavendrum {

// Which of a head file's pieces stand in its folder, learnt from one listing of that folder, so
// that a head file naming billions of pieces costs only what the pieces really there cost.
class PiecesOnDisk {
  public:
    // Pieces 1 to `pieceCount` of the set are looked for.
    static PiecesOnDisk Find(const PieceSet& set, std::uint32_t pieceCount);

    // False when the folder could not be listed (one that may be entered but not read): every
    // piece may then be there and has to be tried on its own.
    bool Listed() const { return m_listed; }
    // The first piece after `number` that may be there, or 0 when none is. Names are matched in
    // any case, since some file systems ignore it, so a piece that may be there can still fail
    // to open.
    std::uint32_t NextAfter(std::uint32_t number) const;
    // The first piece that is not there, or 0 when every one may be.
    std::uint32_t FirstAbsent() const;

  private:
    PiecesOnDisk(const PieceSet& set, std::uint32_t pieceCount)
        : m_set(set), m_pieceCount(pieceCount) {}
    bool List();

    PieceSet m_set;
    std::uint32_t m_pieceCount = 0;
    bool m_listed = false;
    std::vector<std::uint32_t> m_numbers;  // ascending, when listed
};

}  // namespace kavendrum
