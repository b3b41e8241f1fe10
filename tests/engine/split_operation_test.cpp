#include <algorithm>
#include <filesystem>

#ifndef _WIN32
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <csignal>

#include <gtest/gtest.h>

#include "engine/head_file.h"
#include "engine/io/file_system.h"
#include "engine/split_operation.h"
#include "engine/stream_split.h"
#include "support/recording_host.h"
#include "support/temp_folder.h"

namespace kavendrum {
namespace {

using testing::RecordingHost;
using testing::TempFolder;
using Progress = std::vector<std::string>;

constexpr const char* kSetFileNameRefused =
    "Can not split a file named like a head, batch, checksum or journal file!";

using testing::Entries;

// A host that asks the run to stop once it has been asked `polls` times whether to.
class StoppingHost : public RecordingHost {
  public:
    explicit StoppingHost(int polls) : m_polls(polls) {}
    bool StopRequested() override { return --m_polls < 0; }

  private:
    int m_polls;
};

class SplitTest : public ::testing::Test {
  protected:
    // Splits a source of `size` random bytes named `name` into the folder "out".
    Outcome Split(std::size_t size, std::uint32_t pieceSize,
                  const std::string& name = "movie.avi") {
        source = RandomBytes(size);
        testing::WriteBytes(temp / name, source);
        return RunSplit({temp / name, temp / "out", pieceSize}, &options, host);
    }

    std::vector<char> RandomBytes(std::size_t size) { return testing::RandomBytes(size, 7); }

    std::vector<char> Slice(std::size_t from, std::size_t size) const {
        return std::vector<char>(source.begin() + from, source.begin() + from + size);
    }

    std::vector<char> Piece(int number, const std::string& base = "movie") const {
        return testing::ReadBytes(temp / ("out/" + base + "_" + std::to_string(number) + ".skf"));
    }

    TempFolder temp;
    OptionSet options;
    RecordingHost host;
    std::vector<char> source;
};

TEST_F(SplitTest, CutsTheSourceIntoPiecesWithHeadAndBatchFile) {
    ASSERT_EQ(Split(3000000, 1457664), Outcome::Succeeded);
    EXPECT_EQ(Piece(1), Slice(0, 1457664));
    EXPECT_EQ(Piece(2), Slice(1457664, 1457664));
    EXPECT_EQ(Piece(3), Slice(2915328, 84672));
    EXPECT_FALSE(testing::Exists(temp / "out/movie_4.skf"));
    EXPECT_EQ(testing::ReadBytes(temp / "out/movie.kdh").size(), 20u);
    EXPECT_EQ(testing::SizeOf(temp / "out/movie.bat"), 163u);
    EXPECT_TRUE(testing::Exists(temp / "movie.avi"));

    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].caption, "Message");
    EXPECT_EQ(host.messages[0].text, "Split file successfully!\r\nTo Re-Join, run the file: \"" +
                                         temp / "out/movie.bat" + "\"");
    EXPECT_EQ(host.progress,
              (Progress{"ShowInPane(Operation Processing,100,100,0)", "SetWidthPercent(100)",
                        "SetStepRange(0,3,1)", "SetPosition(0)", "Advance", "Advance", "Advance",
                        "SetPosition(0)"}));
}

TEST_F(SplitTest, ExactMultipleGivesAnEmptyLastPiece) {
    ASSERT_EQ(Split(2915328, 1457664), Outcome::Succeeded);
    EXPECT_EQ(Piece(3).size(), 0u);
    auto head = File::OpenForReading(temp / "out/movie.kdh");
    EXPECT_EQ(ReadHeadFile(head.value()).info.pieceCount, 3u);
}

TEST_F(SplitTest, EmptySourceGivesOneEmptyPiece) {
    ASSERT_EQ(Split(0, 32768), Outcome::Succeeded);
    EXPECT_EQ(Piece(1).size(), 0u);
    EXPECT_FALSE(testing::Exists(temp / "out/movie_2.skf"));
}

TEST_F(SplitTest, BlockModeCountsWholeUnitsOnly) {
    ASSERT_EQ(Split(2 * 1457665 + 10, 1457665), Outcome::Succeeded);
    EXPECT_EQ(Piece(1), Slice(0, 1457665));
    EXPECT_EQ(Piece(2), Slice(1457665, 1457665));
    EXPECT_EQ(Piece(3), Slice(2 * 1457665, 10));
    EXPECT_EQ(host.progress[2], "SetStepRange(0,2,1)");
    EXPECT_EQ(host.AdvanceCount(), 2);
    auto head = File::OpenForReading(temp / "out/movie.kdh");
    EXPECT_EQ(ReadHeadFile(head.value()).info.copyUnit, 1457664u);
}

TEST_F(SplitTest, SmallSourceInBlockModeNeverAdvances) {
    ASSERT_EQ(Split(1000, 2097152), Outcome::Succeeded);
    EXPECT_EQ(Piece(1), source);
    EXPECT_EQ(host.progress[2], "SetStepRange(0,0,1)");
    EXPECT_EQ(host.AdvanceCount(), 0);
}

TEST_F(SplitTest, TheProgressBarIsPlacedOnTheFirstRunOnly) {
    ASSERT_EQ(Split(10, 4), Outcome::Succeeded);
    options.overwriteMode = 0;
    ASSERT_EQ(Split(10, 4), Outcome::Succeeded);
    EXPECT_EQ(std::count(host.progress.begin(), host.progress.end(),
                         "ShowInPane(Operation Processing,100,100,0)"),
              1);
}

TEST_F(SplitTest, InputsAreCheckedInOrder) {
    EXPECT_EQ(RunSplit({"", "", 10}, &options, host), Outcome::Failed);
    EXPECT_EQ(RunSplit({temp / "missing", "", 10}, &options, host), Outcome::Failed);
    EXPECT_EQ(RunSplit({temp / "missing", temp / "out", 10}, &options, host), Outcome::Failed);
    testing::WriteBytes(temp / "s.bin", std::vector<char>(5));
    EXPECT_EQ(RunSplit({temp / "s.bin", temp / "out", 10}, nullptr, host), Outcome::Failed);
    EXPECT_EQ(host.Errors(),
              (std::vector<std::string>{
                  "File to split must be filled in!", "Destination folder must be filled in!",
                  "File doesn't existed or can not be open!", "Get MainFrame error!"}));
    EXPECT_FALSE(testing::Exists(temp / "out"));
}

TEST_F(SplitTest, CancelAtTheOverwriteQuestionLeavesEveryFileUntouched) {
    ASSERT_EQ(Split(100, 40), Outcome::Succeeded);
    const auto head = testing::ReadBytes(temp / "out/movie.kdh");
    host.AnswerNext(false);
    EXPECT_EQ(Split(300, 40), Outcome::Cancelled);
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_EQ(host.questions[0].text, "There are same name files in this folder,overwrite it?");
    EXPECT_EQ(host.questions[0].caption, "Overwrite Warning");
    EXPECT_EQ(testing::ReadBytes(temp / "out/movie.kdh"), head);
    EXPECT_FALSE(testing::Exists(temp / "out/movie_4.skf"));
}

TEST_F(SplitTest, AnExistingPieceWithoutHeadFileIsReplacedWithoutAQuestion) {
    std::filesystem::create_directory(temp / "out");
    testing::WriteBytes(temp / "out/movie_1.skf", std::vector<char>(500, 'z'));
    ASSERT_EQ(Split(100, 40), Outcome::Succeeded);
    EXPECT_TRUE(host.questions.empty());
    EXPECT_EQ(Piece(1), Slice(0, 40));
}

// Shows the success message while checking what is on disk at that moment.
class SnapshotHost : public RecordingHost {
  public:
    explicit SnapshotHost(std::string folder) : m_folder(std::move(folder)) {}
    void ShowMessage(const std::string& text, const std::string& caption) override {
        RecordingHost::ShowMessage(text, caption);
        headAtMessage = testing::Exists(m_folder + testing::Native("/movie.kdh"));
        batchAtMessage = testing::Exists(m_folder + testing::Native("/movie.bat"));
    }
    bool headAtMessage = true;
    bool batchAtMessage = true;

  private:
    std::string m_folder;
};

TEST_F(SplitTest, SuccessIsAnnouncedBeforeHeadRecordAndBatchFileExist) {
    SnapshotHost snapshot(temp / "out");
    testing::WriteBytes(temp / "movie.avi", RandomBytes(100));
    ASSERT_EQ(RunSplit({temp / "movie.avi", temp / "out/", 40}, &options, snapshot),
              Outcome::Succeeded);
    // No empty head file stands in for the record: it appears whole, after the pieces.
    EXPECT_FALSE(snapshot.headAtMessage);
    EXPECT_FALSE(snapshot.batchAtMessage);
}

TEST_F(SplitTest, DeleteAfterSplitRemovesTheSourceEvenWhenTheBatchFileFails) {
    options.deleteAfterSplit = 1;
    std::filesystem::create_directory(temp / "out");
    std::filesystem::create_directory(temp /
                                      "out/movie.bat");  // a folder in the batch file's place
    EXPECT_EQ(Split(100, 40), Outcome::Failed);
    EXPECT_EQ(host.Errors(), std::vector<std::string>{"Create batch file error!"});
    EXPECT_FALSE(testing::Exists(temp / "movie.avi"));
    EXPECT_EQ(Piece(3), Slice(80, 20));
    EXPECT_EQ(host.progress.back(), "SetPosition(0)");
}

TEST_F(SplitTest, APieceThatCannotBeCreatedStopsTheSplitAndLeavesNothingOfIt) {
    std::filesystem::create_directory(temp / "out");
    std::filesystem::create_directory(temp / "out/movie_2.skf");
    EXPECT_EQ(Split(100, 40), Outcome::Failed);
    EXPECT_EQ(host.Errors(), std::vector<std::string>{"Can not create file, split failed!"});
    // Neither the pieces made nor a head file are left beside what stood there.
    EXPECT_EQ(Entries(temp / "out"), std::vector<std::string>{"movie_2.skf"});
    EXPECT_NE(host.progress.back(), "SetPosition(0)");

    RecordingHost last;
    std::filesystem::remove(temp / "out/movie_2.skf");
    std::filesystem::create_directory(temp / "out/movie_3.skf");
    RunSplit({temp / "movie.avi", temp / "out", 40}, &options, last);
    EXPECT_EQ(last.Errors(), std::vector<std::string>{"Create file error,split failed!"});
    EXPECT_EQ(Entries(temp / "out"), std::vector<std::string>{"movie_3.skf"});
}

TEST_F(SplitTest, TheSplitNeverWritesOverItsOwnSource) {
    // The source's name makes its own head file and batch file paths.
    options.overwriteMode = 0;
    testing::WriteBytes(temp / "movie.kdh", RandomBytes(100));
    EXPECT_EQ(RunSplit({temp / "movie.kdh", temp.path(), 40}, &options, host), Outcome::Failed);
    testing::WriteBytes(temp / "clip.bat", RandomBytes(100));
    EXPECT_EQ(RunSplit({temp / "clip.bat", temp.path(), 40}, &options, host), Outcome::Failed);
    EXPECT_EQ(host.Errors(), (std::vector<std::string>(2, kSetFileNameRefused)));
    EXPECT_EQ(testing::ReadBytes(temp / "movie.kdh"), RandomBytes(100));
    EXPECT_EQ(testing::ReadBytes(temp / "clip.bat"), RandomBytes(100));

    // A piece's path that is another name of the source.
    RecordingHost linked;
    std::filesystem::create_directory(temp / "out");
    testing::WriteBytes(temp / "s.bin", RandomBytes(100));
    std::filesystem::create_hard_link(temp / "s.bin", temp / "out/s_2.skf");
    EXPECT_EQ(RunSplit({temp / "s.bin", temp / "out", 40}, &options, linked), Outcome::Failed);
    EXPECT_EQ(linked.Errors(), std::vector<std::string>{"Can not create file, split failed!"});
    EXPECT_EQ(testing::ReadBytes(temp / "s.bin"), RandomBytes(100));
}

#ifndef _WIN32
// While it lives, no file of this process may grow past `bytes`: a real failing write.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldAction = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldAction);
    }

  private:
    rlimit m_old{};
    void (*m_oldAction)(int) = nullptr;
};

TEST_F(SplitTest, AFailedWriteNamesThePieceAndItsCauseAndKeepsTheSourceAndNothingElse) {
    options.deleteAfterSplit = 1;
    source = RandomBytes(100);
    testing::WriteBytes(temp / "movie.avi", source);
    Outcome outcome;
    {
        FileSizeLimit limit(30);
        outcome = RunSplit({temp / "movie.avi", temp / "out", 40}, &options, host);
    }
    EXPECT_EQ(outcome, Outcome::Failed);
    ASSERT_EQ(host.fileErrors.size(), 1u);
    EXPECT_EQ(FileErrorText(host.fileErrors[0]),
              "Disk full while accessing " + temp.path() + "/out/movie_1.skf.");
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(testing::ReadBytes(temp / "movie.avi"), source);
    EXPECT_EQ(Entries(temp / "out"), std::vector<std::string>{});
}
#endif

TEST_F(SplitTest, AStoppedSplitLeavesLaterPiecesOfAnEarlierSplitAsTheyWere) {
    std::filesystem::create_directory(temp / "out");
    std::filesystem::create_directory(temp / "out/movie_2.skf");
    const auto earlier = RandomBytes(40);
    testing::WriteBytes(temp / "out/movie_3.skf", earlier);
    EXPECT_EQ(Split(200, 40), Outcome::Failed);
    EXPECT_EQ(Piece(3), earlier);
    EXPECT_FALSE(testing::Exists(temp / "out/movie_4.skf"));
}

// An earlier set in the destination: three pieces, head and batch file, each with its own bytes.
std::vector<std::vector<char>> PlantEarlierSet(const TempFolder& temp) {
    std::filesystem::create_directories(temp / "out");
    std::vector<std::vector<char>> bytes;
    std::uint32_t seed = 100;
    for (const char* name :
         {"movie_1.skf", "movie_2.skf", "movie_3.skf", "movie.kdh", "movie.bat"}) {
        bytes.push_back(testing::RandomBytes(30, ++seed));
        testing::WriteBytes(temp / (std::string("out/") + name), bytes.back());
    }
    return bytes;
}

TEST_F(SplitTest, AStoppedSplitRemovesWhatItMadeAndLeavesWhatWasThere) {
    options.deleteAfterSplit = 1;
    options.overwriteMode = 0;
    for (const std::uint32_t pieceSize : {40u, 1457665u}) {
        SCOPED_TRACE(pieceSize);
        const auto earlier = PlantEarlierSet(temp);
        source = RandomBytes(4 * pieceSize);
        testing::WriteBytes(temp / "movie.avi", source);
        // Stopped after two blocks have been copied.
        StoppingHost stopping(2);
        EXPECT_EQ(RunSplit({temp / "movie.avi", temp / "out", pieceSize}, &options, stopping),
                  Outcome::Interrupted);
        EXPECT_EQ(Entries(temp / "out"),
                  (std::vector<std::string>{"movie.bat", "movie.kdh", "movie_1.skf", "movie_2.skf",
                                            "movie_3.skf"}));
        EXPECT_EQ(Piece(1), earlier[0]);
        EXPECT_EQ(testing::ReadBytes(temp / "out/movie.kdh"), earlier[3]);
        EXPECT_EQ(testing::ReadBytes(temp / "movie.avi"), source);
        EXPECT_TRUE(stopping.messages.empty());
    }
}

TEST_F(SplitTest, AStoppedStreamSplitRemovesWhatItMade) {
    testing::WriteBytes(temp / "in.bin", RandomBytes(1000));
    auto stream = File::OpenForReading(temp / "in.bin");
    ASSERT_TRUE(stream.ok());
    StoppingHost stopping(3);
    EXPECT_EQ(RunStreamSplit({"movie.avi", temp / "out", 100}, stream.value(), &options, stopping),
              Outcome::Interrupted);
    EXPECT_EQ(Entries(temp / "out"), std::vector<std::string>{});
}

#ifndef _WIN32
// Links at every name a split writes are replaced, never written through: a live and a dangling
// symbolic link that lead out of the folder, and a second name of a file outside it.
TEST_F(SplitTest, LinksAtTheSetsNamesAreReplacedAndNeverWrittenThrough) {
    std::filesystem::create_directories(temp / "out");
    std::filesystem::create_directories(temp / "private");
    const std::vector<std::string> names = {"movie_1.skf", "movie_2.skf", "movie_3.skf",
                                            "movie.kdh",   "movie.bat",   "movie.sha256"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string target = temp / ("private/" + std::to_string(i));
        testing::WriteBytes(target, RandomBytes(10));
        const std::string at = temp / ("out/" + names[i]);
        const std::string dangling = temp / ("private/absent" + std::to_string(i));
        switch (i % 3) {
            case 0:
                std::filesystem::create_symlink(target, at);
                break;
            case 1:
                std::filesystem::create_symlink(dangling, at);
                break;
            default:
                std::filesystem::create_hard_link(target, at);
                break;
        }
    }
    options.overwriteMode = 0;
    source = RandomBytes(100);
    testing::WriteBytes(temp / "movie.avi", source);
    SplitRequest request{temp / "movie.avi", temp / "out", 40};
    request.writeChecksums = true;
    ASSERT_EQ(RunSplit(request, &options, host), Outcome::Succeeded) << host.Errors().size();
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(testing::ReadBytes(temp / ("private/" + std::to_string(i))), RandomBytes(10))
            << names[i];
        EXPECT_FALSE(testing::Exists(temp / ("private/absent" + std::to_string(i)))) << names[i];
        EXPECT_FALSE(std::filesystem::is_symlink(temp / ("out/" + names[i]))) << names[i];
    }
    EXPECT_EQ(Piece(1), Slice(0, 40));
    EXPECT_EQ(Piece(3), Slice(80, 20));
    EXPECT_EQ(testing::SizeOf(temp / "out/movie.kdh"), 20u);
    EXPECT_EQ(Entries(temp / "out").size(), names.size());
}
#endif

TEST_F(SplitTest, AChecksumFileThatCannotBeWrittenKeepsTheSource) {
    options.deleteAfterSplit = 1;
    std::filesystem::create_directories(temp / "out/movie.sha256");
    source = RandomBytes(100);
    testing::WriteBytes(temp / "movie.avi", source);
    SplitRequest request{temp / "movie.avi", temp / "out", 40};
    request.writeChecksums = true;
    EXPECT_EQ(RunSplit(request, &options, host), Outcome::Failed);
    EXPECT_EQ(host.Errors(), std::vector<std::string>{"Create checksum file error!"});
    EXPECT_EQ(testing::ReadBytes(temp / "movie.avi"), source);
    // The set itself is whole and stays.
    EXPECT_EQ(Piece(3), Slice(80, 20));
    EXPECT_EQ(testing::SizeOf(temp / "out/movie.kdh"), 20u);
}

// Rebuilt beside its pieces, such a file would take the place of the set's own head, batch,
// checksum or journal file.
TEST_F(SplitTest, ASourceNamedLikeOneOfTheSetsFilesIsRefusedBeforeAnythingIsWritten) {
    for (const char* name : {"data.sha256", "notes.kdj", "movie.KDH", "run.bat", "a.b.Kdj"}) {
        RecordingHost refused;
        testing::WriteBytes(temp / name, RandomBytes(10));
        EXPECT_EQ(RunSplit({temp / name, temp / "out", 4}, &options, refused), Outcome::Failed)
            << name;
        EXPECT_EQ(refused.Errors(), std::vector<std::string>{kSetFileNameRefused}) << name;
        auto stream = File::OpenForReading(temp / name);
        ASSERT_TRUE(stream.ok());
        EXPECT_EQ(RunStreamSplit({name, temp / "out", 4}, stream.value(), &options, refused),
                  Outcome::Failed);
        EXPECT_EQ(refused.Errors().size(), 2u);
    }
    EXPECT_FALSE(testing::Exists(temp / "out"));
    // Names that only look alike still split.
    EXPECT_EQ(Split(10, 4, "movie.kdh2"), Outcome::Succeeded);
    EXPECT_EQ(Split(10, 4, "kdh"), Outcome::Succeeded);
}

TEST_F(SplitTest, MissingParentsOfTheDestinationAreMadeWhenAsked) {
    source = RandomBytes(10);
    testing::WriteBytes(temp / "movie.avi", source);
    SplitRequest request{temp / "movie.avi", temp / "a/b/c", 4};
    EXPECT_EQ(RunSplit(request, &options, host), Outcome::Failed);
    EXPECT_EQ(host.Errors(), std::vector<std::string>{"Can not create folder!"});
    EXPECT_FALSE(testing::Exists(temp / "a"));
    request.creation = FolderCreation::WithParents;
    options.splitFolderMode = 1;
    host.AnswerNext(true);
    EXPECT_EQ(RunSplit(request, &options, host), Outcome::Succeeded);
    EXPECT_EQ(host.questions.size(), 1u);
    EXPECT_EQ(testing::ReadBytes(temp / "a/b/c/movie_3.skf"), Slice(8, 2));
}

#ifndef _WIN32
// A small file system of its own, mounted for the test; needs root.
class SmallFileSystem {
  public:
    SmallFileSystem(const std::string& at, const char* size) : m_at(at) {
        std::filesystem::create_directories(at);
        m_mounted = ::mount("tmpfs", at.c_str(), "tmpfs", 0, size) == 0;
    }
    ~SmallFileSystem() {
        if (m_mounted) {
            ::umount2(m_at.c_str(), MNT_DETACH);
        }
    }
    bool mounted() const { return m_mounted; }

  private:
    std::string m_at;
    bool m_mounted = false;
};

TEST_F(SplitTest, ASplitThatCannotFitIsRefusedBeforeAnythingIsWritten) {
    SmallFileSystem small(temp / "stick", "size=1m");
    if (!small.mounted()) {
        GTEST_SKIP() << "mounting a small file system needs root";
    }
    options.deleteAfterSplit = 1;
    source = RandomBytes(2 << 20);
    testing::WriteBytes(temp / "movie.avi", source);
    EXPECT_EQ(RunSplit({temp / "movie.avi", temp / "stick/out", 1 << 19}, &options, host),
              Outcome::Failed);
    ASSERT_EQ(host.Errors().size(), 1u);
    EXPECT_EQ(host.Errors()[0], "Not enough disk space, needs 2.1 MiB, 1.0 MiB free on " +
                                    temp.path() + "/stick/out/");
    EXPECT_EQ(Entries(temp / "stick/out"), std::vector<std::string>{});
    EXPECT_EQ(testing::ReadBytes(temp / "movie.avi"), source);
    // What fits is split.
    testing::WriteBytes(temp / "clip.avi", RandomBytes(100000));
    EXPECT_EQ(RunSplit({temp / "clip.avi", temp / "stick/out", 40000}, &options, host),
              Outcome::Succeeded);
    EXPECT_EQ(testing::SizeOf(temp / "stick/out/clip_3.skf"), 20000u);
}
#endif

TEST_F(SplitTest, TooManyPiecesForTheHeadFileStopBeforeAnythingIsWritten) {
    const std::string sparse = temp / "big.img";
    testing::WriteBytes(sparse, std::vector<char>());
    std::filesystem::resize_file(sparse, 1ull << 32);
    EXPECT_EQ(RunSplit({sparse, temp / "out", 1}, &options, host), Outcome::Failed);
    EXPECT_EQ(RunSplit({sparse, temp / "out", 0}, &options, host), Outcome::Failed);
    EXPECT_EQ(host.Errors(), (std::vector<std::string>{"Split size is too small for this file!",
                                                       "Split size is too small for this file!"}));
    EXPECT_FALSE(testing::Exists(temp / "out"));
}

}  // namespace
}  // namespace kavendrum
