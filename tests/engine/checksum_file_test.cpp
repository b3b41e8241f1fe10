#include <gtest/gtest.h>

#include "engine/checksum_file.h"
#include "support/temp_folder.h"

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

TEST(ChecksumFileTest, TheFirstLineForAPieceWinsAndPiecesWithoutALineHaveNone) {
    const auto checksums =
        Parse({kHexB + "  movie_3.skf", kHexA + "  movie_1.skf", kHexB + "  movie_1.skf",
               kHexB + "  movie.avi", kHexA + "  movie.avi"});
    EXPECT_EQ(checksums.ForPiece(1), DigestOf(0xAA));
    EXPECT_FALSE(checksums.ForPiece(2));
    EXPECT_EQ(checksums.ForPiece(3), DigestOf(0xBB));
    EXPECT_EQ(checksums.ForWholeFile(), DigestOf(0xBB));
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

}  // namespace
}  // namespace kavendrum
