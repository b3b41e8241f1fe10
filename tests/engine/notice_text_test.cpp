#include <string>

#include <gtest/gtest.h>

#include "engine/notice_text.h"

namespace kavendrum {
namespace {

struct Words {
    std::string text;
    std::string caption;
};

// What the program has always said for each notice, written out here by hand, letter for letter
// (the typos are the program's own). A notice added without its words here does not compile
// cleanly (-Wswitch), so none goes unpinned.
Words ExpectedWords(NoticeId id) {
    using enum NoticeId;
    switch (id) {
        case FileToSplitEmpty:
            return {"File to split must be filled in!", "Error"};
        case DestinationFolderEmpty:
            return {"Destination folder must be filled in!", "Error"};
        case HeadFileNameEmpty:
            return {"Head File Name must be filled in!", "Error"};
        case MainFrameMissingSplit:
            return {"Get MainFrame error!", "Error"};
        case MainFrameMissingMerge:
            return {"Get MainFrame Error!", "Error"};
        case InitFailed:
            return {"Init failed!", "Error"};
        case SourceNotOpened:
            return {"File doesn't existed or can not be open!", "Error"};
        case SourceUnreadable:
        case SourceShrank:
        case PieceMissing:
        case PieceNotOpened:
        case PieceShorterOnDisk:
        case PieceShrank:
        case PieceShrankHashing:
        case PartialFileShort:
            return {"Read file error!", "Error"};
        case SourceNamedLikeSetFile:
            return {"Can not split a file named like a head, batch, checksum or journal file!",
                    "Error"};
        case SplitSizeTooSmall:
            return {"Split size is too small for this file!", "Error"};
        case PieceNotCreated:
            return {"Can not create file, split failed!", "Error"};
        case LastPieceNotCreated:
            return {"Create file error,split failed!", "Error"};
        case PieceNotCreatedLarge:
            return {"Can not create file,split file failed!", "Error"};
        case HeadFileNotCreated:
            return {"Can not create head file, split failed!", "Error"};
        case HeadFileNotWritten:
            return {"Write to head file error!", "Error"};
        case BatchFileNotCreated:
            return {"Create batch file error!", "Error"};
        case ChecksumFileNotCreated:
            return {"Create checksum file error!", "Error"};
        case OriginalNotRemoved:
            return {"Can not remove original files!", "Error"};
        case SplitSucceeded:
            return {"Split file successfully!\r\nTo Re-Join, run the file: \"D:\\out\\movie.bat\"",
                    "Message"};
        case HeadFileNameInvalid:
            return {"Invalid head file name!", "Error"};
        case HeadFileMissing:
            return {"Head file doesn't existed or can not be opened!", "Error"};
        case HeadFileNotOpenedMerge:
            return {"Open head file error!", "Error"};
        case HeadFileNotOpenedVerify:
            return {"Head file open error!", "Error"};
        case HeadFileUnreadable:
            return {"Read info from head file error!", "Error"};
        case HeadFileUnreadableForm:
            return {"Read info From head file error", "Error"};
        case ChecksumFileUnreadable:
            return {"Checksum file can not be read!", "Error"};
        case OutputNotCreated:
            return {"Create file error,merge failed!", "Error"};
        case MergedChecksumMismatch:
            return {"Merged file checksum error!", "Error"};
        case PieceNotRemoved:
            return {"Can not remove file!", "Error"};
        case RemoveFailed:
            return {"Remove file error!", "Error"};
        case MergeSucceeded:
            return {"Merge files successfully!", "Message"};
        case FolderNotCreated:
            return {"Can not create folder!", "Error"};
        case NotEnoughSpace:
            return {"Not enough disk space, needs 2.0 GiB, 511.9 MiB free on D:\\out\\", "Error"};
        case OptionFileNotSaved:
            return {"Save to option file error!", "Error"};
        case OptionsChanged:
            return {"Change options successfully!", "Message"};
        case SystemError:
            return {"System error!", "Error"};
        case NotAPositiveInteger:
            return {"Please enter a positive integer.", "Error"};
        case IntegerOutOfRange:
            return {"Please enter an integer between 1 and 629145600.", "Error"};
        case RecoveryWritten:
            return {"Write recovery files successfully!\r\nPieces that can be lost and rebuilt: 3",
                    "Message"};
        case RecoveryLimited:
            return {"at most 5 pieces can be made repairable with pieces of this size", "Error"};
        case RecoveryNotCreated:
            return {"Create recovery file error!", "Error"};
        case RepairSucceeded:
            return {"Repair files successfully!\r\nPieces rebuilt: 3", "Message"};
        case RepairNothingToDo:
            return {"All pieces are good, nothing to repair!", "Message"};
        case RepairNoRecoveryFiles:
            return {"No recovery files for these pieces!", "Error"};
        case RepairNotEnough:
            return {"Not enough recovery files, repair failed! Recovery pieces still needed: 3",
                    "Error"};
        case RepairUnsolvable:
            return {"Recovery files can not rebuild these pieces, repair failed!", "Error"};
        case RepairFailed:
            return {"Repair file error!", "Error"};
        case PiecesRepairable:
            return {"3 pieces are bad; 5 can be rebuilt from the recovery files.", "Message"};
        case RepairStillBad:
            return {"Some pieces are still bad, repair failed! Pieces still bad: 3", "Error"};
    }
    return {};
}

// The values the texts above are made from; every notice gets them, and only the texts that
// have a place for a value show it.
Notice SampleOf(NoticeId id) {
    Notice notice;
    notice.id = id;
    notice.path = id == NoticeId::SplitSucceeded ? "D:\\out\\movie.bat" : "D:\\out\\";
    notice.piece = 3;
    if (id == NoticeId::IntegerOutOfRange) {
        notice.needed = 1;
        notice.available = 629145600;
    } else if (id >= NoticeId::RecoveryWritten) {
        notice.needed = 3;  // counts of pieces
        notice.available = 5;
    } else {
        notice.needed = 2ull << 30;             // exactly 2 GiB
        notice.available = (512ull << 20) - 1;  // a byte short of 512 MiB: rounded down
    }
    return notice;
}

TEST(NoticeTextTest, EveryNoticeReadsAsTheProgramHasAlwaysShownIt) {
    for (int raw = 0; raw <= static_cast<int>(NoticeId::RepairStillBad); ++raw) {
        const auto id = static_cast<NoticeId>(raw);
        const Words expected = ExpectedWords(id);
        ASSERT_FALSE(expected.text.empty()) << "notice " << raw << " has no pinned words";
        EXPECT_EQ(TextOf(SampleOf(id)), expected.text) << "notice " << raw;
        EXPECT_EQ(CaptionOf(id), expected.caption) << "notice " << raw;
        // A host that tells success from failure by kind must agree with the caption; the one
        // exception is the count of bad pieces a verify shows in a plain box.
        if (id != NoticeId::PiecesRepairable) {
            EXPECT_EQ(KindOf(id) == NoticeKind::Success, expected.caption == "Message")
                << "notice " << raw;
        }
    }
}

TEST(NoticeTextTest, EveryQuestionReadsAsTheProgramHasAlwaysAskedIt) {
    struct Row {
        QuestionId id;
        const char* text;
        const char* caption;
    };
    const Row rows[] = {
        {QuestionId::CreateFolder, "Folder doesn't exist, do you want to create it?", "Message"},
        {QuestionId::OverwriteSetFiles, "There are same name files in this folder,overwrite it?",
         "Overwrite Warning"},
        {QuestionId::OverwriteOutput, "Do you want to overwrite same name file?",
         "Overwrite Warning"},
        {QuestionId::ContinueMerge,
         "The last merge of these files was interrupted, do you want to continue it?", "Message"},
        {QuestionId::ResetOptions, "Do you really want to reset option?", "Message"},
        {QuestionId::RepairFirst,
         "Some pieces are damaged or missing, do you want to repair them first?", "Message"},
    };
    for (const Row& row : rows) {
        // The path is shown beside the question by hosts that can, never inside its words.
        EXPECT_EQ(TextOf(Question{row.id, "D:\\out\\x"}), row.text);
        EXPECT_EQ(CaptionOf(row.id), std::string(row.caption)) << row.text;
    }
}

TEST(NoticeTextTest, SizesForPeopleNeverMakeANeedLookAsIfItFitted) {
    EXPECT_EQ(SizeForPeople(100), "100 bytes");
    EXPECT_EQ(SizeForPeople(1024), "1.0 KiB");
    // A need a little over a tenth is rounded up, what is had a little under is rounded down.
    EXPECT_EQ(SizeForPeople((1ull << 30) + 1, true), "1.1 GiB");
    EXPECT_EQ(SizeForPeople((1ull << 30) - 1), "1023.9 MiB");
    EXPECT_EQ(SizeForPeople((16ull << 20) - 1), "15.9 MiB");
}

}  // namespace
}  // namespace kavendrum
