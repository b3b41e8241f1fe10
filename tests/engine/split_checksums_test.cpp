#include <filesystem>

#include <gtest/gtest.h>

#include "engine/checksum_file.h"
#include "engine/io/sha256.h"
#include "engine/split_operation.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"

namespace kavendrum {
namespace {

using testing::RecordingHost;
using testing::TempFolder;

std::string HexOf(const std::vector<char>& bytes, std::size_t from, std::size_t size) {
    Sha256 sha;
    sha.Update(bytes.data() + from, size);
    return HexDigest(*sha.Finish());
}

class SplitChecksumsTest : public ::testing::Test {
  protected:
    Outcome Split(std::size_t size, std::uint32_t pieceSize, bool checksums,
                  const std::string& name = "movie.avi") {
        source = testing::RandomBytes(size, 11);
        testing::WriteBytes(temp / name, source);
        SplitRequest request{temp / name, temp / "out", pieceSize};
        request.writeChecksums = checksums;
        return RunSplit(request, &options, host);
    }
    // The file a split with checksums is expected to write, from the source itself.
    std::string Expected(std::uint32_t pieceSize, const std::string& base,
                         const std::string& wholeName) const {
        std::string text;
        const std::size_t count = source.size() / pieceSize + 1;
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t from = i * pieceSize;
            const std::size_t size = i + 1 < count ? pieceSize : source.size() - from;
            text +=
                HexOf(source, from, size) + "  " + base + "_" + std::to_string(i + 1) + ".skf\n";
        }
        return text + HexOf(source, 0, source.size()) + "  " + wholeName + "\n";
    }
    std::string Written(const std::string& name) const {
        const auto bytes = testing::ReadBytes(temp / ("out/" + name));
        return std::string(bytes.begin(), bytes.end());
    }

    TempFolder temp;
    OptionSet options;
    RecordingHost host;
    std::vector<char> source;
};

TEST_F(SplitChecksumsTest, ADefaultSplitWritesNoChecksumFile) {
    ASSERT_EQ(Split(100000, 32768, false), Outcome::Succeeded);
    EXPECT_FALSE(testing::Exists(temp / "out/movie.sha256"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp / "out"), {}), 6);
}

TEST_F(SplitChecksumsTest, OneLinePerPieceInOrderThenTheWholeFile) {
    // Whole pieces with an empty last one, and pieces of several copy units with a rest.
    for (const std::uint32_t pieceSize : {25000u, 1457665u}) {
        std::filesystem::remove_all(temp / "out");
        const std::size_t size = pieceSize == 25000u ? 100000 : 3500000;
        ASSERT_EQ(Split(size, pieceSize, true), Outcome::Succeeded) << pieceSize;
        EXPECT_EQ(Written("movie.sha256"), Expected(pieceSize, "movie", "movie.avi")) << pieceSize;
        EXPECT_TRUE(host.Errors().empty());
    }
}

TEST_F(SplitChecksumsTest, TheWholeFileLineNamesWhatAMergeWritesByDefault) {
    ASSERT_EQ(Split(5000, 2000, true, "notes"), Outcome::Succeeded);
    EXPECT_EQ(Written("notes.sha256"), Expected(2000, "notes", "notes"));
}

TEST_F(SplitChecksumsTest, TheFileIsThereBeforeTheSourceIsRemoved) {
    options.deleteAfterSplit = 1;
    ASSERT_EQ(Split(70000, 32768, true), Outcome::Succeeded);
    EXPECT_FALSE(testing::Exists(temp / "movie.avi"));
    EXPECT_EQ(Written("movie.sha256"), Expected(32768, "movie", "movie.avi"));
}

}  // namespace
}  // namespace kavendrum
