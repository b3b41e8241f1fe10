#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#endif

#include "engine/checksum_file.h"
#include "engine/content_verification.h"
#include "engine/head_file.h"
#include "engine/merge_operation.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"
#ifndef _WIN32
#include "support/locking_process.h"
#endif

namespace kavendrum {
namespace {

using testing::TempFolder;

Sha256Digest DigestOf(std::uint8_t fill) {
    Sha256Digest digest;
    digest.fill(fill);
    return digest;
}

const std::string kHexA(64, 'a');  // DigestOf(0xAA)
const std::string kHexB(64, 'b');  // DigestOf(0xBB)

PieceChecksums Parse(const std::vector<std::string>& lines, std::uint32_t pieceCount = 3,
                     const std::string& base = "movie") {
    PieceChecksums checksums({base, pieceCount, base + ".avi"});
    for (const auto& line : lines) {
        checksums.AddLine(line);
    }
    checksums.Seal();
    return checksums;
}

TEST(ChecksumLineTest, WritesWhatSha256sumWrites) {
    EXPECT_EQ(ChecksumLine(DigestOf(0xAA), "movie_1.skf"), kHexA + "  movie_1.skf\n");
    EXPECT_EQ(ChecksumLine(DigestOf(0xAA), "my movie_1.skf"), kHexA + "  my movie_1.skf\n");
    // A backslash, a line feed or a carriage return: the line starts with a backslash and each
    // of them is escaped.
    EXPECT_EQ(ChecksumLine(DigestOf(0xAA), "a\\b_1.skf"), "\\" + kHexA + "  a\\\\b_1.skf\n");
    EXPECT_EQ(ChecksumLine(DigestOf(0xAA), "a\nb\r.avi"), "\\" + kHexA + "  a\\nb\\r.avi\n");
}

TEST(ChecksumFileTest, ReadsBackWhatItWritesForPiecesAndTheWholeFile) {
    for (const std::string base : {"movie", "my mo\\vie", "two\nlines", "odd\\n"}) {
        PieceChecksums checksums({base, 2, base + ".avi"});
        for (const auto& line : {ChecksumLine(DigestOf(1), base + "_1.skf"),
                                 ChecksumLine(DigestOf(2), base + "_2.skf"),
                                 ChecksumLine(DigestOf(3), base + ".avi")}) {
            checksums.AddLine(line.substr(0, line.size() - 1));
        }
        checksums.Seal();
        EXPECT_EQ(checksums.ForPiece(1), DigestOf(1)) << base;
        EXPECT_EQ(checksums.ForPiece(2), DigestOf(2)) << base;
        EXPECT_EQ(checksums.ForWholeFile(), DigestOf(3)) << base;
    }
}

TEST(ChecksumFileTest, AcceptsBinaryMarksUpperCaseDigestsAndWindowsLineEnds) {
    std::string upper(64, 'B');
    const auto checksums =
        Parse({kHexA + " *movie_1.skf", upper + "  movie_2.skf", kHexA + "  movie.avi\r"});
    EXPECT_EQ(checksums.ForPiece(1), DigestOf(0xAA));
    EXPECT_EQ(checksums.ForPiece(2), DigestOf(0xBB));
    EXPECT_EQ(checksums.ForWholeFile(), DigestOf(0xAA));
}

TEST(ChecksumFileTest, IgnoresGarbageAndNamesThatAreNotPiecesOfThisHeadFile) {
    const auto checksums = Parse({
        "",
        "garbage",
        kHexA,                               // no name
        kHexA + " movie_1.skf",              // one space only
        kHexA.substr(1) + "  movie_1.skf",   // 63 digits
        kHexA.substr(1) + "z  movie_1.skf",  // not hexadecimal
        "SHA256 (movie_1.skf) = " + kHexA,   // another layout
        kHexA + "  ../movie_1.skf",          // a folder part
        kHexA + "  /etc/movie_1.skf",
        kHexA + "  sub/movie_1.skf",
        kHexA + "  movie_01.skf",          // leading zero
        kHexA + "  movie_0.skf",           // no piece 0
        kHexA + "  movie_4.skf",           // beyond the count
        kHexA + "  movie_4294967297.skf",  // beyond 32 bits
        kHexA + "  movie_+2.skf",
        kHexA + "  movie_2.skf.bak",
        kHexA + "  movie_2.SKF",
        kHexA + "  other_2.skf",
        kHexA + "  movie_.skf",
        kHexA + "  movie.avi.part",
        "\\" + kHexA + "  movie_\\x2.skf",  // an escape sha256sum never writes
        "\\" + kHexA + "  movie_2.skf\\",
    });
    EXPECT_TRUE(checksums.Empty());
    for (std::uint32_t number = 0; number <= 4; ++number) {
        EXPECT_FALSE(checksums.ForPiece(number));
    }
}

TEST(ChecksumFileTest, ANameGivenTwoDifferentDigestsIsDisputedAndRepeatsOfOneAreNot) {
    const auto checksums =
        Parse({kHexB + "  movie_3.skf", kHexA + "  movie_1.skf", kHexB + "  movie_1.skf",
               kHexA + "  movie_2.skf", kHexA + "  movie_2.skf", kHexB + "  movie.avi",
               kHexA + "  movie.avi"});
    EXPECT_FALSE(checksums.ForPiece(1));
    EXPECT_TRUE(checksums.Disputed(1));
    EXPECT_EQ(checksums.ForPiece(2), DigestOf(0xAA));
    EXPECT_FALSE(checksums.Disputed(2));
    EXPECT_EQ(checksums.ForPiece(3), DigestOf(0xBB));
    EXPECT_FALSE(checksums.ForWholeFile());
    EXPECT_TRUE(checksums.WholeFileDisputed());
    EXPECT_TRUE(checksums.NamesAPiece());
    EXPECT_EQ(checksums.Pieces().size(), 2u);

    // A disputed name stays disputed, whatever agrees with one of its lines later.
    const auto again = Parse({kHexA + "  movie_1.skf", kHexB + "  movie_1.skf",
                              kHexA + "  movie_1.skf", kHexA + "  movie_1.skf"});
    EXPECT_TRUE(again.Disputed(1));
    EXPECT_FALSE(again.ForPiece(1));
    EXPECT_TRUE(again.Pieces().empty());
    EXPECT_TRUE(again.NamesAPiece());
}

// Many thousands of lines, in no order and each several times, are settled in several rounds as
// they come: each piece keeps the digest of its lines, and a disagreement found in a later round
// still disputes the piece.
TEST(ChecksumFileTest, LinesSpreadOverALongFileKeepOneDigestPerPiece) {
    constexpr std::uint32_t kPieces = 20000;
    PieceChecksums checksums({"movie", kPieces, "movie.avi"});
    auto line = [](std::uint32_t number, std::uint8_t fill) {
        const std::string text =
            ChecksumLine(DigestOf(fill), "movie_" + std::to_string(number) + ".skf");
        return text.substr(0, text.size() - 1);
    };
    checksums.AddLine(line(5, 1));
    for (int round = 0; round < 3; ++round) {
        for (std::uint32_t step = 0; step < kPieces; ++step) {
            // 7919 is prime to the count, so every piece comes once a round, out of order.
            const std::uint32_t number = (step * 7919 + round) % kPieces + 1;
            checksums.AddLine(line(number, static_cast<std::uint8_t>(number % 251)));
        }
    }
    checksums.AddLine(line(777, 0xEE));
    checksums.Seal();
    EXPECT_EQ(checksums.Pieces().size(), kPieces - 2);
    for (std::uint32_t number = 1; number <= kPieces; ++number) {
        const bool disputed = number == 5 || number == 777;
        ASSERT_EQ(checksums.Disputed(number), disputed) << number;
        if (!disputed) {
            ASSERT_EQ(checksums.ForPiece(number), DigestOf(static_cast<std::uint8_t>(number % 251)))
                << number;
        }
    }
    EXPECT_FALSE(checksums.ForPiece(5));
    EXPECT_FALSE(checksums.ForPiece(777));
}

TEST(ChecksumFileTest, ReadsAFileLineByLineAndSkipsLinesTooLongToBeReal) {
    TempFolder temp;
    std::string text = kHexA + "  movie_1.skf\n";
    text += std::string(kLongestChecksumLine * 5, 'x') + kHexA + "  movie_2.skf\n";
    text += kHexB + "  movie_3.skf";  // the last line needs no line end
    testing::WriteBytes(temp / "movie.sha256", std::vector<char>(text.begin(), text.end()));
    const ChecksumRead read = ReadChecksumFile(temp / "movie.sha256", {"movie", 3, "movie.avi"});
    ASSERT_TRUE(read.checksums);
    EXPECT_FALSE(read.error);
    EXPECT_EQ(read.checksums->ForPiece(1), DigestOf(0xAA));
    EXPECT_FALSE(read.checksums->ForPiece(2));
    EXPECT_EQ(read.checksums->ForPiece(3), DigestOf(0xBB));

    EXPECT_FALSE(ReadChecksumFile(temp / "none.sha256", {"movie", 3, "movie.avi"}).checksums);
}

// x.kdh for 2500 bytes in three pieces, written beside it; the checksum file's lines for them,
// made before the second piece is changed in place when `changeSecond` is set.
std::string WriteSet(const TempFolder& temp, bool changeSecond) {
    const std::vector<char> whole = testing::RandomBytes(2500, 9);
    testing::WriteBytes(temp / "x.kdh", EncodeHeadFile(MakeHeadFileInfo(2500, 3, 1000, "bin")));
    std::string lines;
    for (std::size_t i = 0; i < 3; ++i) {
        std::vector<char> piece(whole.begin() + i * 1000,
                                whole.begin() + std::min<std::size_t>(2500, (i + 1) * 1000));
        Sha256 sha;
        sha.Update(piece.data(), piece.size());
        lines += ChecksumLine(*sha.Finish(), "x_" + std::to_string(i + 1) + ".skf");
        if (i == 1 && changeSecond) {
            piece[10] ^= 0x20;
        }
        testing::WriteBytes(temp / ("x_" + std::to_string(i + 1) + ".skf"), piece);
    }
    return lines;
}

void WriteText(const std::string& path, const std::string& text) {
    testing::WriteBytes(path, std::vector<char>(text.begin(), text.end()));
}

// A piece whose name has two different digests cannot match its lines: it is Bad for its
// content, and a merge that checks on its way stops before removing anything. The same holds
// for the whole file.
TEST(DisputedChecksumTest, APieceOrWholeFileWithTwoDigestsIsNoMatch) {
    TempFolder temp;
    const std::string lines = WriteSet(temp, false);
    WriteText(temp / "x.sha256", lines + std::string(64, 'c') + "  x_2.skf\n");
    testing::RecordingHost host;
    const ContentVerification checked = VerifyWithChecksums(temp / "x.kdh", host);
    EXPECT_EQ(checked.verification.outcome, VerifyOutcome::Failed);
    ASSERT_TRUE(checked.verification.pieces);
    EXPECT_EQ(checked.verification.pieces->at(1).mark, PieceMark::Bad);
    EXPECT_EQ(checked.verification.pieces->at(2).mark, PieceMark::Good);
    EXPECT_EQ(checked.contentBad, std::vector<std::uint32_t>{2});

    OptionSet options;
    options.verifyBeforeMerge = 0;
    options.deleteAfterMerge = 1;
    for (const std::string& text :
         {lines + std::string(64, 'c') + "  x_2.skf\n",
          std::string(64, 'c') + "  x.bin\n" + std::string(64, 'd') + "  x.bin\n"}) {
        WriteText(temp / "x.sha256", text);
        testing::RecordingHost merging;
        EXPECT_EQ(
            RunMerge({temp / "x.kdh", temp.path(), temp / "x.bin"}, &options, merging).outcome,
            Outcome::Failed);
        EXPECT_EQ(merging.Errors(), std::vector<std::string>{"Merged file checksum error!"});
        for (const char* kept : {"x.kdh", "x_1.skf", "x_2.skf", "x_3.skf", "x.sha256"}) {
            EXPECT_TRUE(testing::Exists(temp / kept)) << kept;
        }
    }
}

#ifndef _WIN32
// The ways a checksum file can be there and still not be read.
enum class Unreadable { HeldByAnotherProgram, WithoutPermission, AFolder };

// Three pieces, the second changed in place after the checksum file was written, and that file
// there but unreadable: it is no pass. Verification and every merge fail naming it, and nothing is
// created or removed, whatever the options.
class UnreadableChecksumFileTest : public ::testing::TestWithParam<Unreadable> {
  protected:
    void SetUp() override {
        const std::string lines = WriteSet(temp, true);
        if (GetParam() == Unreadable::AFolder) {
            ASSERT_EQ(::mkdir((temp / "x.sha256").c_str(), 0755), 0);
        } else {
            WriteText(temp / "x.sha256", lines);
        }
        if (GetParam() == Unreadable::WithoutPermission) {
            ASSERT_EQ(::chmod((temp / "x.sha256").c_str(), 0), 0);
            // Root reads it all the same: the check runs as nobody, who may write the folder.
            ASSERT_EQ(::chmod(temp.path().c_str(), 0777), 0);
        }
    }

    // What went wrong, a line each; empty when everything is as it should be.
    std::string Problems() {
        std::string problems;
        const auto expect = [&problems](bool holds, const std::string& what) {
            problems += holds ? "" : what + "\n";
        };
        const std::vector<std::string> said{"Checksum file can not be read!"};
        testing::RecordingHost verifying;
        expect(VerifyWithChecksums(temp / "x.kdh", verifying).verification.outcome ==
                   VerifyOutcome::Failed,
               "verification passed");
        expect(verifying.Errors() == said, "verification did not name the checksum file");
        for (const int deleteAfterMerge : {0, 1}) {
            for (const int verifyBeforeMerge : {0, 1}) {
                const std::string run = " with deleteAfterMerge " +
                                        std::to_string(deleteAfterMerge) + ", verifyBeforeMerge " +
                                        std::to_string(verifyBeforeMerge);
                OptionSet options;
                options.deleteAfterMerge = deleteAfterMerge;
                options.verifyBeforeMerge = verifyBeforeMerge;
                testing::RecordingHost host;
                expect(RunMerge({temp / "x.kdh", temp.path(), temp / "x.bin"}, &options, host)
                               .outcome == Outcome::Failed,
                       "the merge did not fail" + run);
                expect(host.Errors() == said, "the merge did not name the checksum file" + run);
                expect(!testing::Exists(temp / "x.bin"), "the merge created its output" + run);
                for (const char* kept : {"x.kdh", "x_1.skf", "x_2.skf", "x_3.skf", "x.sha256"}) {
                    expect(testing::Exists(temp / kept), std::string(kept) + " is gone" + run);
                }
            }
        }
        return problems;
    }

    TempFolder temp;
};

TEST_P(UnreadableChecksumFileTest, IsNoPass) {
    std::unique_ptr<testing::LockingProcess> holder;
    if (GetParam() == Unreadable::HeldByAnotherProgram) {
        holder = std::make_unique<testing::LockingProcess>(temp / "x.sha256",
                                                           testing::RecordLock::Flock);
        ASSERT_TRUE(holder->holds());
    }
    if (GetParam() != Unreadable::WithoutPermission || ::geteuid() != 0) {
        EXPECT_EQ(Problems(), "");
        return;
    }
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
        const std::string problems = dropped ? Problems() : "could not become nobody\n";
        std::fputs(problems.c_str(), stderr);
        ::_exit(problems.empty() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "see the lines above";
}

INSTANTIATE_TEST_SUITE_P(Ways, UnreadableChecksumFileTest,
                         ::testing::Values(Unreadable::HeldByAnotherProgram,
                                           Unreadable::WithoutPermission, Unreadable::AFolder));

TEST(ChecksumFileTest, OnlyANameThatIsNotThereMeansNoChecksumFile) {
    TempFolder temp;
    const ChecksumNames names{"movie", 3, "movie.avi"};
    const ChecksumRead none = ReadChecksumFile(temp / "movie.sha256", names);
    EXPECT_FALSE(none.checksums);
    EXPECT_FALSE(none.error);
    ASSERT_EQ(::mkdir((temp / "movie.sha256").c_str(), 0755), 0);
    const ChecksumRead folder = ReadChecksumFile(temp / "movie.sha256", names);
    EXPECT_FALSE(folder.checksums);
    ASSERT_TRUE(folder.error);
    EXPECT_EQ(folder.error->path, temp / "movie.sha256");
}
#endif

}  // namespace
}  // namespace kavendrum
