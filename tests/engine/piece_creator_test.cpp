#include "engine/piece_creator.h"

#include <chrono>
#include <filesystem>
#include <iterator>
#include <set>
#include <string>
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
    // As the split does: what the helper did not make, the caller makes itself.
    StagedFile TakeOrMake(PieceCreator& ahead, std::uint32_t number) {
        if (auto piece = ahead.Take(number)) {
            return std::move(*piece);
        }
        auto made = StagedFile::Create(PathOf(number));
        EXPECT_TRUE(made.ok()) << number;
        return std::move(made.value());
    }
    std::size_t FilesInFolder() const {
        return static_cast<std::size_t>(
            std::distance(std::filesystem::directory_iterator(temp.path()),
                          std::filesystem::directory_iterator()));
    }
    // The files in the folder, named or not: on Linux a piece has no name until it is put in
    // place, and is seen only as a file this process holds open there.
    std::size_t FilesMade() const {
        std::size_t count = FilesInFolder();
#ifdef __linux__
        std::set<std::string> unnamed;
        std::error_code ignored;
        for (std::filesystem::directory_iterator entry("/proc/self/fd", ignored), end; entry != end;
             entry.increment(ignored)) {
            const std::string target = std::filesystem::read_symlink(*entry, ignored).string();
            const std::string gone = " (deleted)";
            if (target.rfind(temp.path() + "/", 0) == 0 && target.size() > gone.size() &&
                target.compare(target.size() - gone.size(), gone.size(), gone) == 0) {
                unnamed.insert(target);
            }
        }
        count += unnamed.size();
#endif
        return count;
    }
    // The helper works on its own thread: wait (boundedly) until it has made `count` files.
    bool FilesSoon(std::size_t count) const {
        for (int tries = 0; tries < 500 && FilesMade() < count; ++tries) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return FilesMade() >= count;
    }

    TempFolder temp;
};

TEST_F(PieceCreatorTest, EveryPieceIsHandedOverOnceAndNoneBeyondTheLast) {
    {
        PieceCreator ahead(Names(), 40);
        for (std::uint32_t number = 1; number <= 40; ++number) {
            StagedFile piece = TakeOrMake(ahead, number);
            ASSERT_TRUE(piece.file().IsOpen()) << number;
            EXPECT_EQ(piece.FinalPath(), PathOf(number));
            const char mark = static_cast<char>(number);
            ASSERT_FALSE(piece.file().Write(&mark, 1));
            ASSERT_FALSE(piece.PutInPlace());
            piece.Keep();
        }
    }
    for (std::uint32_t number = 1; number <= 40; ++number) {
        EXPECT_EQ(testing::ReadBytes(PathOf(number)), std::vector<char>{static_cast<char>(number)});
    }
    EXPECT_EQ(FilesInFolder(), 40u);
}

TEST_F(PieceCreatorTest, PiecesMadeAheadAndNeverTakenAreRemoved) {
    {
        PieceCreator ahead(Names(), 100);
        StagedFile first = TakeOrMake(ahead, 1);
        ASSERT_FALSE(first.PutInPlace());
        first.Keep();
        // The first piece and the ones made ahead of it: kAhead in all when the worker made the
        // first, one more when it was late and the first was made here; either way some wait.
        ASSERT_TRUE(FilesSoon(PieceCreator::kAhead));
    }
    EXPECT_TRUE(testing::Exists(PathOf(1)));
    EXPECT_EQ(FilesMade(), 1u);
}

TEST_F(PieceCreatorTest, AFileUnderAPiecesNameIsNotTouchedUntilThePieceIsPutInPlace) {
    const std::vector<char> old{'o', 'l', 'd'};
    testing::WriteBytes(PathOf(3), old);
    {
        PieceCreator ahead(Names(), 6);
        StagedFile first = TakeOrMake(ahead, 1);
        // Every piece ahead is made, the third's too, under names of their own.
        ASSERT_TRUE(FilesSoon(1 + 6));
        EXPECT_EQ(testing::ReadBytes(PathOf(3)), old);
    }
    EXPECT_EQ(testing::ReadBytes(PathOf(3)), old);
    EXPECT_EQ(FilesMade(), 1u);
}

}  // namespace
}  // namespace kavendrum
