// Verification and merge with a checksum file beside the head file, and a merge taken up again
// from its journal.
#include <gtest/gtest.h>

#include <functional>
#include <utility>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#endif

#include "engine/checksum_file.h"
#include "engine/content_verification.h"
#include "engine/head_file.h"
#include "engine/io/file_system.h"
#include "engine/io/sha256.h"
#include "engine/io/sha256_pair.h"
#include "engine/merge_journal.h"
#include "engine/merge_operation.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"

namespace kavendrum {
namespace {

using testing::RecordingHost;
using testing::TempFolder;
using Bytes = std::vector<char>;
using Texts = std::vector<std::string>;

constexpr const char* kContinue =
    "The last merge of these files was interrupted, do you want to continue it?";

Sha256Digest DigestOf(const Bytes& bytes, std::size_t from, std::size_t size) {
    Sha256 sha;
    sha.Update(bytes.data() + from, size);
    return *sha.Finish();
}

class ContentIntegrityTest : public ::testing::Test {
  protected:
    // x.kdh for `size` bytes in pieces of `pieceSize`, every piece written, and x.sha256 when
    // asked: a line per piece, then the whole file as x.bin.
    void Prepare(std::uint32_t size, std::uint32_t pieceSize, bool checksums) {
        whole = testing::RandomBytes(size, 5);
        info = MakeHeadFileInfo(size, size / pieceSize + 1, pieceSize, "bin");
        testing::WriteBytes(temp / "x.kdh", EncodeHeadFile(info));
        std::string lines;
        for (std::uint32_t i = 0; i < info.pieceCount; ++i) {
            const std::size_t from = std::size_t{i} * pieceSize;
            const std::size_t bytes = i + 1 < info.pieceCount ? pieceSize : size - from;
            testing::WriteBytes(Piece(i + 1),
                                Bytes(whole.begin() + from, whole.begin() + from + bytes));
            lines +=
                ChecksumLine(DigestOf(whole, from, bytes), "x_" + std::to_string(i + 1) + ".skf");
        }
        lines += ChecksumLine(DigestOf(whole, 0, whole.size()), "x.bin");
        if (checksums) {
            WriteText("x.sha256", lines);
        }
    }
    void WriteText(const std::string& name, const std::string& text) {
        testing::WriteBytes(temp / name, Bytes(text.begin(), text.end()));
    }
    void FlipByte(int number, std::size_t at) {
        auto bytes = testing::ReadBytes(Piece(number));
        bytes[at] ^= 0x20;
        testing::WriteBytes(Piece(number), bytes);
    }
    std::string Piece(int number) const { return temp / ("x_" + std::to_string(number) + ".skf"); }
    std::vector<PieceMark> Marks(const Verification& verification) const {
        std::vector<PieceMark> marks;
        for (const auto& entry : *verification.pieces) {
            marks.push_back(entry.mark);
        }
        return marks;
    }
    Outcome Merge() {
        return RunMerge({temp / "x.kdh", temp.path(), temp / "x.bin"}, &options, host).outcome;
    }
    // What a merge that removes its pieces leaves when it is stopped after `merged` pieces, with
    // `extra` bytes of the next one already written to the file it builds beside the output.
    void Interrupt(std::uint32_t merged, std::size_t extra) {
        const std::size_t length = std::size_t{merged} * info.pieceSize;
        testing::WriteBytes(Partial(), Bytes(whole.begin(), whole.begin() + length + extra));
        for (std::uint32_t number = 1; number <= merged; ++number) {
            RemoveFile(Piece(number));
        }
        WriteJournalFor(Partial(), merged, length);
    }
    void WriteJournalFor(const std::string& path, std::uint32_t merged, std::uint64_t length) {
        auto output = File::OpenForReading(path);
        ASSERT_TRUE(output.ok());
        const MergeJournal journal{info,
                                   *IdentityOf(path),
                                   0,
                                   merged,
                                   length,
                                   *FingerprintOf(output.value(), length),
                                   std::min<std::uint64_t>(length, kFingerprintBytes)};
        output.value().Close();
        ASSERT_TRUE(WriteJournal(temp / "x.kdj", journal, std::nullopt).ok());
    }
    std::string Partial() const { return temp / "x.bin.kdpart"; }

    TempFolder temp;
    OptionSet options;
    RecordingHost host;
    Bytes whole;
    HeadFileInfo info;
};

TEST_F(ContentIntegrityTest, AFlippedByteMakesOnlyItsRowBadAndTheBarShowsTheReading) {
    Prepare(700000, 300000, true);
    FlipByte(2, 123456);
    const ContentVerification checked = VerifyWithChecksums(temp / "x.kdh", host);
    EXPECT_EQ(checked.verification.outcome, VerifyOutcome::Failed);
    EXPECT_EQ(Marks(checked.verification),
              (std::vector<PieceMark>{PieceMark::Good, PieceMark::Bad, PieceMark::Good}));
    EXPECT_EQ(checked.contentBad, (std::vector<std::uint32_t>{2}));
    EXPECT_EQ(checked.verification.pieces.value()[1].fault, PieceFault::ContentDiffers);
    EXPECT_EQ(checked.verification.pieces.value()[0].fault, PieceFault::None);
    EXPECT_TRUE(host.messages.empty());
    // Each block read, whole or not, and the end of each piece: 3 + 3 + 2 steps, and the bar is
    // emptied again at the end.
    EXPECT_EQ(host.progress.size(), 13u);
    EXPECT_EQ(Texts(host.progress.begin(), host.progress.begin() + 4),
              (Texts{"ShowInPane(Operation Processing,100,100,0)", "SetWidthPercent(100)",
                     "SetStepRange(0,8,1)", "SetPosition(0)"}));
    EXPECT_EQ(host.AdvanceCount(), 8);
    EXPECT_EQ(host.progress.back(), "SetPosition(0)");
}

// The next piece with a line is hashed on a second thread while one is checked; its digest must
// only ever count for that piece, whatever lies between and whatever it turns out to be.
TEST_F(ContentIntegrityTest, EachDigestCountsForItsOwnPieceOnly) {
    Prepare(1500000, 200000, true);  // eight pieces, the last of 100000 bytes
    const Bytes last = testing::ReadBytes(Piece(8));
    FlipByte(3, 7);
    RemoveFile(Piece(5));
    // Piece 7 is hashed ahead while piece 6 is checked, then found to have the wrong size; it
    // holds what piece 8 should, and piece 8 has the same size but a flipped byte.
    testing::WriteBytes(Piece(7), last);
    FlipByte(8, 5);
    const ContentVerification checked = VerifyWithChecksums(temp / "x.kdh", host);
    using enum PieceMark;
    EXPECT_EQ(Marks(checked.verification),
              (std::vector<PieceMark>{Good, Good, Bad, Good, Bad, Good, Bad, Bad}));
    EXPECT_EQ(checked.contentBad, (std::vector<std::uint32_t>{3, 8}));
    // A line missing between two pieces: the one after it is still checked by content.
    const std::string lines = ChecksumLine(DigestOf(whole, 0, 200000), "x_1.skf") +
                              ChecksumLine(DigestOf(whole, 600000, 200000), "x_4.skf");
    WriteText("x.sha256", lines);
    FlipByte(4, 0);
    EXPECT_EQ(VerifyWithChecksums(temp / "x.kdh", host).contentBad,
              (std::vector<std::uint32_t>{4}));
}

#ifndef _WIN32
// Pieces are hashed several at a time, a piece and the next beside it on one thread: when the
// next piece is replaced after it was opened for that, the digest of the file read must not count
// for the file the verification then opens in its turn. (Windows does not let a file that is open
// for reading be replaced.)
TEST_F(ContentIntegrityTest, APieceReplacedAfterItWasHashedAheadIsHashedAgain) {
    if (!Sha256Pair::Interleaves()) {
        GTEST_SKIP() << "one piece at a time per thread without the SHA instructions";
    }
    Prepare(1500000, 200000, true);  // eight pieces, each read in one block
    Bytes damaged = testing::ReadBytes(Piece(2));
    damaged[9] ^= 0x01;
    testing::WriteBytes(temp / "replacement", damaged);
    // Polled once the first piece's block is read, while the second is open but not yet read.
    struct ReplacingHost : RecordingHost {
        std::function<void()> onFirstStep;
        bool StopRequested() override {
            if (AdvanceCount() > 0 && onFirstStep) {
                std::exchange(onFirstStep, nullptr)();
            }
            return false;
        }
    } replacing;
    replacing.onFirstStep = [&] { ASSERT_FALSE(RenameOver(temp / "replacement", Piece(2))); };
    const ContentVerification checked = VerifyWithChecksums(temp / "x.kdh", replacing);
    ASSERT_FALSE(replacing.onFirstStep);
    EXPECT_EQ(checked.contentBad, (std::vector<std::uint32_t>{2}));
    EXPECT_EQ(checked.verification.pieces.value()[1].fault, PieceFault::ContentDiffers);
}
#endif

TEST_F(ContentIntegrityTest, WithoutAChecksumFileOnlySizesAreChecked) {
    Prepare(700000, 300000, false);
    FlipByte(2, 5);
    const ContentVerification checked = VerifyWithChecksums(temp / "x.kdh", host);
    EXPECT_EQ(checked.verification.outcome, VerifyOutcome::Passed);
    EXPECT_TRUE(host.progress.empty());  // no piece was read
}

TEST_F(ContentIntegrityTest, PiecesWithoutALineAndGarbageLinesFallBackToSizes) {
    Prepare(700000, 300000, false);
    const std::string good = HexDigest(DigestOf(whole, 0, 300000));
    WriteText("x.sha256", "garbage\n" + std::string(64, '0') + "  ../x_2.skf\n" + good +
                              "  x_1.skf\n" + std::string(64, 'f') + "  x_9.skf\n");
    FlipByte(2, 5);  // no line of its own: checked by size only
    const ContentVerification checked = VerifyWithChecksums(temp / "x.kdh", host);
    EXPECT_EQ(checked.verification.outcome, VerifyOutcome::Passed);
    FlipByte(1, 5);
    EXPECT_EQ(VerifyWithChecksums(temp / "x.kdh", host).contentBad,
              (std::vector<std::uint32_t>{1}));
}

TEST_F(ContentIntegrityTest, AFlippedByteStopsTheMergeBeforeTheOutputIsCreated) {
    Prepare(700000, 300000, true);
    FlipByte(3, 0);
    EXPECT_EQ(Merge(), Outcome::Failed);
    EXPECT_FALSE(testing::Exists(temp / "x.bin"));
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(ContentIntegrityTest, WithoutVerificationTheRebuiltFileIsCheckedAndNoPieceGoes) {
    options.verifyBeforeMerge = 0;
    options.deleteAfterMerge = 1;
    Prepare(700000, 300000, true);
    FlipByte(2, 7);
    EXPECT_EQ(Merge(), Outcome::Failed);
    EXPECT_EQ(host.Errors(), (Texts{"Merged file checksum error!"}));
    for (int number = 1; number <= 3; ++number) {
        EXPECT_TRUE(testing::Exists(Piece(number))) << number;
    }
    EXPECT_TRUE(testing::Exists(temp / "x.kdh"));
}

TEST_F(ContentIntegrityTest, AWholeFileLineThatDiffersFailsTheMergeAndKeepsTheLastPieces) {
    options.verifyBeforeMerge = 0;
    options.deleteAfterMerge = 1;
    Prepare(700000, 300000, false);
    // The pieces have no lines: only the whole file's line can vouch for them, and it is wrong.
    WriteText("x.sha256", std::string(64, 'a') + "  x.bin\n");
    EXPECT_EQ(Merge(), Outcome::Failed);
    EXPECT_EQ(host.Errors(), (Texts{"Merged file checksum error!"}));
    for (int number = 1; number <= 3; ++number) {
        EXPECT_TRUE(testing::Exists(Piece(number))) << number;
    }
}

TEST_F(ContentIntegrityTest, ASuccessfulMergeTakesTheChecksumFileWithTheHeadFile) {
    options.deleteAfterMerge = 1;
    Prepare(700000, 300000, true);
    WriteText("x.bat", "rem kept");
    ASSERT_EQ(Merge(), Outcome::Succeeded);
    EXPECT_EQ(testing::ReadBytes(temp / "x.bin"), whole);
    for (const char* gone : {"x_1.skf", "x_2.skf", "x_3.skf", "x.kdh", "x.sha256", "x.kdj"}) {
        EXPECT_FALSE(testing::Exists(temp / gone)) << gone;
    }
    EXPECT_TRUE(testing::Exists(temp / "x.bat"));
}

TEST(MergeJournalTest, ReadsBackWhatItWritesAndRefusesWhatDoesNotAgree) {
    const HeadFileInfo head = MakeHeadFileInfo(2500, 3, 1000, "");
    Sha256Digest start;
    start.fill(0x5A);
    const MergeJournal journal{head, {7, 9}, 0, 2, 2000, start, 2000};
    EXPECT_EQ(DecodeJournal(EncodeJournal(journal)), journal);
    const MergeJournal all{head, {7, 9}, 3, 3, 2500, start, 2500};
    EXPECT_EQ(DecodeJournal(EncodeJournal(all)), all);
    // The journal a run writes before its first piece counts nothing and vouches for nothing.
    const MergeJournal begun{head, {7, 9}, 1, 0, 0, start, 0};
    EXPECT_EQ(DecodeJournal(EncodeJournal(begun)), begun);

    for (const MergeJournal& wrong :
         {MergeJournal{head, {7, 9}, 0, 2, 2001, start, 2000},  // length
          MergeJournal{head, {7, 9}, 0, 0, 0, start, 1},        // a fingerprint of no piece
          MergeJournal{head, {7, 9}, 0, 0, 1000, start, 0},     // bytes of no piece
          MergeJournal{head, {7, 9}, 0, 4, 2500, start, 2500},  // beyond the count
          MergeJournal{head, {7, 9}, 0, 2, 2000, start, 2001},  // fingerprint past the output
          MergeJournal{head, {7, 9}, 0, 2, 2000, start, 0},     // a fingerprint of nothing
          MergeJournal{head, {7, 9}, 0, 2, 2000, start, 999},   // short of the first piece
          MergeJournal{head, {7, 9}, kPartialNames, 2, 2000, start, 2000},  // no such name
          MergeJournal{{2500, 3, 1000, 7, ""}, {7, 9}, 0, 1, 1000, start, 1000}}) {
        EXPECT_FALSE(DecodeJournal(EncodeJournal(wrong)));
    }
    const std::string text = EncodeJournal(journal);
    EXPECT_FALSE(DecodeJournal(text + "more\n"));
    EXPECT_FALSE(DecodeJournal("x" + text));
    EXPECT_FALSE(DecodeJournal(text.substr(0, text.size() - 5)));
    EXPECT_FALSE(DecodeJournal(""));
}

TEST_F(ContentIntegrityTest, AnInterruptedMergeIsTakenUpAndEndsByteIdentical) {
    for (const bool checksums : {false, true}) {
        SCOPED_TRACE(checksums);
        options = OptionSet{};
        options.deleteAfterMerge = 1;
        host = RecordingHost{};
        Prepare(700000, 300000, checksums);
        Interrupt(1, 4567);
        // Verification does not call the merged piece Bad: its bytes are in the file the merge
        // into x.bin builds.
        EXPECT_EQ(VerifyWithChecksums(temp / "x.kdh", host, temp / "x.bin").verification.outcome,
                  VerifyOutcome::Passed);
        ASSERT_EQ(Merge(), Outcome::Succeeded)
            << ::testing::PrintToString(host.Errors()) << host.fileErrors.size();
        EXPECT_EQ(host.questions, (std::vector<testing::Shown>{{kContinue, "Message"}}));
        EXPECT_EQ(testing::ReadBytes(temp / "x.bin"), whole);
        for (const char* gone : {"x_2.skf", "x_3.skf", "x.kdh", "x.sha256", "x.kdj"}) {
            EXPECT_FALSE(testing::Exists(temp / gone)) << gone;
        }
    }
}

#ifndef _WIN32

// A merge that fails part way through a piece, here because no file may grow past `limit`
// bytes, in a child process; the outcome it ends with.
Outcome MergeInChildLimitedTo(const std::function<Outcome()>& merge, rlim_t limit) {
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit fileSize{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &fileSize);
        ::_exit(static_cast<int>(merge()));
    }
    int status = -1;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return Outcome::Cancelled;
    }
    return static_cast<Outcome>(WEXITSTATUS(status));
}

// Each failed run removes the pieces it has put in the output, so only its journal tells the next
// run where to go on. Failing in the middle of a piece, and a first failure before the output
// holds a whole fingerprint's worth of bytes, must not make that journal unusable.
TEST_F(ContentIntegrityTest, AMergeThatFailsPartWayThroughAPieceIsTakenUpEachTime) {
    for (const bool checksums : {false, true}) {
        SCOPED_TRACE(checksums);
        options = OptionSet{};
        options.deleteAfterMerge = 1;
        host = RecordingHost{};
        Prepare(200000, 20000, checksums);  // eleven pieces, the last empty
        // Each failure is reported as what it is: the output could not grow.
        const auto merge = [this] {
            const Outcome outcome = Merge();
            const bool full = !host.fileErrors.empty() &&
                              host.fileErrors.back().cause == FileErrorCause::DiskFull &&
                              host.fileErrors.back().path == Partial();
            return outcome == Outcome::Failed && !full ? Outcome::Cancelled : outcome;
        };
        ASSERT_EQ(MergeInChildLimitedTo(merge, 50000), Outcome::Failed);
        EXPECT_FALSE(testing::Exists(Piece(2)));
        ASSERT_EQ(MergeInChildLimitedTo(merge, 150000), Outcome::Failed);
        EXPECT_FALSE(testing::Exists(Piece(7)));
        ASSERT_EQ(Merge(), Outcome::Succeeded)
            << ::testing::PrintToString(host.Errors())
            << (host.fileErrors.empty() ? "" : FileErrorText(host.fileErrors.back()));
        EXPECT_EQ(testing::ReadBytes(temp / "x.bin"), whole);
        EXPECT_FALSE(testing::Exists(temp / "x.kdj"));
        EXPECT_FALSE(testing::Exists(Partial()));
    }
}

#endif

// A journal's word that pieces are in a merge's file counts only while that file is there and
// holds them: otherwise those pieces are missing.
TEST_F(ContentIntegrityTest, PiecesAJournalCountsAreGoodOnlyWhileItsMergeCanBeTakenUp) {
    Prepare(700000, 300000, false);
    Interrupt(1, 0);
    using enum PieceMark;
    EXPECT_EQ(Marks(VerifyWithChecksums(temp / "x.kdh", host, temp / "x.bin").verification),
              (std::vector<PieceMark>{Good, Good, Good}));
    EXPECT_EQ(Marks(VerifyWithChecksums(temp / "x.kdh", host, temp / "other.bin").verification),
              (std::vector<PieceMark>{Bad, Good, Good}));
    RemoveFile(Partial());
    const ContentVerification checked = VerifyWithChecksums(temp / "x.kdh", host, temp / "x.bin");
    EXPECT_EQ(Marks(checked.verification), (std::vector<PieceMark>{Bad, Good, Good}));
    EXPECT_EQ(checked.verification.outcome, VerifyOutcome::Failed);
}

// A journal that somebody else wrote, for a file of theirs, while the pieces it counts are still
// there: those pieces are read and found to differ, so the journal is not taken up, nothing of
// that file is kept and no piece is removed unread.
TEST_F(ContentIntegrityTest, AForgedJournalNeverHasPiecesRemovedUnread) {
    options.verifyBeforeMerge = 0;
    Prepare(700000, 300000, false);
    const Bytes forged = testing::RandomBytes(600000, 66);
    testing::WriteBytes(Partial(), forged);
    WriteJournalFor(Partial(), 2, 600000);
    EXPECT_EQ(Merge(), Outcome::Succeeded) << ::testing::PrintToString(host.Errors());
    EXPECT_TRUE(host.questions.empty());
    EXPECT_EQ(testing::ReadBytes(temp / "x.bin"), whole);
    EXPECT_EQ(testing::ReadBytes(Partial()), forged);
    EXPECT_TRUE(testing::Exists(Piece(1)));
    // With the delete option the journal's name is taken by a file this merge cannot vouch
    // for: it does not start, and every piece stays.
    options.deleteAfterMerge = 1;
    RemoveFile(temp / "x.bin");
    EXPECT_EQ(Merge(), Outcome::Failed);
    EXPECT_TRUE(host.questions.empty());
    for (int number = 1; number <= 3; ++number) {
        EXPECT_TRUE(testing::Exists(Piece(number))) << number;
    }
}

// Runs killed before their first piece went each leave the file they build. The journal written
// as that file is made hands it to the next run, which empties and fills it without a question,
// instead of making one more file beside it until no name is left.
TEST_F(ContentIntegrityTest, ARunKilledBeforeItsFirstPieceWentLeavesItsFileToTheNext) {
    options.deleteAfterMerge = 1;
    Prepare(700000, 300000, true);
    testing::WriteBytes(Partial(), testing::RandomBytes(123456, 7));
    WriteJournalFor(Partial(), 0, 0);
    ASSERT_EQ(Merge(), Outcome::Succeeded) << ::testing::PrintToString(host.Errors());
    EXPECT_TRUE(host.questions.empty());
    EXPECT_EQ(testing::ReadBytes(temp / "x.bin"), whole);
    for (const char* gone : {"x.bin.kdpart", "x.bin.1.kdpart", "x.kdj", "x_1.skf", "x.kdh"}) {
        EXPECT_FALSE(testing::Exists(temp / gone)) << gone;
    }
}

// Such a journal whose file is gone holds nothing, so it does not stop the next merge; and a
// run that fails before a piece went takes its journal and its file away with it.
TEST_F(ContentIntegrityTest, AnEmptyJournalNeverBlocksAMergeNorOutlivesItsFailedRun) {
    options.deleteAfterMerge = 1;
    options.verifyBeforeMerge = 0;
    Prepare(700000, 300000, false);
    testing::WriteBytes(Partial(), Bytes());
    WriteJournalFor(Partial(), 0, 0);
    RemoveFile(Partial());
    const Bytes first = testing::ReadBytes(Piece(1));
    testing::WriteBytes(Piece(1), Bytes(first.begin(), first.begin() + 1000));
    EXPECT_EQ(Merge(), Outcome::Failed);
    EXPECT_EQ(host.Errors(), (Texts{"Read file error!"}));
    EXPECT_FALSE(testing::Exists(temp / "x.kdj"));
    EXPECT_FALSE(testing::Exists(Partial()));
    EXPECT_TRUE(testing::Exists(Piece(2)));
    testing::WriteBytes(Piece(1), first);
    ASSERT_EQ(Merge(), Outcome::Succeeded) << ::testing::PrintToString(host.Errors());
    EXPECT_EQ(testing::ReadBytes(temp / "x.bin"), whole);
}

TEST_F(ContentIntegrityTest, CancelAtTheContinueQuestionChangesNothing) {
    options.deleteAfterMerge = 1;
    Prepare(700000, 300000, true);
    Interrupt(2, 10);
    host.AnswerNext(false);
    EXPECT_EQ(Merge(), Outcome::Cancelled);
    EXPECT_EQ(testing::SizeOf(Partial()), 600010u);
    EXPECT_FALSE(testing::Exists(temp / "x.bin"));
    EXPECT_TRUE(testing::Exists(temp / "x.kdj"));
    EXPECT_TRUE(testing::Exists(Piece(3)));
}

TEST_F(ContentIntegrityTest, OutputBytesThatDoNotMatchTheirLinesAreNotTakenUp) {
    options.deleteAfterMerge = 1;
    Prepare(700000, 300000, true);
    Interrupt(2, 0);
    auto output = testing::ReadBytes(Partial());
    output[400000] ^= 1;
    testing::WriteBytes(Partial(), output);
    // Rewriting changed nothing of the file's identity on this file system; the journal still
    // names it, so the merge is taken up and the bad bytes are found.
    EXPECT_EQ(Merge(), Outcome::Failed);
    EXPECT_EQ(host.Errors(), (Texts{"Merged file checksum error!"}));
    EXPECT_EQ(testing::ReadBytes(Partial()), output);
    EXPECT_FALSE(testing::Exists(temp / "x.bin"));
    EXPECT_TRUE(testing::Exists(Piece(3)));
}

TEST_F(ContentIntegrityTest, AJournalForAnotherOutputIsNoRecord) {
    options.deleteAfterMerge = 1;
    options.verifyBeforeMerge = 0;
    Prepare(700000, 300000, false);
    Interrupt(1, 0);
    // Another file now stands at the name of the merge's file, maybe under the same inode
    // number: nothing in it is taken for merged pieces, nor in one at the output's name.
    RemoveFile(Partial());
    testing::WriteBytes(Partial(), testing::RandomBytes(300000, 99));
    testing::WriteBytes(temp / "x.bin", testing::RandomBytes(300000, 99));
    EXPECT_EQ(Merge(), Outcome::Failed);
    EXPECT_EQ(host.questions,
              (std::vector<testing::Shown>{
                  {"Do you want to overwrite same name file?", "Overwrite Warning"}}));
    EXPECT_EQ(host.Errors(), (Texts{"Read file error!"}));
}

}  // namespace
}  // namespace kavendrum
