#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/head_file.h"
#include "engine/io/file.h"
#include "engine/io/file_system.h"
#include "engine/notice.h"
#include "engine/operation_host.h"
#include "engine/piece_set.h"
#include "engine/pieces_on_disk.h"

namespace kavendrum {

// The status image of a row, by its index in the piece list's images.
enum class PieceMark { Unchecked = 0, Good = 1, Bad = 2 };

// Why a row is marked Bad, so that a form can say it.
enum class PieceFault { None, Missing, SizeDiffers, ContentDiffers };

// Why a piece that stood in the folder did not open (another program holds it, a folder stands at
// its name, no permission), as the file layer said when verification opened it.
struct PieceOpenFailure {
    FileErrorCause cause = FileErrorCause::Generic;
    int systemCode = 0;  // the system's own code, 0 when there is none

    bool operator==(const PieceOpenFailure&) const = default;
};

struct PieceEntry {
    std::string path;
    std::string sizeText;  // expected size, in decimal
    PieceMark mark = PieceMark::Unchecked;
    // How many consecutive pieces the row stands for. More than one only for a run of pieces
    // that are missing, all of one expected size; its path is then RunPath's.
    std::uint32_t count = 1;
    PieceFault fault = PieceFault::None;
    // Set on a Missing row whose piece was there but did not open; a piece that was simply not
    // there has none.
    std::optional<PieceOpenFailure> openFailure = std::nullopt;

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

// A head file as a verification or a merge reads it, once: its record and which file it was.
struct HeadRecord {
    HeadFileInfo info;
    FileStamp file;
};

// Reads the head file's record. What is wrong with it is told to the host (`notOpened` when it
// does not open) and nothing is returned.
std::optional<HeadRecord> ReadHeadRecord(const std::string& headPath, NoticeId notOpened,
                                         OperationHost& host);

// The set and the record of the head file a verification is asked for by name; nothing, after
// telling the host, when the name is no head file's or the file cannot be read as one.
std::optional<std::pair<PieceSet, HeadRecord>> ReadHeadToVerify(const std::string& headPath,
                                                                OperationHost& host);

// The expected size of piece `number`: the piece size, or the last piece's own.
std::uint32_t ExpectedPieceSize(const HeadFileInfo& info, std::uint32_t number);

// Lists the pieces of `set` that the record names and marks each good when it opens, has exactly
// the expected size and passes `check`, if one is given; `onDisk` is the folder as listed for
// this run. Says nothing and never changes a file.
Verification VerifyPieces(const PieceSet& set, const HeadFileInfo& info, const PiecesOnDisk& onDisk,
                          const PieceCheck& check = {});

// The Verify button's check of the head file at `headPath`: its name and its record, with a
// message when one is wrong, then its pieces.
Verification VerifyPieces(const std::string& headPath, OperationHost& host);

}  // namespace kavendrum
