#include <gtest/gtest.h>

#include "engine/head_file.h"
#include "support/temp_folder.h"

namespace kavendrum {
namespace {

using Bytes = std::vector<std::uint8_t>;

HeadRead ReadBack(const Bytes& bytes) {
    testing::TempFolder temp;
    testing::WriteBytes(temp / "x.kdh", bytes);
    auto file = File::OpenForReading(temp / "x.kdh");
    EXPECT_TRUE(file.ok());
    return ReadHeadFile(file.value());
}

Bytes Record(std::uint32_t fileSize, std::uint32_t count, std::uint32_t size, std::uint32_t unit) {
    return EncodeHeadFile({fileSize, count, size, unit, "bin"});
}

TEST(HeadFileTest, EncodesTheRecordByteForByte) {
    EXPECT_EQ(EncodeHeadFile(MakeHeadFileInfo(3000000, 3, 1457664, "avi")),
              (Bytes{0xC0, 0xC6, 0x2D, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x3E,
                     0x16, 0x00, 0x00, 0x3E, 0x16, 0x00, 0x03, 0x61, 0x76, 0x69}));
    EXPECT_EQ(EncodeHeadFile(MakeHeadFileInfo(100, 1, 32768, "txt")),
              (Bytes{0x64, 0, 0,    0,    0x01, 0, 0,    0,   0x00, 0x80,
                     0,    0, 0x00, 0x80, 0,    0, 0x03, 't', 'x',  't'}));
    EXPECT_EQ(MakeHeadFileInfo(3000000, 2, 2097152, "").copyUnit, 1457664u);
    EXPECT_EQ(EncodeHeadFile(MakeHeadFileInfo(0, 1, 10, "")).size(), 17u);
}

TEST(HeadFileTest, LengthPrefixGrowsWithTheExtension) {
    const auto prefixOf = [](std::size_t length) {
        const Bytes bytes = EncodeHeadFile({1, 1, 2, 2, std::string(length, 'e')});
        return Bytes(bytes.begin() + 16, bytes.end() - static_cast<std::ptrdiff_t>(length));
    };
    EXPECT_EQ(prefixOf(254), (Bytes{0xFE}));
    EXPECT_EQ(prefixOf(255), (Bytes{0xFF, 0xFF, 0x00}));
    EXPECT_EQ(prefixOf(65533), (Bytes{0xFF, 0xFD, 0xFF}));
    EXPECT_EQ(prefixOf(65534), (Bytes{0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}));
}

TEST(HeadFileTest, ReadsBackWhatWasWrittenForEveryPrefixForm) {
    for (const std::size_t length : {0u, 3u, 254u, 255u, 65534u}) {
        const HeadFileInfo info{5000, 3, 2000, 2000, std::string(length, 'q')};
        const HeadRead read = ReadBack(EncodeHeadFile(info));
        EXPECT_EQ(read.status, HeadReadStatus::Read) << length;
        EXPECT_EQ(read.info, info) << length;
    }
}

TEST(HeadFileTest, ReadsWideExtensions) {
    Bytes bytes = Record(10, 1, 20, 20);
    bytes.resize(16);
    for (const int byte : {0xFF, 0xFE, 0xFF, 0x02, 0x61, 0x00, 0xE9, 0x00}) {
        bytes.push_back(static_cast<std::uint8_t>(byte));
    }
    const HeadRead read = ReadBack(bytes);
    EXPECT_EQ(read.status, HeadReadStatus::Read);
    EXPECT_EQ(read.info.extension, "a\xC3\xA9");
}

TEST(HeadFileTest, FilesThatEndEarlyAreRefused) {
    const Bytes whole = Record(2500, 3, 1000, 1000);
    for (const std::size_t size : {0u, 4u, 16u, 19u}) {
        EXPECT_EQ(ReadBack(Bytes(whole.begin(), whole.begin() + size)).status,
                  HeadReadStatus::EndsEarly)
            << size;
    }
    // A length that claims more than the file holds.
    Bytes claimsTooMuch = whole;
    claimsTooMuch.resize(16);
    for (const int byte : {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x61}) {
        claimsTooMuch.push_back(static_cast<std::uint8_t>(byte));
    }
    EXPECT_EQ(ReadBack(claimsTooMuch).status, HeadReadStatus::EndsEarly);
}

TEST(HeadFileTest, RecordsNoSplitWritesAreUnsound) {
    EXPECT_EQ(ReadBack(Record(2500, 3, 1000, 1000)).status, HeadReadStatus::Read);
    EXPECT_EQ(ReadBack(Record(2500, 0, 1000, 1000)).status, HeadReadStatus::Unsound);
    EXPECT_EQ(ReadBack(Record(2500, 3, 0, 0)).status, HeadReadStatus::Unsound);
    EXPECT_EQ(ReadBack(Record(2500, 3, 1000, 500)).status, HeadReadStatus::Unsound);
    EXPECT_EQ(ReadBack(Record(3000000, 2, 2097152, 2097152)).status, HeadReadStatus::Unsound);
    EXPECT_EQ(ReadBack(Record(3000000, 2, 2097152, 1457664)).status, HeadReadStatus::Read);
    // The last piece would be as large as a full one, or the size wraps below zero.
    EXPECT_EQ(ReadBack(Record(3000, 3, 1000, 1000)).status, HeadReadStatus::Unsound);
    EXPECT_EQ(ReadBack(Record(1500, 3, 1000, 1000)).status, HeadReadStatus::Unsound);
}

// The extension ends the rebuilt file's name, so it may hold no folder separator of this
// platform and no control character, in either text form; nor may the name it makes with the
// head file's own name be "." or "..".
TEST(HeadFileTest, ExtensionsThatCannotEndAFileNameAreUnsound) {
    const auto statusOf = [](const std::string& extension) {
        return ReadBack(EncodeHeadFile({10, 1, 20, 20, extension})).status;
    };
    for (const std::string& extension :
         {std::string("d/../../outside/victim"), std::string("/"), std::string("a\0b", 3),
          std::string("a\nb"), std::string("\x1f"), std::string("\x7f")}) {
        EXPECT_EQ(statusOf(extension), HeadReadStatus::Unsound) << extension;
    }
#ifdef _WIN32
    EXPECT_EQ(statusOf("d\\..\\x"), HeadReadStatus::Unsound);
    EXPECT_EQ(statusOf("avi:stream"), HeadReadStatus::Unsound);
#else
    EXPECT_EQ(statusOf("d\\..\\x"), HeadReadStatus::Read);
    EXPECT_EQ(statusOf("avi:stream"), HeadReadStatus::Read);
#endif
    EXPECT_EQ(statusOf("tar.gz \xe9"), HeadReadStatus::Read);

    // FF FE FF: the 16-bit form, here "a/b".
    Bytes wide = Record(10, 1, 20, 20);
    wide.resize(16);
    for (const int byte : {0xFF, 0xFE, 0xFF, 0x03, 0x61, 0x00, 0x2F, 0x00, 0x62, 0x00}) {
        wide.push_back(static_cast<std::uint8_t>(byte));
    }
    EXPECT_EQ(ReadBack(wide).status, HeadReadStatus::Unsound);
}

TEST(HeadFileTest, HeadFilesWhoseRebuiltNameWouldBeAFolderAreUnsound) {
    testing::TempFolder temp;
    const auto statusAt = [&](const std::string& name, const std::string& extension) {
        testing::WriteBytes(temp / name, EncodeHeadFile({10, 1, 20, 20, extension}));
        auto file = File::OpenForReading(temp / name);
        EXPECT_TRUE(file.ok());
        return ReadHeadFile(file.value()).status;
    };
    EXPECT_EQ(statusAt("..kdh", ""), HeadReadStatus::Unsound);   // "."
    EXPECT_EQ(statusAt("...kdh", ""), HeadReadStatus::Unsound);  // ".."
    EXPECT_EQ(statusAt("..kdh", "avi"), HeadReadStatus::Read);   // "..avi"
    EXPECT_EQ(statusAt("movie.kdh", ""), HeadReadStatus::Read);  // "movie"
}

TEST(HeadFileTest, WholeSizeOfFilesOverFourGibibytesIsRecovered) {
    const std::uint64_t size = (5ull << 30) + 12345;
    const std::uint32_t pieceSize = 629145600;
    const auto count = static_cast<std::uint32_t>(size / pieceSize + 1);
    const HeadFileInfo info = MakeHeadFileInfo(size, count, pieceSize, "iso");
    EXPECT_EQ(info.fileSize, static_cast<std::uint32_t>(size));
    EXPECT_TRUE(IsSoundHeadInfo(info));
    EXPECT_EQ(LastPieceSize(info), size % pieceSize);
    EXPECT_EQ(WholeFileSize(info), size);
}

}  // namespace
}  // namespace kavendrum
