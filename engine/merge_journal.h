#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/head_file.h"
#include "engine/io/file.h"
#include "engine/io/file_error.h"
#include "engine/io/file_system.h"
#include "engine/io/sha256.h"
#include "engine/piece_set.h"
#include "engine/pieces_on_disk.h"

namespace kavendrum {

// The record a merge that removes its pieces keeps beside the head file, so that a merge stopped
// half-way (a power cut, a kill, Ctrl-C) can be taken up again: which file holds the bytes of the
// pieces already removed, and how many bytes they make. The merge builds its file under a name of
// its own beside the output (PartialPath, by number) and gives it the output's name only once it
// is whole. The journal is rewritten, whole and in one step, after that file is flushed and
// before the pieces it adds are removed, and it is removed when the merge ends. The first journal
// is written as soon as that file is made, counting no piece, so that a run killed before it has
// removed anything still leaves its file to the next run instead of one more file nobody names.
// The file is named by device and inode as well as by its number, so that no other file of that
// name is ever taken for it.
struct MergeJournal {
    HeadFileInfo head;  // the record of the head file being merged (extension not kept)
    FileIdentity output;
    std::uint32_t partial = 0;       // which PartialPath of the output the merge writes
    std::uint32_t piecesMerged = 0;  // pieces 1 to this one are in the output and may be gone
    std::uint64_t outputLength = 0;  // the bytes those pieces make
    // The digest of the output's first `startLength` bytes: an inode number can be given again
    // to another file once the output is gone. It always covers kFingerprintBytes, or all of
    // `outputLength` when fewer, and bytes in the output never change once counted.
    Sha256Digest start{};
    std::uint64_t startLength = 0;

    bool operator==(const MergeJournal&) const = default;
};

inline constexpr std::uint64_t kFingerprintBytes = 65536;
// How many names a merge tries for the file it builds before it gives up.
inline constexpr std::uint32_t kPartialNames = 16;

// Where a merge builds the file that becomes `outputPath`: "name.kdpart" beside it, then
// "name.1.kdpart" and so on when that is taken.
std::string PartialPath(const std::string& outputPath, std::uint32_t number);

std::string EncodeJournal(const MergeJournal& journal);
// Nothing for a text that is not a journal this program wrote, or whose numbers do not agree.
std::optional<MergeJournal> DecodeJournal(const std::string& text);

// The digest of the next `length` bytes `file` reads, at most kFingerprintBytes of them; nothing
// when they cannot be read.
std::optional<Sha256Digest> FingerprintOf(File& file, std::uint64_t length);

// A journal as found on disk or as written: its record, and which file held it, so that only that
// very file is ever replaced or removed.
struct StoredJournal {
    MergeJournal journal;
    FileStamp file;
};

// The journal at `path` when there is a sound one for this head file's record.
std::optional<StoredJournal> ReadJournal(const std::string& path, const HeadFileInfo& head);
// Writes the journal under a new name beside `path` and puts it in place in one step, on stable
// storage. The first journal of a run (`replacing` empty) takes only a free name; a later one
// replaces only the journal it names.
FileResult<StoredJournal> WriteJournal(const std::string& path, const MergeJournal& journal,
                                       const std::optional<StoredJournal>& replacing);

// A counted piece still on disk, read and found to hold what the output holds for it.
struct KeptPiece {
    std::uint32_t number = 0;
    FileStamp file;
};

// An earlier run of a merge into one output that stopped half-way and can be taken up.
struct InterruptedMerge {
    StoredJournal stored;
    std::string partialPath;  // where its file stands now
    // The file already stands under the output's name: the run stopped after putting it there.
    bool inPlace = false;
    std::vector<KeptPiece> keptPieces;  // counted pieces still there, to be removed
};

// The set's journal of a merge into `outputPath`, when the file it names still holds every byte
// it counts, and every counted piece still on disk (as `onDisk` lists them) holds the same bytes
// as that file does: a journal somebody else wrote can never have pieces removed unread.
std::optional<InterruptedMerge> FindInterruptedMerge(const PieceSet& set, const HeadFileInfo& info,
                                                     const std::string& outputPath,
                                                     const PiecesOnDisk& onDisk);

}  // namespace kavendrum
