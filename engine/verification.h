#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/io/file.h"
#include "engine/operation_host.h"

namespace kavendrum {

// The status image of a row, by its index in the piece list's images.
enum class PieceMark { Unchecked = 0, Good = 1, Bad = 2 };

// Why a row is marked Bad, so that a form can say it.
enum class PieceFault { None, Missing, SizeDiffers, ContentDiffers };

struct PieceEntry {
    std::string path;
    std::string sizeText;  // expected size, in decimal
    PieceMark mark = PieceMark::Unchecked;
    // How many consecutive pieces the row stands for. More than one only for a run of pieces
    // that are missing, all of one expected size; its path is then RunPath's.
    std::uint32_t count = 1;
    PieceFault fault = PieceFault::None;

    bool operator==(const PieceEntry&) const = default;
};

enum class VerifyOutcome { Passed, Failed };

struct Verification {
    VerifyOutcome outcome = VerifyOutcome::Failed;
    std::optional<std::vector<PieceEntry>> pieces;  // none when it stopped before listing them
};

// A head file that names at most this many pieces gets a row for each, missing or not: every
// file under 4 GiB split at a preset size. One naming more lists each run of missing pieces on
// one row, so that its rows grow with the pieces that are there, not with the count it claims.
inline constexpr std::uint32_t kPiecesListedOneByOne = 131072;

// A further check of a piece that opened with its expected length, given its number and the
// open piece; false marks the piece Bad.
using PieceCheck = std::function<bool(std::uint32_t number, File& piece)>;

// Lower-cases ASCII capitals, except a byte that follows one of 0x7F or more: that is the second
// half of a double-byte character.
std::string AsciiLower(const std::string& text);
// True when the path ends in ".kdh", in any case.
bool IsHeadFileName(const std::string& path);
// stem_i.skf: the path of piece `number` of a head file whose path less its extension is `stem`.
std::string PiecePath(const std::string& stem, std::uint32_t number);
// stem_{first..last}.skf: the pieces first to last, as a run's row names them.
std::string RunPath(const std::string& stem, std::uint32_t first, std::uint32_t last);

// Lists the pieces the head file names and marks each good when it opens, has exactly the
// expected size and passes `check`, if one is given. Never changes a file.
Verification VerifyPieces(const std::string& headPath, OperationHost& host,
                          const PieceCheck& check = {});

}  // namespace kavendrum
