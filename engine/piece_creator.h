#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "engine/io/staged_file.h"

namespace kavendrum {

// Makes the split's next piece on a second thread while the current one is being filled: on a
// journalling file system making a file costs about as much as copying a piece into it. Pieces
// are made under temporary names beside their own (StagedFile), so a file that stands under a
// piece's name is not touched until the split puts the piece in place. A piece made ahead that is
// never taken (the split stopped first) is removed again, leaving what a split without this
// helper would have left.
class PieceCreator {
  public:
    using PathOf = std::function<std::string(std::uint32_t number)>;

    PieceCreator(PathOf pathOf, std::uint32_t pieceCount);
    ~PieceCreator();
    PieceCreator(const PieceCreator&) = delete;
    PieceCreator& operator=(const PieceCreator&) = delete;

    // The piece `number` (taken in order from 1), or nothing when the caller is to make it
    // itself: it could not be made, or the helper had not started on it yet (waiting for a
    // thread to wake up costs more than making the file).
    std::optional<StagedFile> Take(std::uint32_t number);

    // How many pieces may be made ahead of the one being filled, and how few are left when the
    // helper is woken to make more. Waking a thread costs about as much as making a file on a
    // fast file system, so the helper is woken once per several pieces, not for each.
    static constexpr std::uint32_t kAhead = 8;
    static constexpr std::uint32_t kRefillBelow = 3;

  private:
    void Work();

    const PathOf m_pathOf;
    const std::uint32_t m_pieceCount;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::uint32_t m_taken = 0;    // the highest number handed over
    std::uint32_t m_claimed = 0;  // the highest number the worker started on, or handed back
    std::uint32_t m_made = 0;     // the highest number the worker has tried
    // What the attempts for m_taken + 1 … m_made produced, in order.
    std::deque<std::optional<StagedFile>> m_ready;
    bool m_stopping = false;
    std::thread m_worker;  // started in the constructor, once everything above is in place
};

}  // namespace kavendrum
