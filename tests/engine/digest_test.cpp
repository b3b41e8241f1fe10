#include <gtest/gtest.h>

#include <random>

#include "engine/digest_pipe.h"
#include "engine/io/sha256.h"
#include "engine/io/sha256_pair.h"
#include "support/temp_folder.h"

namespace kavendrum {
namespace {

using testing::TempFolder;

std::string HexOf(const std::string& text) {
    Sha256 sha;
    sha.Update(text.data(), text.size());
    const auto digest = sha.Finish();
    return digest ? HexDigest(*digest) : "failed";
}

std::string HexOf(const std::vector<char>& bytes, std::size_t from, std::size_t size) {
    return HexOf(std::string(bytes.begin() + from, bytes.begin() + from + size));
}

// The published test vectors: the same on every platform, whichever library computes them.
TEST(Sha256Test, GivesThePublishedDigests) {
    EXPECT_EQ(HexOf(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(HexOf("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(HexOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(HexOf(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256Test, PartsMakeTheSameDigestAsTheWholeAndFinishStartsOver) {
    const auto bytes = testing::RandomBytes(100000, 3);
    Sha256 sha;
    sha.Update(bytes.data(), 1);
    sha.Update(bytes.data() + 1, 0);
    sha.Update(bytes.data() + 1, 65535);
    sha.Update(bytes.data() + 65536, bytes.size() - 65536);
    EXPECT_EQ(HexDigest(*sha.Finish()), HexOf(bytes, 0, bytes.size()));
    sha.Update("abc", 3);
    EXPECT_EQ(HexDigest(*sha.Finish()),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(Sha256Test, HexDigestsParseInEitherCaseAndNothingElseDoes) {
    const std::string lower = HexOf("abc");
    std::string upper = lower;
    for (auto& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    ASSERT_TRUE(ParseHexDigest(upper));
    EXPECT_EQ(HexDigest(*ParseHexDigest(upper)), lower);
    EXPECT_FALSE(ParseHexDigest(lower.substr(1)));
    EXPECT_FALSE(ParseHexDigest(lower + "0"));
    for (const char wrong : {'g', ' ', 'x'}) {
        std::string text = lower;
        text[0] = wrong;
        EXPECT_FALSE(ParseHexDigest(text)) << wrong;
    }
}

// The pair's two digests are libcrypto's, with its own routine and with the portable one (as on a
// processor without the SHA instructions): over parts of every size around the 64-byte block and
// the 56-byte padding limit, with the first lane finished at odd places while the second runs on.
TEST(Sha256PairTest, BothLanesGiveLibcryptosDigestsForAnyPartsAndBoundaries) {
    const auto bytes = testing::RandomBytes(300000, 11);
    for (const bool portable : {false, true}) {
        std::mt19937 random(portable ? 5 : 6);
        Sha256Pair pair(portable);
        Sha256 whole;
        Sha256 part;
        std::size_t at = 0;
        for (int step = 0; at < bytes.size(); ++step) {
            // Every size from 0 to 130 in turn, then larger random ones.
            std::size_t size = step <= 130 ? static_cast<std::size_t>(step) : random() % 20000;
            size = std::min(size, bytes.size() - at);
            pair.Update(bytes.data() + at, size);
            whole.Update(bytes.data() + at, size);
            part.Update(bytes.data() + at, size);
            at += size;
            if (step % 3 == 0 || random() % 4 == 0) {
                ASSERT_EQ(HexDigest(pair.Finish(Sha256Pair::kFirst)), HexDigest(*part.Finish()))
                    << "portable " << portable << " at " << at;
            }
        }
        EXPECT_EQ(HexDigest(pair.Finish(Sha256Pair::kFirst)), HexDigest(*part.Finish()))
            << "portable " << portable;
        EXPECT_EQ(HexDigest(pair.Finish(Sha256Pair::kSecond)), HexDigest(*whole.Finish()))
            << "portable " << portable;
        // Both start over: nothing given gives the digest of nothing.
        EXPECT_EQ(HexDigest(pair.Finish(Sha256Pair::kFirst)), HexOf(""));
        EXPECT_EQ(HexDigest(pair.Finish(Sha256Pair::kSecond)), HexOf(""));
    }
}

// Two inputs side by side: each lane's digest is libcrypto's over its own bytes, for lengths on
// both sides of every block and padding boundary, parts of unequal sizes in each call (one lane
// given nothing, say), with and without the SHA instructions.
TEST(Sha256PairTest, TwoInputsGiveEachLaneTheDigestOfItsOwnBytes) {
    const auto bytes = testing::RandomBytes(400000, 12);
    const char* const first = bytes.data();
    const char* const second = bytes.data() + 200000;
    for (const bool portable : {false, true}) {
        std::mt19937 random(portable ? 7 : 8);
        Sha256Pair pair(portable);
        // Every pair of lengths up to 140 in one call each, then long inputs in uneven parts.
        for (std::size_t a = 0; a <= 140; a += 1 + a / 40) {
            for (std::size_t b = 0; b <= 140; ++b) {
                pair.Update(first + b, a, second + a, b);
                ASSERT_EQ(HexDigest(pair.Finish(Sha256Pair::kFirst)), HexOf(bytes, b, a))
                    << "portable " << portable << " lengths " << a << ", " << b;
                ASSERT_EQ(HexDigest(pair.Finish(Sha256Pair::kSecond)), HexOf(bytes, 200000 + a, b))
                    << "portable " << portable << " lengths " << a << ", " << b;
            }
        }
        std::size_t atFirst = 0;
        std::size_t atSecond = 0;
        while (atFirst < 150000 || atSecond < 190000) {
            const std::size_t a = std::min<std::size_t>(random() % 9000, 150000 - atFirst);
            const std::size_t b =
                std::min<std::size_t>(random() % 3 == 0 ? 0 : random() % 70000, 190000 - atSecond);
            pair.Update(first + atFirst, a, second + atSecond, b);
            atFirst += a;
            atSecond += b;
        }
        EXPECT_EQ(HexDigest(pair.Finish(Sha256Pair::kFirst)), HexOf(bytes, 0, 150000))
            << "portable " << portable;
        EXPECT_EQ(HexDigest(pair.Finish(Sha256Pair::kSecond)), HexOf(bytes, 200000, 190000))
            << "portable " << portable;
        pair.Update(nullptr, 0, second, 3);
        EXPECT_EQ(HexDigest(pair.Finish(Sha256Pair::kFirst)), HexOf(""));
        EXPECT_EQ(HexDigest(pair.Finish(Sha256Pair::kSecond)), HexOf(bytes, 200000, 3));
    }
}

// The pipe's digests are those of the bytes it moved, piece by piece and whole, also when a piece
// spans several blocks, ends inside one, or is empty, and the bytes reach the output unchanged.
TEST(DigestPipeTest, HashesEachPieceAndTheWholeOfWhatItMoves) {
    TempFolder temp;
    const std::size_t block = DigestPipe::kBlockSize;
    const std::vector<std::size_t> sizes = {3 * block + 17, 1, 0, block, 12345};
    std::size_t total = 0;
    for (const auto size : sizes) {
        total += size;
    }
    const auto bytes = testing::RandomBytes(total, 9);
    testing::WriteBytes(temp / "in", bytes);
    auto in = File::OpenForReading(temp / "in");
    auto out = File::OpenForWriting(temp / "out");
    ASSERT_TRUE(in.ok() && out.ok());

    DigestPipe pipe(true, true);
    std::vector<std::optional<Sha256Digest>> digests;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const Moved moved = pipe.Move(in.value(), &out.value(), sizes[i]);
        ASSERT_FALSE(moved.error);
        ASSERT_EQ(moved.bytes, sizes[i]);
        pipe.EndPiece();
        if (i == 1) {  // taking some on the way leaves the others for later
            digests = pipe.TakePieceDigests();
        }
    }
    for (auto& digest : pipe.TakePieceDigests()) {
        digests.push_back(digest);
    }
    ASSERT_EQ(digests.size(), sizes.size());
    std::size_t from = 0;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        ASSERT_TRUE(digests[i]);
        EXPECT_EQ(HexDigest(*digests[i]), HexOf(bytes, from, sizes[i])) << "piece " << i;
        from += sizes[i];
    }
    EXPECT_EQ(HexDigest(*pipe.WholeDigest()), HexOf(bytes, 0, total));
    out.value().Close();
    EXPECT_EQ(testing::ReadBytes(temp / "out"), bytes);
}

TEST(DigestPipeTest, ReadingOnlyHashesAndStopsAtTheEndOfTheFile) {
    TempFolder temp;
    const auto bytes = testing::RandomBytes(DigestPipe::kBlockSize + 5, 4);
    testing::WriteBytes(temp / "in", bytes);
    auto in = File::OpenForReading(temp / "in");
    ASSERT_TRUE(in.ok());
    DigestPipe pipe(true, false);
    const Moved moved = pipe.Move(in.value(), nullptr, bytes.size() + 100);
    EXPECT_EQ(moved.bytes, bytes.size());
    pipe.EndPiece();
    const auto digests = pipe.TakePieceDigests();
    ASSERT_EQ(digests.size(), 1u);
    EXPECT_EQ(HexDigest(*digests[0]), HexOf(bytes, 0, bytes.size()));
}

}  // namespace
}  // namespace kavendrum
