#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/operation_host.h"

namespace kavendrum {

// The status image of a row, by its index in the piece list's images.
enum class PieceMark { Unchecked = 0, Good = 1, Bad = 2 };

struct PieceEntry {
    std::string path;
    std::string sizeText;  // expected size, in decimal
    PieceMark mark = PieceMark::Unchecked;

    bool operator==(const PieceEntry&) const = default;
};

enum class VerifyOutcome { Passed, Failed };

struct Verification {
    VerifyOutcome outcome = VerifyOutcome::Failed;
    std::optional<std::vector<PieceEntry>> pieces;  // none when it stopped before listing them
};

// Lower-cases ASCII capitals, except a byte that follows one of 0x7F or more: that is the second
// half of a double-byte character.
std::string AsciiLower(const std::string& text);
// True when the path ends in ".kdh", in any case.
bool IsHeadFileName(const std::string& path);
// stem_i.skf: the path of piece `number` of a head file whose path less its extension is `stem`.
std::string PiecePath(const std::string& stem, std::uint32_t number);

// Lists every piece the head file names and marks each good when it opens and has exactly the
// expected size. Never changes a file.
Verification VerifyPieces(const std::string& headPath, OperationHost& host);

}  // namespace kavendrum
