#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/io/file.h"
#include "engine/split_operation.h"
#include "engine/stream_split.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"

namespace kavendrum {
namespace {

using testing::RecordingHost;

TEST(SplitPlanTest, CountsOneMorePieceThanWholePiecesWithTheRestLast) {
    const auto plan = PlanSplit(100, 32);
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->pieceCount, 4u);
    EXPECT_EQ(plan->lastPieceSize, 4u);
    // A size that divides the file ends with an empty piece, as the split always made it.
    const auto even = PlanSplit(96, 32);
    ASSERT_TRUE(even);
    EXPECT_EQ(even->pieceCount, 4u);
    EXPECT_EQ(even->lastPieceSize, 0u);
    const auto empty = PlanSplit(0, 5);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->pieceCount, 1u);
}

TEST(SplitPlanTest, RefusesNoSizeAndCountsTheHeadFileCannotHold) {
    constexpr std::uint64_t kMost = std::numeric_limits<std::uint32_t>::max();
    EXPECT_FALSE(PlanSplit(100, 0));
    EXPECT_FALSE(PlanSplit(kMost, 1));
    const auto largest = PlanSplit(kMost - 1, 1);
    ASSERT_TRUE(largest);
    EXPECT_EQ(largest->pieceCount, kMost);
}

// What the command line prints after a split comes from here, not from reading the files back.
TEST(SplitPlanTest, AFileSplitSaysWhatItWrote) {
    testing::TempFolder temp;
    testing::WriteBytes(temp / "movie.avi", testing::RandomBytes(100000));
    RecordingHost host;
    const OptionSet options;
    SplitRequest request{temp / "movie.avi", temp / "out", 32768};
    request.writeChecksums = true;
    const SplitResult result = SplitFile(request, &options, host);
    ASSERT_EQ(result.outcome, Outcome::Succeeded) << ::testing::PrintToString(host.Errors());
    ASSERT_TRUE(result.set);
    EXPECT_EQ(result.set->HeadPath(), temp / "out/movie.kdh");
    EXPECT_EQ(result.pieceCount, 4u);
    const std::vector<std::string> expected{temp / "out/movie_1.skf", temp / "out/movie_2.skf",
                                            temp / "out/movie_3.skf", temp / "out/movie_4.skf",
                                            temp / "out/movie.kdh",   temp / "out/movie.bat",
                                            temp / "out/movie.sha256"};
    EXPECT_EQ(result.written, expected);
    for (const auto& path : result.written) {
        EXPECT_TRUE(testing::Exists(path)) << path;
    }
}

TEST(SplitPlanTest, ASplitThatFailsBeforeItsHeadFileCountsNoPieces) {
    testing::TempFolder temp;
    testing::WriteBytes(temp / "movie.avi", testing::RandomBytes(1000));
    std::filesystem::create_directories(temp.path() + "/out/movie_2.skf");
    RecordingHost host;
    const OptionSet options;
    const SplitResult result = SplitFile({temp / "movie.avi", temp / "out", 400}, &options, host);
    EXPECT_EQ(result.outcome, Outcome::Failed);
    EXPECT_EQ(result.pieceCount, 0u);
    EXPECT_TRUE(result.written.empty());
}

TEST(SplitPlanTest, AStreamSplitSaysWhatItWroteWithTheSameNames) {
    testing::TempFolder temp;
    testing::WriteBytes(temp / "data", testing::RandomBytes(1000));
    auto stream = File::OpenForReading(temp / "data");
    ASSERT_TRUE(stream.ok());
    RecordingHost host;
    const OptionSet options;
    const StreamSplitRequest request{"clip.mp4", temp / "out", 400, false};
    const SplitResult result = SplitStream(request, stream.value(), &options, host);
    ASSERT_EQ(result.outcome, Outcome::Succeeded) << ::testing::PrintToString(host.Errors());
    EXPECT_EQ(result.pieceCount, 3u);
    const std::vector<std::string> expected{temp / "out/clip_1.skf", temp / "out/clip_2.skf",
                                            temp / "out/clip_3.skf", temp / "out/clip.kdh",
                                            temp / "out/clip.bat"};
    EXPECT_EQ(result.written, expected);
}

}  // namespace
}  // namespace kavendrum
