#include "engine/notice_text.h"

#include <cmath>
#include <cstdio>

namespace kavendrum {

namespace {

constexpr const char* kError = "Error";
constexpr const char* kMessage = "Message";

struct Entry {
    const char* text;
    const char* caption;
    NoticeKind kind;
};

// The one table of what the program says. The cases that build a text from the notice's values
// give only the fixed part here; TextOf adds the rest.
Entry EntryOf(NoticeId id) {
    using enum NoticeId;
    constexpr NoticeKind F = NoticeKind::Failure;
    switch (id) {
        case FileToSplitEmpty:
            return {"File to split must be filled in!", kError, F};
        case DestinationFolderEmpty:
            return {"Destination folder must be filled in!", kError, F};
        case HeadFileNameEmpty:
            return {"Head File Name must be filled in!", kError, F};
        case MainFrameMissingSplit:
            return {"Get MainFrame error!", kError, F};
        case MainFrameMissingMerge:
            return {"Get MainFrame Error!", kError, F};
        case InitFailed:
            return {"Init failed!", kError, F};

        case SourceNotOpened:
            return {"File doesn't existed or can not be open!", kError, F};
        case SourceUnreadable:
        case SourceShrank:
            return {"Read file error!", kError, F};
        case SourceNamedLikeSetFile:
            return {"Can not split a file named like a head, batch, checksum or journal file!",
                    kError, F};
        case SplitSizeTooSmall:
            return {"Split size is too small for this file!", kError, F};
        case PieceNotCreated:
            return {"Can not create file, split failed!", kError, F};
        case LastPieceNotCreated:
            return {"Create file error,split failed!", kError, F};
        case PieceNotCreatedLarge:
            return {"Can not create file,split file failed!", kError, F};
        case HeadFileNotCreated:
            return {"Can not create head file, split failed!", kError, F};
        case HeadFileNotWritten:
            return {"Write to head file error!", kError, F};
        case BatchFileNotCreated:
            return {"Create batch file error!", kError, F};
        case ChecksumFileNotCreated:
            return {"Create checksum file error!", kError, F};
        case OriginalNotRemoved:
            return {"Can not remove original files!", kError, F};
        case SplitSucceeded:
            return {"Split file successfully!\r\nTo Re-Join, run the file: \"", kMessage,
                    NoticeKind::Success};

        case HeadFileNameInvalid:
            return {"Invalid head file name!", kError, F};
        case HeadFileMissing:
            return {"Head file doesn't existed or can not be opened!", kError, F};
        case HeadFileNotOpenedMerge:
            return {"Open head file error!", kError, F};
        case HeadFileNotOpenedVerify:
            return {"Head file open error!", kError, F};
        case HeadFileUnreadable:
            return {"Read info from head file error!", kError, F};
        case HeadFileUnreadableForm:
            return {"Read info From head file error", kError, F};
        case ChecksumFileUnreadable:
            return {"Checksum file can not be read!", kError, F};
        case PieceMissing:
        case PieceNotOpened:
        case PieceShorterOnDisk:
        case PieceShrank:
        case PieceShrankHashing:
        case PartialFileShort:
            return {"Read file error!", kError, F};
        case OutputNotCreated:
            return {"Create file error,merge failed!", kError, F};
        case MergedChecksumMismatch:
            return {"Merged file checksum error!", kError, F};
        case PieceNotRemoved:
            return {"Can not remove file!", kError, F};
        case RemoveFailed:
            return {"Remove file error!", kError, F};
        case MergeSucceeded:
            return {"Merge files successfully!", kMessage, NoticeKind::Success};

        case FolderNotCreated:
            return {"Can not create folder!", kError, F};
        case NotEnoughSpace:
            return {"Not enough disk space, needs ", kError, F};

        case OptionFileNotSaved:
            return {"Save to option file error!", kError, F};
        case OptionsChanged:
            return {"Change options successfully!", kMessage, NoticeKind::Success};

        case SystemError:
            return {"System error!", kError, F};
        case NotAPositiveInteger:
            return {"Please enter a positive integer.", kError, F};
        case IntegerOutOfRange:
            return {"Please enter an integer between ", kError, F};

        case RecoveryWritten:
            return {"Write recovery files successfully!\r\nPieces that can be lost and rebuilt: ",
                    kMessage, NoticeKind::Success};
        case RecoveryLimited:
            return {"at most ", kError, F};
        case RecoveryNotCreated:
            return {"Create recovery file error!", kError, F};
        case RepairSucceeded:
            return {"Repair files successfully!\r\nPieces rebuilt: ", kMessage,
                    NoticeKind::Success};
        case RepairNothingToDo:
            return {"All pieces are good, nothing to repair!", kMessage, NoticeKind::Success};
        case RepairNoRecoveryFiles:
            return {"No recovery files for these pieces!", kError, F};
        case RepairNotEnough:
            return {"Not enough recovery files, repair failed! Recovery pieces still needed: ",
                    kError, F};
        case RepairUnsolvable:
            return {"Recovery files can not rebuild these pieces, repair failed!", kError, F};
        case RepairFailed:
            return {"Repair file error!", kError, F};
        case PiecesRepairable:
            return {" can be rebuilt from the recovery files.", kMessage, F};
        case RepairStillBad:
            return {"Some pieces are still bad, repair failed! Pieces still bad: ", kError, F};
    }
    return {"", kError, F};
}

}  // namespace

const char* CaptionOf(NoticeId id) {
    return EntryOf(id).caption;
}

NoticeKind KindOf(NoticeId id) {
    return EntryOf(id).kind;
}

std::string TextOf(const Notice& notice) {
    std::string text = EntryOf(notice.id).text;
    switch (notice.id) {
        case NoticeId::SplitSucceeded:
            return text + notice.path + "\"";
        case NoticeId::NotEnoughSpace:
            return text + SizeForPeople(notice.needed, true) + ", " +
                   SizeForPeople(notice.available) + " free on " + notice.path;
        case NoticeId::IntegerOutOfRange:
            return text + std::to_string(notice.needed) + " and " +
                   std::to_string(notice.available) + ".";
        case NoticeId::RecoveryWritten:
        case NoticeId::RepairSucceeded:
        case NoticeId::RepairNotEnough:
        case NoticeId::RepairStillBad:
            return text + std::to_string(notice.needed);
        case NoticeId::PiecesRepairable:
            return std::to_string(notice.needed) +
                   (notice.needed == 1 ? " piece is bad; " : " pieces are bad; ") +
                   std::to_string(notice.available) + text;
        case NoticeId::RecoveryLimited:
            return text + std::to_string(notice.available) +
                   " pieces can be made repairable with pieces of this size";
        default:
            return text;
    }
}

const char* CaptionOf(QuestionId id) {
    switch (id) {
        case QuestionId::OverwriteSetFiles:
        case QuestionId::OverwriteOutput:
            return "Overwrite Warning";
        case QuestionId::CreateFolder:
        case QuestionId::ContinueMerge:
        case QuestionId::ResetOptions:
        case QuestionId::RepairFirst:
            break;
    }
    return kMessage;
}

std::string TextOf(const Question& question) {
    switch (question.id) {
        case QuestionId::CreateFolder:
            return "Folder doesn't exist, do you want to create it?";
        case QuestionId::OverwriteSetFiles:
            return "There are same name files in this folder,overwrite it?";
        case QuestionId::OverwriteOutput:
            return "Do you want to overwrite same name file?";
        case QuestionId::ContinueMerge:
            return "The last merge of these files was interrupted, do you want to continue it?";
        case QuestionId::ResetOptions:
            return "Do you really want to reset option?";
        case QuestionId::RepairFirst:
            return "Some pieces are damaged or missing, do you want to repair them first?";
    }
    return {};
}

std::string SizeForPeople(std::uint64_t bytes, bool roundUp) {
    static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
    if (bytes < 1024) {
        return std::to_string(bytes) + " bytes";
    }
    double size = static_cast<double>(bytes) / 1024;
    int unit = 0;
    while (size >= 1024 && unit < 5) {
        size /= 1024;
        ++unit;
    }
    const double tenths = roundUp ? std::ceil(size * 10) : std::floor(size * 10);
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", tenths / 10, kUnits[unit]);
    return text;
}

}  // namespace kavendrum
