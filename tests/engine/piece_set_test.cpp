#include "engine/piece_set.h"

#include <gtest/gtest.h>

#include "engine/paths.h"

namespace kavendrum {
namespace {

const std::string kSep(1, kPathSeparator);

TEST(PieceSetTest, AHeadFileAndASplitOfTheSameSetAgreeOnEveryName) {
    const auto read = PieceSet::OfHeadFile("out" + kSep + "movie.KDH");
    ASSERT_TRUE(read);
    const PieceSet written = PieceSet::InFolder("out", "movie");
    EXPECT_EQ(read->PiecePath(7), written.PiecePath(7));
    EXPECT_EQ(written.PiecePath(7), "out" + kSep + "movie_7.skf");
    EXPECT_EQ(written.PieceName(12), "movie_12.skf");
    EXPECT_EQ(read->Base(), "movie");
    EXPECT_EQ(written.HeadPath(), "out" + kSep + "movie.kdh");
    EXPECT_EQ(written.ChecksumPath(), "out" + kSep + "movie.sha256");
    EXPECT_EQ(written.JournalPath(), "out" + kSep + "movie.kdj");
    EXPECT_EQ(written.RunPath(3, 9), "out" + kSep + "movie_{3..9}.skf");
}

TEST(PieceSetTest, TheRootAndTheCurrentFolderKeepTheirMeaning) {
    // The root must not turn into the current folder, nor the current folder into the root.
    EXPECT_EQ(PieceSet::InFolder(kSep, "a").HeadPath(), kSep + "a.kdh");
    EXPECT_EQ(PieceSet::InFolder("", "a").HeadPath(), "a.kdh");
    EXPECT_EQ(PieceSet::InFolder("out" + kSep, "a").PiecePath(1), "out" + kSep + "a_1.skf");
}

TEST(PieceSetTest, OnlyAHeadFileNameHeadsASet) {
    EXPECT_FALSE(PieceSet::OfHeadFile("movie.kd"));
    EXPECT_FALSE(PieceSet::OfHeadFile("kdh"));
    EXPECT_FALSE(PieceSet::OfHeadFile("movie.kdh.txt"));
    EXPECT_TRUE(IsHeadFileName("A.kDh"));
    // A base that holds dots keeps them all.
    EXPECT_EQ(PieceSet::OfHeadFile("my.movie.v2.kdh")->PiecePath(1), "my.movie.v2_1.skf");
}

}  // namespace
}  // namespace kavendrum
