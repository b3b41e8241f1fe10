#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/io/crc32.h"
#include "engine/io/md5.h"
#include "support/temp_folder.h"

namespace kavendrum {
namespace {

std::string Hex(const Md5Digest& digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const auto byte : digest) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0xF];
    }
    return text;
}

std::string Md5Hex(const std::string& text) {
    return Hex(Md5Of(text.data(), text.size()));
}

// The test suite published with MD5 itself, the same on every platform's library.
TEST(Md5Test, GivesThePublishedDigests) {
    EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(Md5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234"
                     "567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5Test, PartsMakeTheSameDigestAsTheWholeAndFinishStartsOver) {
    const auto bytes = testing::RandomBytes(100000, 7);
    Md5 md5;
    md5.Update(bytes.data(), 1);
    md5.Update(bytes.data() + 1, 0);
    md5.Update(bytes.data() + 1, 65535);
    md5.Update(bytes.data() + 65536, bytes.size() - 65536);
    EXPECT_EQ(Hex(*md5.Finish()), Hex(Md5Of(bytes.data(), bytes.size())));
    md5.Update("abc", 3);
    EXPECT_EQ(Hex(*md5.Finish()), "900150983cd24fb0d6963f7d28e17f72");
}

// A fork goes on from where its chain was, and the two then go their own ways: a piece's chain
// gives its first slice's digest on a fork and must still give the whole piece's.
TEST(Md5Test, AForkContinuesFromItsChainWithoutChangingIt) {
    const auto bytes = testing::RandomBytes(100000, 3);
    Md5 chain;
    chain.Update(bytes.data(), 70001);
    Md5 fork = chain.Fork();
    fork.Update(bytes.data() + 90000, 10000);
    chain.Update(bytes.data() + 70001, bytes.size() - 70001);
    std::vector<char> forked(bytes.begin(), bytes.begin() + 70001);
    forked.insert(forked.end(), bytes.begin() + 90000, bytes.end());
    EXPECT_EQ(fork.Finish(), Md5Of(forked.data(), forked.size()));
    EXPECT_EQ(chain.Finish(), Md5Of(bytes.data(), bytes.size()));
}

TEST(Crc32Test, GivesTheCheckValueAndContinuesAndPadsRuns) {
    EXPECT_EQ(Crc32Of("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(Crc32Of("", 0), 0u);
    const auto bytes = testing::RandomBytes(70000, 9);
    const std::uint32_t whole = Crc32Of(bytes.data(), bytes.size());
    EXPECT_EQ(Crc32Update(Crc32Of(bytes.data(), 12345), bytes.data() + 12345, bytes.size() - 12345),
              whole);
    for (const std::size_t zeros : {0u, 1u, 4095u, 4096u, 10001u}) {
        std::vector<char> padded(bytes.begin(), bytes.begin() + 100);
        padded.resize(100 + zeros, 0);
        EXPECT_EQ(Crc32ZeroExtend(Crc32Of(bytes.data(), 100), zeros),
                  Crc32Of(padded.data(), padded.size()))
            << zeros;
    }
}

}  // namespace
}  // namespace kavendrum
