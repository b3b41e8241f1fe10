// What a merge writes and removes: only files it made or read, never through a link, never a
// partial file under the output's name; and what it does when it is asked to stop.
#include <filesystem>
#include <functional>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "engine/checksum_file.h"
#include "engine/head_file.h"
#include "engine/io/sha256.h"
#include "engine/merge_operation.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"

namespace kavendrum {
namespace {

using testing::TempFolder;
using Bytes = std::vector<char>;
using Texts = std::vector<std::string>;

constexpr const char* kContinue =
    "The last merge of these files was interrupted, do you want to continue it?";

// A recording host that also keeps the file each question was about, can be told to ask the
// run to stop after a number of progress steps, and can act at a given step.
class TestHost : public testing::RecordingHost {
  public:
    bool AskOkCancelAbout(const std::string& text, const std::string& caption,
                          const std::string& path) override {
        questionPaths.push_back(path);
        return AskOkCancel(text, caption);
    }
    int Advance() override {
        ++steps;
        if (atStep && steps == atStep->first) {
            atStep->second();
        }
        return RecordingHost::Advance();
    }
    bool StopRequested() override { return stopAfter >= 0 && steps >= stopAfter; }

    std::vector<std::string> questionPaths;
    int steps = 0;
    int stopAfter = -1;  // never
    std::optional<std::pair<int, std::function<void()>>> atStep;
};

Sha256Digest DigestOf(const Bytes& bytes, std::size_t from, std::size_t size) {
    Sha256 sha;
    sha.Update(bytes.data() + from, size);
    return *sha.Finish();
}

class MergeSafetyTest : public ::testing::Test {
  protected:
    MergeSafetyTest() {
        options.overwriteMode = 0;
        options.verifyBeforeMerge = 0;
        options.deleteAfterMerge = 1;
    }
    // x.kdh and its pieces for `size` random bytes, the rebuilt file's extension `extension`.
    void Prepare(std::uint32_t size, std::uint32_t pieceSize, const std::string& extension) {
        whole = testing::RandomBytes(size, 7);
        info = MakeHeadFileInfo(size, size / pieceSize + 1, pieceSize, extension);
        testing::WriteBytes(temp / "x.kdh", EncodeHeadFile(info));
        for (std::uint32_t i = 0; i < info.pieceCount; ++i) {
            const std::size_t from = std::size_t{i} * pieceSize;
            const std::size_t bytes = i + 1 < info.pieceCount ? pieceSize : size - from;
            testing::WriteBytes(Piece(i + 1),
                                Bytes(whole.begin() + from, whole.begin() + from + bytes));
        }
    }
    // x.sha256 with a line for each piece and one for the whole file under `wholeName`.
    void WriteChecksums(const std::string& wholeName) {
        std::string lines;
        for (std::uint32_t i = 0; i < info.pieceCount; ++i) {
            const std::size_t from = std::size_t{i} * info.pieceSize;
            const std::size_t bytes =
                i + 1 < info.pieceCount ? info.pieceSize : whole.size() - from;
            lines +=
                ChecksumLine(DigestOf(whole, from, bytes), "x_" + std::to_string(i + 1) + ".skf");
        }
        lines += ChecksumLine(DigestOf(whole, 0, whole.size()), wholeName);
        testing::WriteBytes(temp / "x.sha256", Bytes(lines.begin(), lines.end()));
    }
    std::string Piece(std::uint32_t number) const {
        return temp / ("x_" + std::to_string(number) + ".skf");
    }
    Outcome Merge(const std::string& output = "out.bin") {
        return RunMerge({temp / "x.kdh", temp.path(), temp / output}, &options, host).outcome;
    }
    void ExpectNoPieceLeft() {
        for (std::uint32_t number = 1; number <= info.pieceCount; ++number) {
            EXPECT_FALSE(testing::Exists(Piece(number))) << number;
        }
    }

    TempFolder temp;
    OptionSet options;
    TestHost host;
    Bytes whole;
    HeadFileInfo info;
};

// A file named like one of its set's own files is rebuilt under that name, and the merge's
// cleanup does not take it for the set's file and remove it.
TEST_F(MergeSafetyTest, ARebuiltFileNamedLikeTheChecksumFileOrJournalIsKept) {
    for (const std::string extension : {"sha256", "kdj"}) {
        SCOPED_TRACE(extension);
        host = TestHost{};
        Prepare(700000, 300000, extension);
        WriteChecksums("x." + extension);
        ASSERT_EQ(Merge("x." + extension), Outcome::Succeeded)
            << ::testing::PrintToString(host.Errors());
        EXPECT_EQ(testing::ReadBytes(temp / ("x." + extension)), whole);
        ExpectNoPieceLeft();
        EXPECT_FALSE(testing::Exists(temp / "x.kdh"));
        std::filesystem::remove(temp / ("x." + extension));
        std::filesystem::remove(temp / "x.sha256");
    }
}

TEST_F(MergeSafetyTest, AUsersOwnFilesNamedLikeTheJournalAreNeverRemovedOrReplaced) {
    Prepare(2500, 1000, "bin");
    const Bytes mine{'m', 'i', 'n', 'e'};
    testing::WriteBytes(temp / "x.kdj", mine);
    testing::WriteBytes(temp / "x.kdj.new", mine);
    // Without the delete option no journal is written, and none is removed.
    options.deleteAfterMerge = 0;
    std::filesystem::create_directory(temp / "d");
    ASSERT_EQ(RunMerge({temp / "x.kdh", temp / "d", temp / "d/x.bin"}, &options, host).outcome,
              Outcome::Succeeded);
    EXPECT_EQ(testing::ReadBytes(temp / "d/x.bin"), whole);
    // With it, the journal cannot be kept beside a file of the user's under its name: the merge
    // does not start, and nothing is created or removed.
    options.deleteAfterMerge = 1;
    EXPECT_EQ(Merge(), Outcome::Failed);
    EXPECT_EQ(host.Errors(), Texts{"Create file error,merge failed!"});
    EXPECT_FALSE(testing::Exists(temp / "out.bin"));
    EXPECT_TRUE(testing::Exists(Piece(1)));
    EXPECT_EQ(testing::ReadBytes(temp / "x.kdj"), mine);
    EXPECT_EQ(testing::ReadBytes(temp / "x.kdj.new"), mine);
}

// The name of a piece is given to another file after the piece was read and before it is
// removed: that file is left, and the run, though the rebuilt file is whole, is no success.
TEST_F(MergeSafetyTest, APieceReplacedAfterItWasReadIsLeftAndTheRunFails) {
    Prepare(2500, 1000, "bin");
    const Bytes other = testing::RandomBytes(1000, 99);
    host.atStep = {1, [&] {
                       testing::WriteBytes(temp / "other", other);
                       std::filesystem::rename(temp / "other", Piece(1));
                   }};
    EXPECT_EQ(Merge(), Outcome::Failed);
    EXPECT_EQ(host.Errors(), Texts{"Can not remove file!"});
    EXPECT_EQ(testing::ReadBytes(temp / "out.bin"), whole);
    EXPECT_EQ(testing::ReadBytes(Piece(1)), other);
    EXPECT_FALSE(testing::Exists(Piece(2)));
    EXPECT_FALSE(testing::Exists(Piece(3)));
}

// A run that is asked to stop returns at once. Without the delete option nothing it made is
// left; with it, the file holding the removed pieces' bytes stays beside the output with its
// journal, and the next run finishes the merge. Never is a partial file under the output's name.
TEST_F(MergeSafetyTest, AStoppedMergeLeavesNoPartialFileAndIsTakenUpWhenPiecesWentAlready) {
    Prepare(3000000, 100000, "bin");
    options.deleteAfterMerge = 0;
    host.stopAfter = 5;
    EXPECT_EQ(Merge(), Outcome::Interrupted);
    EXPECT_FALSE(testing::Exists(temp / "out.bin"));
    EXPECT_FALSE(testing::Exists(temp / "out.bin.kdpart"));
    EXPECT_TRUE(testing::Exists(Piece(1)));

    options.deleteAfterMerge = 1;
    host.steps = 0;
    EXPECT_EQ(Merge(), Outcome::Interrupted);
    EXPECT_FALSE(testing::Exists(temp / "out.bin"));
    EXPECT_TRUE(testing::Exists(temp / "out.bin.kdpart"));
    EXPECT_TRUE(testing::Exists(temp / "x.kdj"));
    EXPECT_FALSE(testing::Exists(Piece(1)));
    EXPECT_TRUE(testing::Exists(Piece(30)));
    EXPECT_TRUE(host.Errors().empty());

    host = TestHost{};
    options.verifyBeforeMerge = 1;
    ASSERT_EQ(Merge(), Outcome::Succeeded) << ::testing::PrintToString(host.Errors());
    EXPECT_EQ(host.questions, (std::vector<testing::Shown>{{kContinue, "Message"}}));
    EXPECT_EQ(testing::ReadBytes(temp / "out.bin"), whole);
    for (const char* gone : {"out.bin.kdpart", "x.kdj", "x.kdh"}) {
        EXPECT_FALSE(testing::Exists(temp / gone)) << gone;
    }
    ExpectNoPieceLeft();
}

TEST_F(MergeSafetyTest, AStopDuringTheContentCheckCreatesNothing) {
    Prepare(3000000, 1000000, "bin");
    WriteChecksums("out.bin");
    options.verifyBeforeMerge = 1;
    host.stopAfter = 1;
    EXPECT_EQ(Merge(), Outcome::Interrupted);
    EXPECT_LT(host.steps, 10);  // the check of three 1 MB pieces takes 15 steps
    EXPECT_FALSE(testing::Exists(temp / "out.bin"));
    EXPECT_FALSE(testing::Exists(temp / "out.bin.kdpart"));
    EXPECT_TRUE(testing::Exists(Piece(1)));
}

// A set whose size the piece size divides ends with an empty piece; missing, it holds no byte.
TEST_F(MergeSafetyTest, AMissingEmptyLastPieceIsNoMissingByte) {
    Prepare(2000, 1000, "bin");
    ASSERT_EQ(info.pieceCount, 3u);
    std::filesystem::remove(Piece(3));
    const Verification verification = VerifyPieces(temp / "x.kdh", host);
    EXPECT_EQ(verification.outcome, VerifyOutcome::Passed);
    EXPECT_EQ(verification.pieces.value().back(), (PieceEntry{Piece(3), "0", PieceMark::Good}));
    options.verifyBeforeMerge = 1;
    ASSERT_EQ(Merge(), Outcome::Succeeded) << ::testing::PrintToString(host.Errors());
    EXPECT_EQ(testing::ReadBytes(temp / "out.bin"), whole);
    EXPECT_FALSE(testing::Exists(temp / "x.kdh"));
}

#ifndef _WIN32

bool IsSymbolicLink(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

// Each name a merge writes (the output, the file it builds beside it, the journal's scratch
// file) holding a live link, a dangling link or a second name of another file: nothing is
// written through it, and the merge still ends with the whole file under its name.
TEST_F(MergeSafetyTest, LinksAtTheNamesAMergeWritesAreNeverWrittenThrough) {
    const Bytes precious{'p', 'r', 'e', 'c', 'i', 'o', 'u', 's'};
    std::filesystem::create_directory(temp / "elsewhere");
    const std::string victim = temp / "elsewhere/victim";
    const std::string dangling = temp / "elsewhere/made";
    for (const char* name : {"out.bin", "out.bin.kdpart", "x.kdj.new"}) {
        for (const int kind : {0, 1, 2}) {
            SCOPED_TRACE(std::string(name) + " " + std::to_string(kind));
            host = TestHost{};
            Prepare(700000, 300000, "bin");
            testing::WriteBytes(victim, precious);
            if (kind == 0) {
                ASSERT_EQ(::symlink(victim.c_str(), (temp / name).c_str()), 0);
            } else if (kind == 1) {
                ASSERT_EQ(::symlink(dangling.c_str(), (temp / name).c_str()), 0);
            } else {
                std::filesystem::create_hard_link(victim, temp / name);
            }
            ASSERT_EQ(Merge(), Outcome::Succeeded) << ::testing::PrintToString(host.Errors());
            EXPECT_EQ(testing::ReadBytes(victim), precious);
            EXPECT_FALSE(testing::Exists(dangling));
            EXPECT_FALSE(IsSymbolicLink(temp / "out.bin"));
            EXPECT_EQ(testing::ReadBytes(temp / "out.bin"), whole);
            ExpectNoPieceLeft();
            std::filesystem::remove(temp / "out.bin");
            std::filesystem::remove(temp / name);
        }
    }
    // A link under the journal's own name is somebody else's file: the merge does not start.
    ASSERT_EQ(::symlink(victim.c_str(), (temp / "x.kdj").c_str()), 0);
    Prepare(700000, 300000, "bin");
    EXPECT_EQ(Merge(), Outcome::Failed);
    EXPECT_EQ(testing::ReadBytes(victim), precious);
    EXPECT_TRUE(testing::Exists(Piece(1)));
}

// The question before an existing output is replaced says what stands there when it is a link,
// for the hosts that show more than the box's text.
TEST_F(MergeSafetyTest, TheOverwriteQuestionNamesALinkAsOne) {
    Prepare(2500, 1000, "bin");
    options.overwriteMode = 1;
    options.deleteAfterMerge = 0;
    testing::WriteBytes(temp / "private", Bytes{'p'});
    ASSERT_EQ(::symlink("private", (temp / "out.bin").c_str()), 0);
    host.AnswerNext(false);
    EXPECT_EQ(Merge(), Outcome::Cancelled);
    std::filesystem::create_hard_link(temp / "private", temp / "second.bin");
    host.AnswerNext(true);
    EXPECT_EQ(Merge("second.bin"), Outcome::Succeeded);
    EXPECT_EQ(host.questions,
              (std::vector<testing::Shown>(
                  2, {"Do you want to overwrite same name file?", "Overwrite Warning"})));
    // The host is given the name; a host that says more (the command line) tells what is there.
    EXPECT_EQ(host.questionPaths, (Texts{temp / "out.bin", temp / "second.bin"}));
    EXPECT_EQ(testing::ReadBytes(temp / "private"), Bytes{'p'});
    EXPECT_EQ(testing::ReadBytes(temp / "second.bin"), whole);
}

#endif

}  // namespace
}  // namespace kavendrum
