#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/io/crc32.h"
#include "engine/io/file_system.h"
#include "engine/io/md5.h"
#include "engine/par2/par2_format.h"
#include "engine/par2/recovery_files.h"
#include "engine/par2/recovery_repair.h"
#include "engine/par2/slice_combiner.h"
#include "support/par2_piece_set.h"
#include "support/temp_folder.h"

namespace kavendrum::par2 {
namespace {

using testing::TempFolder;

using PieceSet = testing::Par2PieceSet;

TEST(RecoveryPlanTest, SlicesEachPieceInTwoAndKeepsEveryFileWithinThePieceSize) {
    const std::vector<std::string> names = {"a_1", "a_2", "a_3"};
    const RecoveryPlan plan = PlanRecovery(names, {1000, 1000, 10}, 1000, 2);
    EXPECT_EQ(plan.sliceSize, 500u);
    EXPECT_EQ(plan.inputSlices, 5u);
    EXPECT_EQ(plan.recoverySlices, 4u);
    EXPECT_EQ(plan.repairablePieces, 2u);
    EXPECT_LE(plan.recoveryFileBytes, 1000u);
    // Odd sizes round the slice up to a multiple of 4.
    EXPECT_EQ(PlanRecovery(names, {1001, 1001, 1}, 1001, 1).sliceSize, 504u);
    // More wanted than there are pieces: all of them.
    EXPECT_EQ(PlanRecovery(names, {1000, 1000, 10}, 1000, 9).repairablePieces, 3u);
    // Pieces too small for a slice and its headers, and too many slices: nothing can be had.
    EXPECT_EQ(PlanRecovery(names, {300, 300, 10}, 300, 1).mostRepairable, 0u);
    const std::vector<std::string> many(16385, "n");
    EXPECT_EQ(PlanRecovery(many, std::vector<std::uint64_t>(16385, 4096), 4096, 1).mostRepairable,
              0u);
    EXPECT_EQ(PlanRecovery(std::vector<std::string>(16384, "n"),
                           std::vector<std::uint64_t>(16384, 4096), 4096, 1)
                  .mostRepairable,
              16384u);
}

TEST(RecoveryFileNameTest, PadsTheFirstExponentToTheWidthOfTheCount) {
    EXPECT_EQ(IndexFileName("movie"), "movie.par2");
    EXPECT_EQ(RecoveryFileName("movie", 3, 1, 12), "movie.vol03+1.par2");
    EXPECT_EQ(RecoveryFileName("movie", 0, 1, 206), "movie.vol000+1.par2");
    EXPECT_EQ(RecoveryFileName("movie", 5, 1, 9), "movie.vol5+1.par2");
}

// Any N pieces lost or damaged come back byte for byte; one more is refused with the count
// of what is missing, and nothing is written.
TEST(RecoveryTest, RebuildsAnyNPiecesAndRefusesOneMore) {
    struct Case {
        std::uint64_t total, pieceSize;
        std::uint32_t wanted;
    };
    for (const Case c : {Case{100000, 10000, 3}, Case{54321, 7777, 2}, Case{5000, 5000, 1},
                         Case{300003, 1001, 5}}) {
        PieceSet set(c.total, c.pieceSize);
        const RecoveryResult made = CreateRecoveryFiles(set.Request(c.wanted));
        ASSERT_EQ(made.status, RecoveryStatus::Written) << c.total;
        ASSERT_EQ(made.written.size(), 1 + 2 * std::min<std::size_t>(c.wanted, set.Count()));
        // The recovery files fit the piece size; the index describes the whole set and may not.
        for (std::size_t i = 1; i < made.written.size(); ++i) {
            EXPECT_LE(testing::SizeOf(made.written[i]), c.pieceSize) << made.written[i];
        }
        const std::size_t n = std::min<std::size_t>(c.wanted, set.Count());
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t piece = (i * 7 + 1) % set.Count();
            i % 2 ? set.Damage(piece, 0) : set.Lose(piece);
        }
        RepairResult repaired = RepairPieces(set.Repair());
        EXPECT_EQ(repaired.status, RepairStatus::Repaired) << c.total;
        EXPECT_TRUE(set.Intact()) << c.total;
        if (set.Count() <= n + 1) {
            continue;
        }
        for (std::size_t i = 0; i <= n; ++i) {
            set.Lose(i);
        }
        const auto before = testing::ReadBytes(set.Path(set.Count() - 1));
        repaired = RepairPieces(set.Repair());
        EXPECT_EQ(repaired.status, RepairStatus::NotEnough) << c.total;
        EXPECT_GE(repaired.moreSlicesNeeded, 1u);
        EXPECT_EQ(repaired.morePiecesNeeded, 1u);
        EXPECT_EQ(testing::ReadBytes(set.Path(set.Count() - 1)), before);
    }
}

TEST(RecoveryTest, GoodPiecesAreNeitherWrittenNorReportedBad) {
    PieceSet set(40000, 10000);
    ASSERT_EQ(CreateRecoveryFiles(set.Request(1)).status, RecoveryStatus::Written);
    const auto before = IdentityOf(set.Path(0));
    RepairRequest check = set.Repair();
    EXPECT_EQ(RepairPieces(check).status, RepairStatus::AllGood);
    set.Damage(2, 9999);
    check.checkOnly = true;
    const RepairResult checked = RepairPieces(check);
    EXPECT_EQ(checked.status, RepairStatus::Repairable);
    EXPECT_EQ(checked.pieces[2].condition, PieceCondition::Damaged);
    EXPECT_EQ(checked.pieces[2].badSlices, 1u);
    EXPECT_FALSE(set.Intact());  // a check writes nothing
    EXPECT_EQ(RepairPieces(set.Repair()).status, RepairStatus::Repaired);
    EXPECT_TRUE(set.Intact());
    EXPECT_EQ(IdentityOf(set.Path(0)), before);
}

// A lost piece is rebuilt from the others as they are read; one of them found damaged at its own
// size then counts too: with too little recovery data for both nothing is written, with enough
// both come back.
TEST(RecoveryTest, APieceFoundDamagedWhileALostOneIsRebuiltCountsBeforeAnythingIsWritten) {
    for (const std::uint32_t wanted : {1u, 2u}) {
        PieceSet set(60000, 10000, wanted);
        ASSERT_EQ(CreateRecoveryFiles(set.Request(wanted)).status, RecoveryStatus::Written);
        set.Lose(0);
        set.Damage(3, 5000);
        const auto damaged = testing::ReadBytes(set.Path(3));
        const RepairResult repaired = RepairPieces(set.Repair());
        EXPECT_EQ(repaired.pieces[0].condition, PieceCondition::Missing);
        EXPECT_EQ(repaired.pieces[3].condition, PieceCondition::Damaged);
        EXPECT_EQ(repaired.pieces[3].badSlices, 1u);
        if (wanted == 1) {
            EXPECT_EQ(repaired.status, RepairStatus::NotEnough);
            EXPECT_FALSE(testing::Exists(set.Path(0)));
            EXPECT_EQ(testing::ReadBytes(set.Path(3)), damaged);
        } else {
            EXPECT_EQ(repaired.status, RepairStatus::Repaired);
            EXPECT_TRUE(set.Intact());
        }
    }
}

// With a memory limit below one slice the coding runs one recovery slice per pass, and the
// repair rebuilds one piece per pass: the same files and the same pieces come out.
TEST(RecoveryTest, RoundsUnderATightMemoryLimitGiveTheSameFiles) {
    PieceSet set(90000, 10000);
    RecoveryRequest request = set.Request(3);
    ASSERT_EQ(CreateRecoveryFiles(request).status, RecoveryStatus::Written);
    const auto whole = testing::ReadBytes(set.Folder() / "x.vol3+1.par2");
    request.memoryLimit = 1;
    ASSERT_EQ(CreateRecoveryFiles(request).status, RecoveryStatus::Written);
    EXPECT_EQ(testing::ReadBytes(set.Folder() / "x.vol3+1.par2"), whole);
    set.Lose(0);
    set.Lose(4);
    set.Damage(8, 17);
    RepairRequest repair = set.Repair();
    repair.memoryLimit = 1;
    repair.threads = 1;
    EXPECT_EQ(RepairPieces(repair).status, RepairStatus::Repaired);
    EXPECT_TRUE(set.Intact());
}

TEST(RecoveryTest, AnEmptyLastPieceAndASinglePieceAreProtected) {
    PieceSet withEmpty(30000, 10000);
    withEmpty.AddEmptyPiece();
    ASSERT_EQ(CreateRecoveryFiles(withEmpty.Request(1)).status, RecoveryStatus::Written);
    withEmpty.Lose(1);
    EXPECT_EQ(RepairPieces(withEmpty.Repair()).status, RepairStatus::Repaired);
    EXPECT_TRUE(withEmpty.Intact());

    PieceSet single(777, 1000);
    ASSERT_EQ(CreateRecoveryFiles(single.Request(1)).status, RecoveryStatus::Written);
    single.Damage(0, 776);
    EXPECT_EQ(RepairPieces(single.Repair()).status, RepairStatus::Repaired);
    EXPECT_TRUE(single.Intact());
}

TEST(RecoveryTest, StreamingTheBytesGivesTheSameFilesAsReadingThePieces) {
    PieceSet set(25000, 6000);
    const RecoveryRequest request = set.Request(2);
    ASSERT_EQ(CreateRecoveryFiles(request).status, RecoveryStatus::Written);
    const auto index = testing::ReadBytes(set.Folder() / "x.par2");
    const auto volume = testing::ReadBytes(set.Folder() / "x.vol3+1.par2");
    RecoveryEncoder encoder(request);
    std::vector<char> all;
    for (std::size_t i = 0; i < set.Count(); ++i) {
        const auto bytes = testing::ReadBytes(set.Path(i));
        all.insert(all.end(), bytes.begin(), bytes.end());
    }
    for (std::size_t at = 0; at < all.size(); at += 999) {
        encoder.Add(all.data() + at, std::min<std::size_t>(999, all.size() - at));
    }
    ASSERT_EQ(encoder.Finish().status, RecoveryStatus::Written);
    EXPECT_EQ(testing::ReadBytes(set.Folder() / "x.par2"), index);
    EXPECT_EQ(testing::ReadBytes(set.Folder() / "x.vol3+1.par2"), volume);
}

// Reading the pieces from disk hashes them beside the coding, batch by batch, in the first of
// several rounds only: every file must be the one the streamed checksums give. A piece whose size
// is not the one given fails the creation before anything is written.
TEST(RecoveryTest, PiecesReadInBatchesAndRoundsGiveTheStreamedFilesAndAChangedSizeFails) {
    PieceSet set(40 * 6000 + 2500, 6000);  // 81 slices: more than one batch
    RecoveryRequest request = set.Request(3);
    request.memoryLimit = 2 * SliceCombiner::OutputBytes(3000);  // rounds of two slices
    const RecoveryResult read = CreateRecoveryFiles(request);
    ASSERT_EQ(read.status, RecoveryStatus::Written);
    ASSERT_EQ(read.written.size(), 7u);
    std::vector<std::vector<char>> files;
    for (const std::string& path : read.written) {
        files.push_back(testing::ReadBytes(path));
    }
    RecoveryEncoder encoder(request);
    for (std::size_t i = 0; i < set.Count(); ++i) {
        const auto bytes = testing::ReadBytes(set.Path(i));
        encoder.Add(bytes.data(), bytes.size());
    }
    const RecoveryResult streamed = encoder.Finish();
    ASSERT_EQ(streamed.written, read.written);
    for (std::size_t f = 0; f < files.size(); ++f) {
        EXPECT_EQ(testing::ReadBytes(streamed.written[f]), files[f]) << streamed.written[f];
    }

    PieceSet other(25000, 6000, 2);
    RecoveryRequest wrong = other.Request(1);
    wrong.pieceSizes[1] -= 1;
    const RecoveryResult failed = CreateRecoveryFiles(wrong);
    EXPECT_EQ(failed.status, RecoveryStatus::Failed);
    EXPECT_EQ(failed.error.path, other.Path(1));
    EXPECT_FALSE(testing::Exists(other.Folder() / "x.par2"));
}

// The recovery files are written by several threads at once: one that cannot be put in place
// (a folder stands under its name) fails the run, names its file, and leaves no partial file;
// what is reported written is there.
TEST(RecoveryTest, ARecoveryFileThatCannotBeWrittenFailsTheRunAndLeavesNoPartialFile) {
    PieceSet set(60000, 6000);
    RecoveryRequest request = set.Request(4);
    request.threads = 3;
    std::filesystem::create_directory(set.Folder() / "x.vol5+1.par2");
    const RecoveryResult result = CreateRecoveryFiles(request);
    EXPECT_EQ(result.status, RecoveryStatus::Failed);
    EXPECT_NE(result.error.path.find("x.vol5+1.par2"), std::string::npos) << result.error.path;
    for (const auto& entry : std::filesystem::directory_iterator(set.Folder().path())) {
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(name.find(".tmp"), std::string::npos) << entry.path();
        EXPECT_EQ(name.find(".new"), std::string::npos) << entry.path();
    }
    ASSERT_FALSE(result.written.empty());
    for (const std::string& path : result.written) {
        EXPECT_EQ(path.find("x.vol5+1"), std::string::npos);
        EXPECT_TRUE(testing::Exists(path)) << path;
    }
}

// The checksums that reading the pieces gives, as the index file records them, against MD5 and
// CRC32 made directly over each piece, its first 16 KiB and each zero-padded slice: slices
// shorter and longer than 16 KiB, a short last slice, a last piece of one short slice, an empty
// last piece (left out of the set).
TEST(RecoveryTest, ChecksumsReadFromThePiecesAreThoseOfThePiecesAndSlices) {
    struct Shape {
        std::uint64_t total;
        std::uint64_t pieceSize;
        bool emptyLast;
    };
    for (const Shape& shape :
         {Shape{2 * 40000 + 30000, 40000, true}, Shape{2 * 40000 + 15000, 40000, false},
          Shape{3 * 10000 + 2501, 10000, false}}) {
        PieceSet set(shape.total, shape.pieceSize, 7);
        if (shape.emptyLast) {
            set.AddEmptyPiece();
        }
        const RecoveryRequest request = set.Request(1);
        ASSERT_EQ(CreateRecoveryFiles(request).status, RecoveryStatus::Written);
        PacketReader reader;
        ASSERT_TRUE(reader.AddFile(set.Folder() / "x.par2"));
        const auto found = reader.SetFor(request.pieceNames);
        ASSERT_TRUE(found.has_value());
        const std::uint64_t sliceSize = found->sliceSize;
        std::size_t seen = 0;
        for (const auto& [id, file] : found->files) {
            const auto bytes = testing::ReadBytes(set.Folder() / file.name);
            const std::string what = file.name + " of " + std::to_string(shape.total);
            EXPECT_EQ(file.md5, Md5Of(bytes.data(), bytes.size())) << what;
            EXPECT_EQ(file.md5Of16k,
                      Md5Of(bytes.data(), std::min<std::size_t>(bytes.size(), 16384)))
                << what;
            ASSERT_EQ(file.slices.size(), SlicesIn(bytes.size(), sliceSize)) << what;
            for (std::size_t s = 0; s < file.slices.size(); ++s) {
                std::vector<char> slice(static_cast<std::size_t>(sliceSize), 0);
                const std::size_t from = s * static_cast<std::size_t>(sliceSize);
                std::copy(
                    bytes.begin() + static_cast<long>(from),
                    bytes.begin() + static_cast<long>(std::min(bytes.size(), from + slice.size())),
                    slice.begin());
                EXPECT_EQ(file.slices[s].md5, Md5Of(slice.data(), slice.size()))
                    << what << " " << s;
                EXPECT_EQ(file.slices[s].crc, Crc32Of(slice.data(), slice.size()))
                    << what << " " << s;
            }
            ++seen;
        }
        EXPECT_EQ(seen, set.Count() - (shape.emptyLast ? 1 : 0));
    }
}

TEST(RecoveryTest, TooSmallPiecesAreRefusedWithTheMostThatCanBeHad) {
    PieceSet set(1000, 100);
    const RecoveryResult result = CreateRecoveryFiles(set.Request(2));
    EXPECT_EQ(result.status, RecoveryStatus::CannotMeet);
    EXPECT_EQ(result.plan.mostRepairable, 0u);
    EXPECT_TRUE(result.written.empty());
    EXPECT_FALSE(testing::Exists(set.Folder() / "x.par2"));
}

}  // namespace
}  // namespace kavendrum::par2
