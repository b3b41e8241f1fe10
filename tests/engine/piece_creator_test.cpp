#include "engine/piece_creator.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace kavendrum {
namespace {

using testing::TempFolder;

class PieceCreatorTest : public ::testing::Test {
  protected:
    PieceCreator::PathOf Names() {
        return [this](std::uint32_t number) { return temp / ("p_" + std::to_string(number)); };
    }
    bool Exists(std::uint32_t number) const {
        return testing::Exists(temp / ("p_" + std::to_string(number)));
    }

    TempFolder temp;
};

TEST_F(PieceCreatorTest, HandsOverEveryPieceInOrderAndMakesNoneBeyondTheLast) {
    {
        PieceCreator ahead(Names(), 40);
        for (std::uint32_t number = 1; number <= 40; ++number) {
            auto piece = ahead.Take(number);
            ASSERT_TRUE(piece && piece->IsOpen()) << number;
            EXPECT_EQ(piece->Path(), temp / ("p_" + std::to_string(number)));
            ASSERT_FALSE(piece->Write("x", 1));
        }
    }
    for (std::uint32_t number = 1; number <= 40; ++number) {
        EXPECT_EQ(testing::ReadBytes(temp / ("p_" + std::to_string(number))),
                  std::vector<char>{'x'});
    }
    EXPECT_FALSE(Exists(41));
}

TEST_F(PieceCreatorTest, PiecesMadeAheadAndNeverTakenAreRemoved) {
    {
        PieceCreator ahead(Names(), 100);
        for (std::uint32_t number = 1; number <= 10; ++number) {
            ASSERT_TRUE(ahead.Take(number)) << number;
        }
    }
    EXPECT_TRUE(Exists(10));
    for (std::uint32_t number = 11; number <= 10 + PieceCreator::kAhead + 1; ++number) {
        EXPECT_FALSE(Exists(number)) << number;
    }
}

TEST_F(PieceCreatorTest, AnExistingFileIsLeftToTheCallerAndNeverTouched) {
    testing::WriteBytes(temp / "p_2", std::vector<char>{'o', 'l', 'd'});
    testing::WriteBytes(temp / "p_5", std::vector<char>{'o', 'l', 'd'});
    {
        PieceCreator ahead(Names(), 6);
        EXPECT_TRUE(ahead.Take(1));
        EXPECT_FALSE(ahead.Take(2));
        EXPECT_TRUE(ahead.Take(3));
    }
    // 5 was tried ahead and refused; it keeps what it had, and 4 and 6 are gone again.
    EXPECT_EQ(testing::ReadBytes(temp / "p_2"), (std::vector<char>{'o', 'l', 'd'}));
    EXPECT_EQ(testing::ReadBytes(temp / "p_5"), (std::vector<char>{'o', 'l', 'd'}));
    EXPECT_FALSE(Exists(4));
    EXPECT_FALSE(Exists(6));
}

}  // namespace
}  // namespace kavendrum
