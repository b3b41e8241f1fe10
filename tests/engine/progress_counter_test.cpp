#include <gtest/gtest.h>

#include "engine/progress_counter.h"
#include "support/recording_host.h"

namespace kavendrum {
namespace {

TEST(ProgressCounterTest, RunsLongerThanTheBarCanCountAreScaled) {
    testing::RecordingHost host;
    // 2^32 steps: three steps to one advance, so the range fits an int.
    ProgressCounter progress(host, 1ull << 32);
    EXPECT_EQ(host.progress,
              (std::vector<std::string>{"SetWidthPercent(100)", "SetStepRange(0,1431655765,1)",
                                        "SetPosition(0)"}));
    for (int step = 0; step < 7; ++step) {
        progress.Step();
    }
    EXPECT_EQ(host.AdvanceCount(), 2);
}

}  // namespace
}  // namespace kavendrum
