#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "engine/io/file_error.h"

namespace kavendrum {

// Everything an operation can tell its user, as data. Each identifier stands for one place in the
// program where something happened, even where several share a text ("Read file error!"), so a
// host can tell them apart without reading the text. notice_text.h turns an identifier into the
// words and caption the user sees.
enum class NoticeId {
    // A form's fields, checked before anything is read.
    FileToSplitEmpty,
    DestinationFolderEmpty,
    HeadFileNameEmpty,
    MainFrameMissingSplit,  // "Get MainFrame error!"
    MainFrameMissingMerge,  // "Get MainFrame Error!"
    InitFailed,

    // Splitting.
    SourceNotOpened,         // the file to split does not exist or cannot be opened
    SourceUnreadable,        // it exists but opening it for reading failed
    SourceShrank,            // it held fewer bytes than it claimed while being copied
    SourceNamedLikeSetFile,  // a .kdh, .bat, .sha256 or .kdj file is not split
    SplitSizeTooSmall,
    PieceNotCreated,       // "Can not create file, split failed!"
    LastPieceNotCreated,   // "Create file error,split failed!"
    PieceNotCreatedLarge,  // "Can not create file,split file failed!" (pieces over the copy unit)
    HeadFileNotCreated,
    HeadFileNotWritten,
    BatchFileNotCreated,
    ChecksumFileNotCreated,
    OriginalNotRemoved,  // "Can not remove original files!"
    SplitSucceeded,      // path: the batch file to run

    // Merging and verifying.
    HeadFileNameInvalid,
    HeadFileMissing,          // "Head file doesn't existed or can not be opened!"
    HeadFileNotOpenedMerge,   // "Open head file error!"
    HeadFileNotOpenedVerify,  // "Head file open error!"
    HeadFileUnreadable,       // "Read info from head file error!"
    HeadFileUnreadableForm,   // "Read info From head file error" (the merge form's own check)
    ChecksumFileUnreadable,
    PieceMissing,        // a piece absent when its turn came; piece: its number
    PieceNotOpened,      // a piece that exists but does not open
    PieceShorterOnDisk,  // a piece whose length is less than the head file says
    PieceShrank,         // a piece that gave fewer bytes than its length while being copied
    PieceShrankHashing,  // the same while its digest was made in the same pass
    PartialFileShort,    // the file an interrupted merge left held fewer bytes than its journal
    OutputNotCreated,    // "Create file error,merge failed!"
    MergedChecksumMismatch,
    PieceNotRemoved,  // "Can not remove file!"
    RemoveFailed,     // "Remove file error!"
    MergeSucceeded,

    // Folders and room.
    FolderNotCreated,
    NotEnoughSpace,  // needed, available; path: the folder

    // Options.
    OptionFileNotSaved,
    OptionsChanged,

    // The forms' own checks.
    SystemError,
    NotAPositiveInteger,
    IntegerOutOfRange,  // needed: the lower bound, available: the upper bound

    // Recovery files.
    RecoveryWritten,        // needed: how many pieces can be lost and rebuilt
    RecoveryLimited,        // available: the most pieces that can be made repairable
    RecoveryNotCreated,     // path: the recovery file
    RepairSucceeded,        // needed: the pieces rebuilt
    RepairNothingToDo,      // every piece is good
    RepairNoRecoveryFiles,  // path: the index file looked for
    RepairNotEnough,        // needed: how many more recovery pieces it would take
    RepairUnsolvable,
    RepairFailed,      // path: the piece that could not be rebuilt
    PiecesRepairable,  // needed: the bad pieces, available: how many can be rebuilt
    RepairStillBad,    // needed: the pieces still bad after a repair; path: the first of them
};

// What a notice concerns: the file or folder, the piece, the platform's failure with its code,
// and the numbers a text is built from.
struct Notice {
    NoticeId id{};
    std::string path{};
    std::uint32_t piece = 0;  // 0: none
    FileStatus failure{};
    std::uint64_t needed = 0;
    std::uint64_t available = 0;
};

// A notice about one file, with the failure behind it if there was one.
inline Notice NoticeOf(NoticeId id, std::string path = {}, FileStatus failure = std::nullopt) {
    Notice notice;
    notice.id = id;
    notice.path = std::move(path);
    notice.failure = std::move(failure);
    return notice;
}

// The questions an operation asks; true is OK (yes).
enum class QuestionId {
    CreateFolder,       // path: the folder
    OverwriteSetFiles,  // path: a file of the set that is already there
    OverwriteOutput,    // path: the merged file's name
    ContinueMerge,      // path: the merged file; a journal says a merge was interrupted
    ResetOptions,
    RepairFirst,  // path: the head file; some pieces are bad and can be rebuilt
};

struct Question {
    QuestionId id{};
    std::string path{};
};

}  // namespace kavendrum
