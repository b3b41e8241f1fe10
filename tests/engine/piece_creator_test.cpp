#include "engine/piece_creator.h"

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace kavendrum {
namespace {

using testing::TempFolder;

class PieceCreatorTest : public ::testing::Test {
  protected:
    std::string PathOf(std::uint32_t number) const {
        return temp / ("p_" + std::to_string(number));
    }
    PieceCreator::PathOf Names() {
        return [this](std::uint32_t number) { return PathOf(number); };
    }
    // As the split does: what the helper did not make, the caller opens itself.
    File TakeOrOpen(PieceCreator& ahead, std::uint32_t number) {
        if (auto piece = ahead.Take(number)) {
            return std::move(*piece);
        }
        auto opened = File::OpenForWriting(PathOf(number));
        EXPECT_TRUE(opened.ok()) << number;
        return std::move(opened.value());
    }
    // The helper works on its own thread: wait (boundedly) until it has got this far.
    bool AppearsSoon(std::uint32_t number) const {
        for (int tries = 0; tries < 500 && !testing::Exists(PathOf(number)); ++tries) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return testing::Exists(PathOf(number));
    }

    TempFolder temp;
};

TEST_F(PieceCreatorTest, EveryPieceIsHandedOverOnceAndNoneBeyondTheLast) {
    {
        PieceCreator ahead(Names(), 40);
        for (std::uint32_t number = 1; number <= 40; ++number) {
            File piece = TakeOrOpen(ahead, number);
            ASSERT_TRUE(piece.IsOpen()) << number;
            EXPECT_EQ(piece.Path(), PathOf(number));
            const char mark = static_cast<char>(number);
            ASSERT_FALSE(piece.Write(&mark, 1));
        }
    }
    for (std::uint32_t number = 1; number <= 40; ++number) {
        EXPECT_EQ(testing::ReadBytes(PathOf(number)), std::vector<char>{static_cast<char>(number)});
    }
    EXPECT_FALSE(testing::Exists(PathOf(41)));
}

TEST_F(PieceCreatorTest, PiecesMadeAheadAndNeverTakenAreRemoved) {
    {
        PieceCreator ahead(Names(), 100);
        File first = TakeOrOpen(ahead, 1);
        ASSERT_TRUE(AppearsSoon(PieceCreator::kAhead));
    }
    EXPECT_TRUE(testing::Exists(PathOf(1)));
    for (std::uint32_t number = 2; number <= 2 + PieceCreator::kAhead; ++number) {
        EXPECT_FALSE(testing::Exists(PathOf(number))) << number;
    }
}

TEST_F(PieceCreatorTest, AnExistingFileIsLeftToTheCallerAndNeverTouched) {
    const std::vector<char> old{'o', 'l', 'd'};
    testing::WriteBytes(PathOf(3), old);
    {
        PieceCreator ahead(Names(), 6);
        File first = TakeOrOpen(ahead, 1);
        // Past 3: the helper tried it and let it be.
        ASSERT_TRUE(AppearsSoon(4));
    }
    EXPECT_EQ(testing::ReadBytes(PathOf(3)), old);
    EXPECT_FALSE(testing::Exists(PathOf(2)));
    EXPECT_FALSE(testing::Exists(PathOf(4)));
}

}  // namespace
}  // namespace kavendrum
