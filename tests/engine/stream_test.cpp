// Splits of data whose size is known only at its end, and merges into an open stream.

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "engine/head_file.h"
#include "engine/merge_operation.h"
#include "engine/paths.h"
#include "engine/split_operation.h"
#include "engine/stream_split.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"

namespace kavendrum {
namespace {

using testing::TempFolder;

HeadFileInfo ReadHeadFileAt(const std::string& path) {
    auto file = File::OpenForReading(path);
    EXPECT_TRUE(file.ok());
    return ReadHeadFile(file.value()).info;
}

// Also keeps the byte counts a stream split reports.
class StreamHost : public testing::RecordingHost {
  public:
    void BytesDone(std::uint64_t bytes) override { bytesDone.push_back(bytes); }
    std::vector<std::uint64_t> bytesDone;
};

class StreamSplitTest : public ::testing::Test {
  protected:
    // Splits `size` random bytes, read through a file opened as the stream, into "out".
    Outcome Split(std::size_t size, std::uint32_t pieceSize, bool checksums = false) {
        source = testing::RandomBytes(size, 3);
        testing::WriteBytes(temp / "in.bin", source);
        auto stream = File::OpenForReading(temp / "in.bin");
        EXPECT_TRUE(stream.ok());
        return RunStreamSplit({"movie.avi", temp / "out", pieceSize, checksums}, stream.value(),
                              &options, host);
    }

    std::vector<char> Piece(int number) const {
        return testing::ReadBytes(temp / ("out/movie_" + std::to_string(number) + ".skf"));
    }

    TempFolder temp;
    OptionSet options;
    StreamHost host;
    std::vector<char> source;
};

TEST_F(StreamSplitTest, WritesWhatASplitOfTheFileWrites) {
    // Block mode, with a rest in every piece and a last piece of several blocks.
    const std::uint32_t pieceSize = 2 * kMaxCopyUnit + 100;
    const std::size_t size = 2 * pieceSize + kMaxCopyUnit + 5;
    ASSERT_EQ(Split(size, pieceSize), Outcome::Succeeded);
    EXPECT_EQ(Piece(1), std::vector<char>(source.begin(), source.begin() + pieceSize));
    EXPECT_EQ(Piece(3), std::vector<char>(source.begin() + 2 * pieceSize, source.end()));
    EXPECT_FALSE(testing::Exists(temp / "out/movie_4.skf"));
    const auto head = testing::ReadBytes(temp / "out/movie.kdh");
    const auto expected = EncodeHeadFile(MakeHeadFileInfo(size, 3, pieceSize, "avi"));
    EXPECT_EQ(std::vector<std::uint8_t>(head.begin(), head.end()), expected);
    EXPECT_EQ(testing::SizeOf(temp / "out/movie.bat"), 163u);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, "Split file successfully!\r\nTo Re-Join, run the file: \"" +
                                         temp / "out/movie.bat" + "\"");
    // Counted as it goes, ending with the whole size.
    ASSERT_GE(host.bytesDone.size(), 3u);
    EXPECT_TRUE(std::is_sorted(host.bytesDone.begin(), host.bytesDone.end()));
    EXPECT_EQ(host.bytesDone.back(), size);
}

TEST_F(StreamSplitTest, CountsPiecesAsASplitDoes) {
    // An exact multiple ends with an empty piece; nothing at all is one empty piece.
    ASSERT_EQ(Split(3000, 1000), Outcome::Succeeded);
    EXPECT_EQ(Piece(4).size(), 0u);
    EXPECT_EQ(ReadHeadFileAt(temp / "out/movie.kdh").pieceCount, 4u);
    ASSERT_EQ(Split(0, 1000), Outcome::Succeeded);
    EXPECT_EQ(Piece(1).size(), 0u);
    EXPECT_EQ(ReadHeadFileAt(temp / "out/movie.kdh").pieceCount, 1u);
}

TEST_F(StreamSplitTest, WritesTheChecksumFileASplitOfTheFileWrites) {
    // An exact multiple, so the last line is an empty piece's; several blocks per piece.
    const std::uint32_t pieceSize = 3 * kMaxCopyUnit;
    ASSERT_EQ(Split(2 * pieceSize, pieceSize, true), Outcome::Succeeded);
    testing::WriteBytes(temp / "movie.avi", source);
    ASSERT_EQ(RunSplit({temp / "movie.avi", temp / "direct", pieceSize, true}, &options, host),
              Outcome::Succeeded);
    const auto streamed = testing::ReadBytes(temp / "out/movie.sha256");
    EXPECT_EQ(std::count(streamed.begin(), streamed.end(), '\n'), 4);
    EXPECT_EQ(streamed, testing::ReadBytes(temp / "direct/movie.sha256"));
    // Asked for nothing, it writes nothing.
    std::filesystem::remove(temp / "out/movie.sha256");
    ASSERT_EQ(Split(10, 4), Outcome::Succeeded);
    EXPECT_FALSE(testing::Exists(temp / "out/movie.sha256"));
}

TEST_F(StreamSplitTest, AskedBeforeReplacingAHeadFileCancelWritesNothing) {
    ASSERT_EQ(Split(10, 4), Outcome::Succeeded);
    const auto before = Piece(1);
    host.AnswerNext(false);
    EXPECT_EQ(Split(10, 4), Outcome::Cancelled);
    ASSERT_EQ(host.questions.size(), 1u);
    // A box shows the text alone; the file it is about is for hosts that can say more.
    EXPECT_EQ(host.questions[0].text, "There are same name files in this folder,overwrite it?");
    EXPECT_EQ(Piece(1), before);
}

TEST_F(StreamSplitTest, NeverWritesOverTheFileItReads) {
    // The stream is a file that stands where the first piece goes.
    std::filesystem::create_directory(temp / "out");
    const auto data = testing::RandomBytes(100, 5);
    testing::WriteBytes(temp / "out/movie_1.skf", data);
    auto stream = File::OpenForReading(temp / "out/movie_1.skf");
    ASSERT_TRUE(stream.ok());
    EXPECT_EQ(RunStreamSplit({"movie.avi", temp / "out", 10}, stream.value(), &options, host),
              Outcome::Failed);
    EXPECT_EQ(host.Errors(), std::vector<std::string>{"Can not create file, split failed!"});
    stream.value().Close();
    EXPECT_EQ(testing::ReadBytes(temp / "out/movie_1.skf"), data);
}

TEST_F(StreamSplitTest, ANameIsOnlyEverAName) {
    testing::WriteBytes(temp / "in.bin", testing::RandomBytes(10));
    auto stream = File::OpenForReading(temp / "in.bin");
    ASSERT_TRUE(stream.ok());
    // Every separator the platform knows, "/" on Windows too, and there a drive's colon.
    std::vector<std::string> names = {std::string("..") + kPathSeparator + "escape.bin",
                                      "../escape.bin"};
#ifdef _WIN32
    names.push_back("x:escape.bin");
#endif
    for (const auto& name : names) {
        SCOPED_TRACE(name);
        std::filesystem::remove_all(temp / "out");
        ASSERT_EQ(RunStreamSplit({name, temp / "out", 4}, stream.value(), &options, host),
                  Outcome::Succeeded);
        EXPECT_TRUE(testing::Exists(temp / "out/escape_1.skf"));
        EXPECT_FALSE(testing::Exists(temp / "escape_1.skf"));
    }
    EXPECT_EQ(RunStreamSplit({"", temp / "out", 4}, stream.value(), &options, host),
              Outcome::Failed);
    EXPECT_EQ(host.Errors().back(), "File to split must be filled in!");
}

class MergeToStreamTest : public ::testing::Test {
  protected:
    void SetUp() override {
        source = testing::RandomBytes(3 * kMaxCopyUnit + 77, 9);
        testing::WriteBytes(temp / "movie.avi", source);
        ASSERT_EQ(
            RunSplit({temp / "movie.avi", temp / "out", 2 * kMaxCopyUnit + 1}, &options, host),
            Outcome::Succeeded);
        host.messages.clear();
    }

    // Merges out/movie.kdh into the file "stream", opened beforehand as a pipe would be.
    Outcome Merge() {
        auto stream = File::OpenForWriting(temp / "stream");
        EXPECT_TRUE(stream.ok());
        MergeRequest request{temp / "out/movie.kdh", temp / "out", ""};
        request.stream = &stream.value();
        return RunMerge(request, &options, host).outcome;
    }

    TempFolder temp;
    OptionSet options;
    testing::RecordingHost host;
    std::vector<char> source;
};

TEST_F(MergeToStreamTest, WritesTheWholeFileAndKeepsThePieces) {
    options.deleteAfterMerge = 1;
    ASSERT_EQ(Merge(), Outcome::Succeeded);
    EXPECT_EQ(testing::ReadBytes(temp / "stream"), source);
    EXPECT_TRUE(testing::Exists(temp / "out/movie_1.skf"));
    EXPECT_TRUE(testing::Exists(temp / "out/movie_2.skf"));
    EXPECT_TRUE(testing::Exists(temp / "out/movie.kdh"));
    EXPECT_EQ(host.messages.back().text, "Merge files successfully!");
    // Nothing was asked: there is no file to overwrite or folder to make.
    EXPECT_TRUE(host.questions.empty());
}

}  // namespace
}  // namespace kavendrum
