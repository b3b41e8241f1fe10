#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/io/crc32.h"
#include "engine/par2/par2_format.h"
#include "support/temp_folder.h"

namespace kavendrum::par2 {
namespace {

using testing::TempFolder;

FileEntry Entry(const std::string& name, std::uint64_t length, std::uint64_t sliceSize) {
    FileEntry file;
    file.name = name;
    file.length = length;
    file.md5 = Md5Of(name.data(), name.size());
    file.md5Of16k = Md5Of(name.data(), 1);
    file.id = FileIdOf(file.md5Of16k, length, name);
    for (std::uint64_t s = 0; s < SlicesIn(length, sliceSize); ++s) {
        file.slices.push_back({Md5Of(&s, sizeof s), static_cast<std::uint32_t>(s * 77)});
    }
    return file;
}

SetDescription TwoFiles() {
    SetDescription set;
    set.sliceSize = 64;
    set.files = {Entry("p_1.skf", 200, 64), Entry("p_22.skf", 64, 64)};
    SortFilesById(set.files);
    return set;
}

std::vector<std::uint8_t> Concat(std::initializer_list<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> out;
    for (const auto& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

std::vector<std::uint8_t> RecoveryPacket(const Md5Digest& setId, std::uint32_t exponent,
                                         std::size_t size) {
    std::vector<std::uint8_t> data(size, static_cast<std::uint8_t>(exponent));
    const auto prefix = RecoveryPacketPrefix(setId, exponent, data.data(), data.size());
    std::vector<std::uint8_t> packet(prefix.size() + data.size());
    std::copy(prefix.begin(), prefix.end(), packet.begin());
    std::copy(data.begin(), data.end(), packet.begin() + static_cast<long>(prefix.size()));
    return packet;
}

std::optional<FoundSet> ReadBack(const TempFolder& folder, const std::vector<std::uint8_t>& bytes,
                                 const std::vector<std::string>& names = {"p_1.skf"},
                                 PacketReader* kept = nullptr) {
    testing::WriteBytes(folder / "x.par2", bytes);
    PacketReader reader;
    PacketReader& used = kept != nullptr ? *kept : reader;
    EXPECT_TRUE(used.AddFile(folder / "x.par2"));
    return used.SetFor(names);
}

TEST(Par2FormatTest, WhatIsWrittenReadsBackWhole) {
    TempFolder folder;
    const SetDescription set = TwoFiles();
    const Md5Digest id = RecoverySetIdOf(set);
    const auto found =
        ReadBack(folder, Concat({CriticalPackets(set), CreatorPacket(id), RecoveryPacket(id, 0, 64),
                                 RecoveryPacket(id, 7, 64)}));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->id, id);
    EXPECT_EQ(found->sliceSize, 64u);
    ASSERT_EQ(found->fileIds.size(), 2u);
    EXPECT_EQ(found->fileIds[0], set.files[0].id);
    for (const FileEntry& file : set.files) {
        const FileEntry& read = found->files.at(file.id);
        EXPECT_EQ(read.name, file.name);
        EXPECT_EQ(read.length, file.length);
        EXPECT_EQ(read.md5, file.md5);
        EXPECT_EQ(read.slices, file.slices);
    }
    ASSERT_EQ(found->recovery.size(), 2u);
    EXPECT_EQ(found->recovery[1].exponent, 7u);
    EXPECT_NE(found->creator.find("Kavendrum"), std::string::npos);
    EXPECT_EQ(CriticalPacketBytes({"p_1.skf", "p_22.skf"}, {4, 1}) + CreatorPacketBytes(),
              Concat({CriticalPackets(set), CreatorPacket(id)}).size());
}

// Packets are found anywhere, behind junk and damage; a damaged packet is skipped and its
// copy elsewhere serves. A recovery slice is located whole or damaged, and its check tells.
TEST(Par2FormatTest, DamagedPacketsAreSkippedAndCopiesServe) {
    TempFolder folder;
    const SetDescription set = TwoFiles();
    const Md5Digest id = RecoverySetIdOf(set);
    auto damaged = CriticalPackets(set);
    damaged[200] ^= 1;                        // inside the first file's description
    EXPECT_FALSE(ReadBack(folder, damaged));  // the set lacks a file's description now
    auto recovery = RecoveryPacket(id, 3, 64);
    recovery.back() ^= 1;
    PacketReader reader;
    const auto found = ReadBack(folder,
                                Concat({{1, 2, 3},
                                        damaged,
                                        {'P', 'A', 'R', '2'},
                                        recovery,
                                        CriticalPackets(set),
                                        RecoveryPacket(id, 3, 64)}),
                                {"p_1.skf"}, &reader);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->files.size(), 2u);
    ASSERT_EQ(found->recovery.size(), 2u);  // the damaged one does not hide its sound copy
    EXPECT_FALSE(reader.SliceIntact(*found, found->recovery[0]));
    EXPECT_TRUE(reader.SliceIntact(*found, found->recovery[1]));
}

// Readers of runs of files, joined in order, find what one reader of all the files finds: the
// recovery slices point into the right files, a description damaged in the first run is taken
// from a later one, and copies are kept once.
TEST(Par2FormatTest, ReadersOfRunsOfFilesJoinedInOrderFindWhatOneReaderFinds) {
    TempFolder folder;
    const SetDescription set = TwoFiles();
    const Md5Digest id = RecoverySetIdOf(set);
    auto damaged = CriticalPackets(set);
    damaged[200] ^= 1;
    auto broken = RecoveryPacket(id, 3, 64);
    broken.back() ^= 1;
    const std::vector<std::vector<std::uint8_t>> contents = {
        Concat({damaged, broken}),
        Concat({CriticalPackets(set), RecoveryPacket(id, 3, 64), RecoveryPacket(id, 4, 64)}),
        Concat({RecoveryPacket(id, 5, 64), CriticalPackets(set)})};
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < contents.size(); ++i) {
        paths.push_back(folder / ("x" + std::to_string(i) + ".par2"));
        testing::WriteBytes(paths.back(), contents[i]);
    }
    PacketReader whole;
    for (const auto& path : paths) {
        ASSERT_TRUE(whole.AddFile(path));
    }
    PacketReader joined;
    PacketReader later;
    ASSERT_TRUE(joined.AddFile(paths[0]));
    ASSERT_TRUE(later.AddFile(paths[1]));
    ASSERT_TRUE(later.AddFile(paths[2]));
    joined.Append(std::move(later));
    EXPECT_EQ(joined.Paths(), whole.Paths());
    const auto expected = whole.SetFor({"p_1.skf"});
    const auto found = joined.SetFor({"p_1.skf"});
    ASSERT_TRUE(expected && found);
    EXPECT_EQ(found->files.size(), 2u);
    ASSERT_EQ(found->recovery.size(), expected->recovery.size());
    ASSERT_EQ(found->recovery.size(), 4u);
    for (std::size_t i = 0; i < found->recovery.size(); ++i) {
        EXPECT_EQ(found->recovery[i].file, expected->recovery[i].file) << i;
        EXPECT_EQ(found->recovery[i].dataOffset, expected->recovery[i].dataOffset) << i;
        EXPECT_EQ(found->recovery[i].exponent, expected->recovery[i].exponent) << i;
        EXPECT_EQ(joined.SliceIntact(*found, found->recovery[i]), i != 0) << i;
    }
}

// A recovery packet whose length does not lead to another packet is checked when read: a length
// damaged to a larger one must not hide the packets it would pass over.
TEST(Par2FormatTest, ARecoveryPacketOfDoubtfulLengthIsCheckedAtOnce) {
    TempFolder folder;
    const SetDescription set = TwoFiles();
    const Md5Digest id = RecoverySetIdOf(set);
    auto stretched = RecoveryPacket(id, 4, 64);
    stretched[8] += 8;  // two words longer: into the next packet
    const auto found = ReadBack(
        folder, Concat({CriticalPackets(set), stretched, RecoveryPacket(id, 5, 64), {0, 0, 0, 0}}));
    ASSERT_TRUE(found);
    ASSERT_EQ(found->recovery.size(), 1u);
    EXPECT_EQ(found->recovery[0].exponent, 5u);
}

// Lengths that overrun the file, are not multiples of 4 or shorter than a header, a main packet
// with more files than it holds, recovery slices of the wrong size.
TEST(Par2FormatTest, HostileFieldsAreNotBelieved) {
    TempFolder folder;
    const SetDescription set = TwoFiles();
    const Md5Digest id = RecoverySetIdOf(set);
    for (const std::uint64_t length : {0ull, 63ull, 65ull, 1ull << 62, ~0ull}) {
        auto packets = CriticalPackets(set);
        for (int i = 0; i < 8; ++i) {
            packets[8 + i] = static_cast<std::uint8_t>(length >> (8 * i));
        }
        // The main packet is lost, and with it the set; nothing is read beyond the file.
        EXPECT_FALSE(ReadBack(folder, packets)) << length;
    }
    const auto found =
        ReadBack(folder, Concat({CriticalPackets(set), RecoveryPacket(id, 1, 60),
                                 RecoveryPacket(id, 2, 64), RecoveryPacket(id, 65537, 64)}));
    ASSERT_TRUE(found);
    ASSERT_EQ(found->recovery.size(), 2u);  // 60 bytes is no slice
    EXPECT_EQ(found->recovery[0].exponent, 2u);
}

TEST(Par2FormatTest, ASetIsChosenOnlyByThePiecesOwnNames) {
    TempFolder folder;
    const SetDescription set = TwoFiles();
    const auto bytes = CriticalPackets(set);
    EXPECT_TRUE(ReadBack(folder, bytes, {"p_22.skf"}));
    EXPECT_FALSE(ReadBack(folder, bytes, {"p_3.skf", "P_1.SKF", "../p_1.skf"}));
    SetDescription other;
    other.sliceSize = 4;
    other.files = {Entry("p_1.skf", 8, 4), Entry("q.skf", 4, 4), Entry("p_22.skf", 4, 4)};
    SortFilesById(other.files);
    const auto found =
        ReadBack(folder, Concat({bytes, CriticalPackets(other)}), {"p_1.skf", "p_22.skf", "q.skf"});
    ASSERT_TRUE(found);
    EXPECT_EQ(found->id, RecoverySetIdOf(other));
}

TEST(Par2FormatTest, ARecoveryPacketHashesWhatItCarries) {
    const Md5Digest id{};
    const auto packet = RecoveryPacket(id, 5, 8);
    std::vector<std::uint8_t> covered(packet.begin() + 32, packet.end());
    EXPECT_EQ(Md5Of(covered.data(), covered.size()),
              Md5Digest(*reinterpret_cast<const Md5Digest*>(packet.data() + 16)));
    EXPECT_EQ(packet.size(), kRecoveryPrefixBytes + 8);
}

}  // namespace
}  // namespace kavendrum::par2
