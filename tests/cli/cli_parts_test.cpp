#include <cerrno>

#include <gtest/gtest.h>

#include "cli/command_hint.h"
#include "cli/console_host.h"
#include "cli/piece_plan.h"
#include "cli/piece_rows.h"
#include "cli/progress_line.h"
#include "cli/rejoin_command.h"
#include "cli/size_text.h"
#include "support/temp_folder.h"

namespace kavendrum {
namespace {

TEST(ReadSize, SuffixesCountInThousandsOrTenTwentyFours) {
    EXPECT_EQ(ReadSize("25"), 25u);
    EXPECT_EQ(ReadSize("25K"), 25u * 1024);
    EXPECT_EQ(ReadSize("25KiB"), 25u * 1024);
    EXPECT_EQ(ReadSize("25KB"), 25000u);
    EXPECT_EQ(ReadSize("25M"), 25ull << 20);
    EXPECT_EQ(ReadSize("25MiB"), 25ull << 20);
    EXPECT_EQ(ReadSize("25MB"), 25000000u);
    EXPECT_EQ(ReadSize("3G"), 3ull << 30);
    EXPECT_EQ(ReadSize("3GiB"), 3ull << 30);
    EXPECT_EQ(ReadSize("3GB"), 3000000000u);
}

TEST(ReadSize, LeadingZerosAreDecimal) {
    EXPECT_EQ(ReadSize("01457664"), 1457664u);  // as octal it would be 413620
    EXPECT_EQ(ReadSize("010"), 10u);
    EXPECT_EQ(ReadSize("0"), 0u);  // readable; the caller's range refuses it
    EXPECT_EQ(ReadSize("008K"), 8u * 1024);
}

TEST(ReadSize, WhatIsNoSizeIsNotRead) {
    for (const char* text :
         {"",    "25X",   "0x10",   "0X10", "x",    "K",     "-5",     "+5",
          " 5",  "5 ",    "5K ",    "5Kib", "5MBB", "5e3",   "1_000",  ".5M",
          "5.M", "5..5M", "1.5.5M", "5  ",  "fat",  "fat33", "e-mail", "5 fat32"}) {
        EXPECT_EQ(ReadSize(text), std::nullopt) << text;
    }
}

TEST(ReadSize, LowerCaseUnitsAndBlanksAsGnuSplitAndPeopleTypeThem) {
    EXPECT_EQ(ReadSize("10k"), 10u * 1024);
    EXPECT_EQ(ReadSize("25m"), 25ull << 20);
    EXPECT_EQ(ReadSize("2g"), 2ull << 30);
    EXPECT_EQ(ReadSize("10kB"), 10000u);
    EXPECT_EQ(ReadSize("25 MB"), 25000000u);
    EXPECT_EQ(ReadSize("25\tMiB"), 25ull << 20);
    EXPECT_EQ(ReadSize("25  k"), 25u * 1024);
    EXPECT_EQ(ReadSize("700B"), 700u);
    EXPECT_EQ(ReadSize("700 B"), 700u);
    EXPECT_EQ(ReadSize("1T"), 1ull << 40);  // read, for the range check to refuse
    EXPECT_EQ(ReadSize("1TB"), 1000000000000u);
}

TEST(ReadSize, FractionsAreRoundedDownToWholeBytes) {
    EXPECT_EQ(ReadSize("1.5G"), 1610612736u);
    EXPECT_EQ(ReadSize("1.5 GiB"), 1610612736u);
    EXPECT_EQ(ReadSize("0.5K"), 512u);
    EXPECT_EQ(ReadSize("1.001K"), 1025u);  // 1025.024
    EXPECT_EQ(ReadSize("1.999KB"), 1999u);
    EXPECT_EQ(ReadSize("0.0001K"), 0u);  // 0.1024 bytes: the caller's range refuses it
    EXPECT_EQ(ReadSize("3.999999999999999999G"), 4294967295u);  // just under 4 GiB
    EXPECT_EQ(ReadSize("4.0G"), 4294967296u);
    EXPECT_EQ(ReadSize("1.25M"), 1310720u);
    EXPECT_EQ(ReadSize("007.50k"), 7680u);
}

// Sizes that could be read two ways are refused, and the refusal says why and what is read.
TEST(ReadSize, AmbiguousSizesAreRefusedWithTheReason) {
    const std::pair<const char*, const char*> cases[] = {
        {"5b", "512-byte blocks"},
        {"5mb", "bits or bytes"},
        {"5Kb", "bits or bytes"},
        {"5 gb", "bits or bytes"},
        {"1,5G", "comma"},
        {"1,000", "comma"},
        {"1.5", "fraction needs a unit"},
        {"1.5B", "fraction needs a unit"},
    };
    for (const auto& [text, reason] : cases) {
        EXPECT_EQ(ReadSize(text), std::nullopt) << text;
        const std::string refusal = SizeRefusal(text);
        EXPECT_NE(refusal.find(reason), std::string::npos) << text << ": " << refusal;
        EXPECT_NE(refusal.find("fat32 (4294967295"), std::string::npos) << refusal;
        EXPECT_NE(refusal.find("KiB"), std::string::npos) << refusal;
    }
    EXPECT_EQ(SizeRefusal("25X").rfind("cannot read '25X' as a size\n", 0), 0u);
}

TEST(ReadSize, NamedSizesForWhereThePiecesGo) {
    EXPECT_EQ(ReadSize("fat32"), 4294967295u);
    EXPECT_EQ(ReadSize("FAT32"), 4294967295u);
    EXPECT_EQ(ReadSize("email"), 18269229u);
    EXPECT_EQ(ReadSize("Email"), 18269229u);
}

// Worked by hand: 57 bytes make a line of 76 characters and CR LF.
TEST(MailEncodedSize, CountsBase64AndItsLineEnds) {
    EXPECT_EQ(MailEncodedSize(0), 0u);
    EXPECT_EQ(MailEncodedSize(1), 6u);    // "xx==" and CR LF
    EXPECT_EQ(MailEncodedSize(57), 78u);  // one full line
    EXPECT_EQ(MailEncodedSize(58), 84u);  // and a second with one group
    EXPECT_EQ(MailEncodedSize(114), 156u);
    EXPECT_LE(MailEncodedSize(kEmailSize), 25000000u);
    EXPECT_GT(MailEncodedSize(kEmailSize + 1), 25000000u);
    EXPECT_EQ(LargestMailPiece(78), 57u);
    EXPECT_EQ(LargestMailPiece(83), 57u);
    EXPECT_EQ(LargestMailPiece(84), 60u);  // 58 to 60 bytes all take one more group
}

TEST(ReadSize, TooLargeReadsAsTheLargestValueNotAsAWrappedOne) {
    constexpr auto kLargest = std::numeric_limits<std::uint64_t>::max();
    EXPECT_EQ(ReadSize("18446744073709551615"), kLargest);
    EXPECT_EQ(ReadSize("18446744073709551616"), kLargest);
    EXPECT_EQ(ReadSize("99999999999999999999999"), kLargest);
    // 2^54 G wraps to 0 in 64 bits.
    EXPECT_EQ(ReadSize("18014398509481984G"), kLargest);
    EXPECT_EQ(ReadSize("4294967295"), 4294967295u);
    EXPECT_EQ(ReadSize("4G"), 4294967296u);
}

// Checks the plan against what a split makes of it: size / pieceSize + 1 pieces.
void ExpectPieces(std::uint64_t fileSize, std::uint32_t count, bool lastEmpty) {
    const auto size = PieceSizeForCount(fileSize, count);
    ASSERT_TRUE(size) << fileSize << " in " << count;
    EXPECT_EQ(fileSize / *size + 1, count) << fileSize << " in " << count;
    EXPECT_EQ(fileSize % *size == 0, lastEmpty) << fileSize << " in " << count;
}

TEST(PieceSizeForCount, GivesExactlyThatManyPiecesWithTheLastOneFilled) {
    ExpectPieces(100000, 3, false);
    ExpectPieces(100, 4, false);  // 26, 26, 26 and 22: not 25 each, which would add an empty fifth
    ExpectPieces(10, 4, false);
    ExpectPieces(12, 3, false);
    ExpectPieces(1, 1, false);
    ExpectPieces(4294967294, 1, false);
    EXPECT_EQ(PieceSizeForCount(100, 4), 26u);
    EXPECT_EQ(PieceSizeForCount(10, 1), 11u);
}

TEST(PieceSizeForCount, AnEmptyLastPieceOnlyWhereNoSizeAvoidsIt) {
    ExpectPieces(6, 4, true);  // 2, 2, 2, 0: 3 gives three pieces, 1 gives seven
    ExpectPieces(0, 1, true);
    ExpectPieces(1000, 1001, true);  // a byte each, and the empty piece every split ends with
    EXPECT_EQ(PieceSizeForCount(0, 1), 1u);
}

TEST(PieceSizeForCount, RefusesCountsNoPieceSizeGives) {
    EXPECT_EQ(PieceSizeForCount(5, 4), std::nullopt);  // 1 gives six pieces, 2 gives three
    EXPECT_EQ(PieceSizeForCount(0, 2), std::nullopt);
    EXPECT_EQ(PieceSizeForCount(10, 12), std::nullopt);
    EXPECT_EQ(PieceSizeForCount(1000, 1000), std::nullopt);  // a byte each makes 1001
    EXPECT_EQ(PieceSizeForCount(10, 0), std::nullopt);
    // One piece of a 4 GiB file would need a 4 GiB + 1 piece size.
    EXPECT_EQ(PieceSizeForCount(4294967296, 1), std::nullopt);
    EXPECT_EQ(PieceSizeForCount(4294967295, 1), std::nullopt);
}

TEST(ProgressText, PhaseBarBytesSpeedAndTimeLeft) {
    EXPECT_EQ(ProgressText("merging", 512u << 20, 1u << 30, 4.0),
              "merging   [#####.....]  50%  0.5 of 1.0 GiB  128.0 MiB/s  0:04 left");
    EXPECT_EQ(ProgressText("verifying", 3000, 4000, 2.0),
              "verifying [#######...]  75%  2.9 of 3.9 KiB  1.5 KiB/s  0:01 left");
    EXPECT_EQ(ProgressText("verifying", 0, 4000, 0.0),
              "verifying [..........]   0%  0.0 of 3.9 KiB");
    // Done: no time left to show.
    EXPECT_EQ(ProgressText("splitting", 4000, 4000, 2.0),
              "splitting [##########] 100%  3.9 of 3.9 KiB  2.0 KiB/s");
    // An hour and more, and a time not worth counting.
    EXPECT_NE(ProgressText("merging", 1u << 20, 4001ull << 20, 1.0).find("  1:06:40 left"),
              std::string::npos);
    EXPECT_NE(ProgressText("merging", 1, 1ull << 40, 1.0).find("  >99h left"), std::string::npos);
}

TEST(ProgressText, AStreamOfUnknownSizeShowsBytesAndSpeed) {
    EXPECT_EQ(ProgressText("splitting", 3u << 20, 0, 2.0), "splitting  3.0 MiB  1.5 MiB/s");
    EXPECT_EQ(ProgressText("splitting", 0, 0, 0.0), "splitting  0 B");
}

// The widest numbers each field can take still leave the 80th column free, so that no terminal
// wraps the line.
TEST(ProgressText, FitsAnEightyColumnTerminal) {
    for (const std::uint64_t total :
         {(1ull << 40) - 1, (1ull << 30) - 1, (1ull << 20) - 1, 1023ull}) {
        for (const double seconds : {0.001, 1.0, 3599.0, 1e9}) {
            const std::string text = ProgressText("verifying", total - 1, total, seconds);
            EXPECT_LE(text.size(), 79u) << text;
        }
    }
    EXPECT_LE(ProgressText("a phase whose name is too long", 1, 2, 1.0).size(), 79u);
}

TEST(CommandHint, ATypoGetsTheNearestCommand) {
    using Words = std::vector<std::string>;
    EXPECT_EQ(CommandHint(Words{"splt", "a", "b"}), "unknown command 'splt'; did you mean split?");
    EXPECT_EQ(CommandHint(Words{"mrege", "a.kdh"}), "unknown command 'mrege'; did you mean merge?");
    EXPECT_EQ(CommandHint(Words{"verfy"}), "unknown command 'verfy'; did you mean verify?");
    EXPECT_EQ(CommandHint(Words{"opt"}), "unknown command 'opt'; did you mean options?");
    EXPECT_EQ(CommandHint(Words{"--yes", "Split", "a", "b"}),
              "unknown command 'Split'; did you mean split?");
    EXPECT_EQ(
        CommandHint(Words{"frobnicate"}),
        "unknown command 'frobnicate'; the commands are split, verify, repair, merge and options");
}

TEST(CommandHint, ACommandAfterItsArgumentsIsMovedToTheFront) {
    using Words = std::vector<std::string>;
    EXPECT_EQ(CommandHint(Words{"movie.avi", "split", "out"}),
              "the command comes first: kavendrum-cli split movie.avi out");
    EXPECT_EQ(CommandHint(Words{"--options-file", "k.opt", "-q", "my movie.avi", "split", "out",
                                "--size", "25M"}),
              "the command comes first: kavendrum-cli --options-file k.opt -q split "
              "'my movie.avi' out --size 25M");
    EXPECT_EQ(CommandHint(Words{"out/movie.kdh", "merge"}),
              "the command comes first: kavendrum-cli merge out/movie.kdh");
}

TEST(CommandHint, ASizeWhoseUnitLostItsQuotes) {
    using Words = std::vector<std::string>;
    EXPECT_EQ(CommandHint(Words{"split", "--size", "25", "MB", "movie.avi", "out"}),
              "'--size 25 MB' is two words; write --size 25MB or --size '25 MB'");
    EXPECT_EQ(CommandHint(Words{"split", "a", "b", "--size", "1.5", "G"}),
              "'--size 1.5 G' is two words; write --size 1.5G or --size '1.5 G'");
    // A folder that happens to be named like a unit after a whole size is left alone.
    EXPECT_EQ(CommandHint(Words{"split", "--size", "25", "movie.avi", "out"}), std::nullopt);
    EXPECT_EQ(CommandHint(Words{"split", "--size", "25M", "movie", "out"}), std::nullopt);
}

TEST(CommandHint, ALineWithACommandFirstIsLeftToTheParser) {
    using Words = std::vector<std::string>;
    for (const Words& words :
         {Words{}, Words{"split", "movie.avi", "merge"}, Words{"--yes", "verify", "x.kdh"},
          Words{"--options-file", "split", "merge", "a.kdh"}, Words{"-q"}, Words{"--help"},
          Words{"splt", "--help"}, Words{"--version", "splt"}, Words{"options", "set", "x=1"}}) {
        EXPECT_EQ(CommandHint(words), std::nullopt) << ::testing::PrintToString(words);
    }
}

TEST(RejoinCommandFrom, GoesIntoTheFolderFirstWhateverItsName) {
    const std::string inner = RejoinCommand("movie", "avi", 3);
    EXPECT_EQ(RejoinCommandFrom("out", "movie", "avi", 3), "(cd './out' && " + inner + ")");
    EXPECT_EQ(RejoinCommandFrom("-n", "movie", "avi", 3), "(cd './-n' && " + inner + ")");
    EXPECT_EQ(RejoinCommandFrom("/media/my stick", "movie", "avi", 3),
              "(cd '/media/my stick' && " + inner + ")");
    EXPECT_EQ(RejoinCommandFrom("it's", "movie", "avi", 3), "(cd './it'\\''s' && " + inner + ")");
}

// The line under an error names the file and says why: the system's words when a failure lies
// behind it, the program's own when the notice alone tells, nothing when the text says it all.
TEST(ReasonLine, SaysWhyByTheNoticeNotByItsWords) {
    EXPECT_EQ(ReasonLine(NoticeOf(NoticeId::PieceMissing, "p/x_2.skf")),
              "p/x_2.skf: No such file or directory");
    EXPECT_EQ(ReasonLine(NoticeOf(NoticeId::HeadFileNameInvalid, "x.avi")),
              "x.avi: a head file's name ends in .kdh");
    // A failure of the system's says more than the program's general words.
    EXPECT_EQ(ReasonLine(NoticeOf(NoticeId::BatchFileNotCreated, "o/x.bat",
                                  FileError{FileErrorCause::FileNotFound, "o/x.bat", 0})),
              "o/x.bat: No such file or directory");
    // Except for a source that is no file with a size: split - is what reads it.
    EXPECT_EQ(ReasonLine(NoticeOf(NoticeId::SourceNotOpened, "/dev/tty",
                                  FileError{FileErrorCause::BadPath, "/dev/tty", 0})),
              "/dev/tty: not a regular file (split - reads standard input)");
    EXPECT_EQ(ReasonLine(NoticeOf(NoticeId::OptionFileNotSaved, "k.opt")), "k.opt");
    EXPECT_EQ(ReasonLine(NoticeOf(NoticeId::ChecksumFileNotCreated, "o/x.sha256")), std::nullopt);
    EXPECT_EQ(ReasonLine(NoticeOf(NoticeId::SourceShrank)), std::nullopt);
    EXPECT_EQ(ReasonLine(NoticeOf(NoticeId::SplitSucceeded, "o/x.bat")), std::nullopt);
}

// Why each Bad row is bad comes from what verification found, not from the disk as it is when
// the lines are printed: a piece put back since, or one removed since, keeps the engine's reason.
TEST(PieceReasons, ComeFromTheRowsNotFromTheDisk) {
    testing::TempFolder temp;
    const std::string back = temp / "x_1.skf";  // missing when checked, here now
    testing::WriteBytes(back, std::vector<char>(10, 'p'));
    const std::string gone = temp / "gone";  // was there when checked, not now
    auto row = [](std::string path, PieceFault fault) {
        return PieceEntry{std::move(path), "10", PieceMark::Bad, 1, fault};
    };
    ContentVerification checked;
    checked.verification.pieces = std::vector<PieceEntry>{
        row(back, PieceFault::Missing),
        row(gone + "_2.skf", PieceFault::Missing),
        row(gone + "_3.skf", PieceFault::Missing),
        row(gone + "_4.skf", PieceFault::SizeDiffers),
        row(gone + "_5.skf", PieceFault::ContentDiffers),
        row(gone + "_6.skf", PieceFault::ContentDiffers),
        PieceEntry{gone + "_7.skf", "10", PieceMark::Good},
    };
    (*checked.verification.pieces)[1].openFailure = {FileErrorCause::SharingViolation, 0};
    (*checked.verification.pieces)[2].openFailure = {FileErrorCause::BadPath, EISDIR};
    checked.contentBad = {5};
    ::testing::internal::CaptureStderr();
    PrintReasons(checked);
    PrintBadSummary(checked.verification, temp / "x.kdh");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              back + ": missing\n" + gone + "_2.skf: in use: another program holds or locks it\n" +
                  gone + "_3.skf: Is a directory\n" + gone + "_4.skf: size differs\n" + gone +
                  "_5.skf: content differs\n" + gone +
                  "_6.skf: could not be read to its end\n"
                  "kavendrum-cli: 1 missing and 5 bad of 7 pieces: copy them again into " +
                  temp.path() + " and run again\n");
}

// A row for a run of missing pieces counts each of them.
TEST(PieceReasons, ARunOfMissingPiecesCountsAsManyInTheSummary) {
    Verification verification;
    verification.pieces = std::vector<PieceEntry>{
        {"x_1.skf", "10", PieceMark::Good},
        {"x_{2..4}.skf", "10", PieceMark::Bad, 3, PieceFault::Missing},
        {"x_5.skf", "10", PieceMark::Bad, 1, PieceFault::SizeDiffers},
    };
    ::testing::internal::CaptureStderr();
    PrintBadSummary(verification, "x.kdh");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "kavendrum-cli: 3 missing and 1 bad of 5 pieces: copy them again into the current "
              "folder and run again\n");
}

}  // namespace
}  // namespace kavendrum
