#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bitset>
#include <set>
#include <string>
#include <vector>

#include "engine/io/crc32.h"
#include "engine/io/file_system.h"
#include "engine/par2/gf16.h"
#include "engine/par2/par2_format.h"
#include "engine/par2/recovery_files.h"
#include "engine/par2/recovery_repair.h"
#ifndef _WIN32
#include "support/hang_guard.h"
#endif
#include "support/par2_piece_set.h"
#include "support/temp_folder.h"

namespace kavendrum::par2 {
namespace {

using testing::TempFolder;

// Pieces of 10000 bytes (two slices of 5000 each) cut from random bytes, with their recovery
// files; the last piece may be shorter.
class Pieces : public testing::Par2PieceSet {
  public:
    Pieces(std::uint64_t total, std::uint32_t wanted, std::uint32_t seed = 1)
        : Par2PieceSet(total, kPieceSize, seed) {
        const RecoveryResult made = CreateRecoveryFiles(Request(wanted));
        EXPECT_EQ(made.status, RecoveryStatus::Written);
        EXPECT_EQ(made.plan.sliceSize, kSliceSize);
    }

    static constexpr std::uint64_t kPieceSize = 10000;
    static constexpr std::uint64_t kSliceSize = 5000;
};

// The part of the CRC32 that is linear in the bytes: crc(a ^ b) = crc(a) ^ crc(b) ^ crc(zeros).
std::uint32_t LinearCrc(const std::vector<char>& delta) {
    const std::vector<char> zeros(delta.size(), 0);
    return Crc32Of(delta.data(), delta.size()) ^ Crc32Of(zeros.data(), zeros.size());
}

// Flips byte `at` of the slice [start, start + length) of `bytes` and then the bits among the
// four bytes at `fix` that bring the slice's CRC32 back to what it was: damage its CRC misses.
void DamageKeepingCrc(std::vector<char>& bytes, std::size_t start, std::size_t length,
                      std::size_t at, std::size_t fix) {
    std::vector<char> delta(length, 0);
    delta[at - start] = 0x5A;
    std::uint32_t target = LinearCrc(delta);
    // Gaussian elimination over GF(2): the 32 bits at `fix` move the CRC through an invertible map.
    std::array<std::uint32_t, 32> basis{};
    std::array<std::uint32_t, 32> uses{};
    for (unsigned bit = 0; bit < 32; ++bit) {
        std::vector<char> one(length, 0);
        one[fix - start + bit / 8] = static_cast<char>(1 << (bit % 8));
        std::uint32_t value = LinearCrc(one);
        std::uint32_t used = 1u << bit;
        for (int b = 31; b >= 0 && value != 0; --b) {
            if ((value >> b & 1) == 0) {
                continue;
            }
            if (basis[b] == 0) {
                basis[b] = value;
                uses[b] = used;
                break;
            }
            value ^= basis[b];
            used ^= uses[b];
        }
    }
    std::uint32_t flips = 0;
    for (int b = 31; b >= 0; --b) {
        if ((target >> b & 1) != 0) {
            ASSERT_NE(basis[b], 0u);
            target ^= basis[b];
            flips ^= uses[b];
        }
    }
    const std::uint32_t before = Crc32Of(bytes.data() + start, length);
    bytes[at] ^= 0x5A;
    for (unsigned bit = 0; bit < 32; ++bit) {
        if ((flips >> bit & 1) != 0) {
            bytes[fix + bit / 8] ^= static_cast<char>(1 << (bit % 8));
        }
    }
    ASSERT_EQ(Crc32Of(bytes.data() + start, length), before);
}

// The coding indices of the slices `targets` (piece, slice) and the exponents of the first
// `rebuilt` recovery slices of distinct exponents, which a repair of that many slices takes.
void CodingOf(const Pieces& set, std::size_t rebuilt,
              const std::vector<std::pair<std::size_t, std::size_t>>& targets,
              std::vector<std::uint32_t>& indices, std::vector<std::uint32_t>& exponents) {
    PacketReader reader;
    std::vector<std::string> names;
    for (std::size_t i = 0; i < set.Count(); ++i) {
        names.push_back(set.Name(i));
    }
    for (const std::string& path : set.RecoveryFiles()) {
        ASSERT_TRUE(reader.AddFile(path));
    }
    const auto found = reader.SetFor(names);
    ASSERT_TRUE(found);
    for (const RecoverySliceRef& slice : found->recovery) {
        if (exponents.size() < rebuilt &&
            std::find(exponents.begin(), exponents.end(), slice.exponent) == exponents.end()) {
            exponents.push_back(slice.exponent);
        }
    }
    for (const auto& [piece, slice] : targets) {
        std::uint32_t first = 0;
        for (const Md5Digest& id : found->fileIds) {
            if (found->files.at(id).name == set.Name(piece)) {
                indices.push_back(first + static_cast<std::uint32_t>(slice));
            }
            first += static_cast<std::uint32_t>(found->files.at(id).slices.size());
        }
    }
}

// Multiples g, the last 1, with sum over j of factor(index_j, e) * g_j = 0 for every exponent:
// Gauss-Jordan on [factors of the others | factor of the last]. Empty when there are none.
std::vector<std::uint16_t> CancellingMultiples(const std::vector<std::uint32_t>& indices,
                                               const std::vector<std::uint32_t>& exponents) {
    const std::size_t m = exponents.size();
    std::vector<std::vector<std::uint16_t>> rows(m, std::vector<std::uint16_t>(m + 1));
    for (std::size_t r = 0; r < m; ++r) {
        for (std::size_t j = 0; j <= m; ++j) {
            rows[r][j] = CodingFactor(indices[j], exponents[r]);
        }
    }
    for (std::size_t c = 0; c < m; ++c) {
        std::size_t pivot = c;
        while (pivot < m && rows[pivot][c] == 0) {
            ++pivot;
        }
        if (pivot == m) {
            return {};
        }
        std::swap(rows[c], rows[pivot]);
        const std::uint16_t inverse = Gf16::Inverse(rows[c][c]);
        for (auto& value : rows[c]) {
            value = Gf16::Multiply(value, inverse);
        }
        for (std::size_t r = 0; r < m; ++r) {
            const std::uint16_t factor = r == c ? 0 : rows[r][c];
            for (std::size_t j = 0; factor != 0 && j <= m; ++j) {
                rows[r][j] ^= Gf16::Multiply(factor, rows[c][j]);
            }
        }
    }
    std::vector<std::uint16_t> multiples;
    for (std::size_t j = 0; j < m; ++j) {
        multiples.push_back(rows[j][m]);
    }
    multiples.push_back(1);
    return multiples;
}

// A slice's worth of damage: `multiple` times each word of `pattern`, from byte 64 on.
std::vector<char> DamageOf(std::uint16_t multiple, const std::vector<std::uint16_t>& pattern) {
    constexpr std::size_t kOffset = 64;
    std::vector<char> delta(Pieces::kSliceSize, 0);
    for (std::size_t w = 0; w < pattern.size(); ++w) {
        const std::uint16_t word = Gf16::Multiply(multiple, pattern[w]);
        delta[kOffset + 2 * w] = static_cast<char>(word & 0xFF);
        delta[kOffset + 2 * w + 1] = static_cast<char>(word >> 8);
    }
    return delta;
}

// A pattern of `words` words, not all zero, whose damage at every multiple leaves the CRC32 of a
// slice as it was: Gaussian elimination over GF(2) until some bits of the pattern move no CRC.
std::vector<std::uint16_t> PatternKeepingCrcs(const std::vector<std::uint16_t>& multiples,
                                              std::size_t words) {
    std::vector<std::pair<std::bitset<128>, std::bitset<128>>> basis(128);  // by top bit
    std::bitset<128> chosen;
    for (std::size_t bit = 0; bit < 16 * words && chosen.none(); ++bit) {
        std::vector<std::uint16_t> one(words, 0);
        one[bit / 16] = static_cast<std::uint16_t>(1u << (bit % 16));
        std::bitset<128> crcs;
        for (std::size_t j = 0; j < multiples.size(); ++j) {
            crcs |= std::bitset<128>(LinearCrc(DamageOf(multiples[j], one))) << (32 * j);
        }
        std::bitset<128> used;
        used.set(bit);
        for (std::size_t top = 128; top-- > 0 && crcs.any();) {
            if (crcs.test(top) && basis[top].first.none()) {
                basis[top] = {crcs, used};  // independent of those before: no pattern yet
                used.reset();
                break;
            }
            if (crcs.test(top)) {
                crcs ^= basis[top].first;
                used ^= basis[top].second;
            }
        }
        chosen = used;
    }
    std::vector<std::uint16_t> pattern(words, 0);
    for (std::size_t bit = 0; bit < 16 * words; ++bit) {
        if (chosen.test(bit)) {
            pattern[bit / 16] = static_cast<std::uint16_t>(pattern[bit / 16] | 1u << (bit % 16));
        }
    }
    return pattern;
}

// Damage in the kept slices `targets` (piece, slice) that keeps each slice's CRC32 and cancels out
// of whatever the first `rebuilt` recovery slices of the set solve for: one more damaged slice
// than rebuilt ones leaves the damage of each a fixed multiple, word for word, of one free
// pattern, and that pattern is chosen so that every slice's CRC32 stays as it was.
void DamageCancellingOut(Pieces& set, std::size_t rebuilt,
                         const std::vector<std::pair<std::size_t, std::size_t>>& targets) {
    ASSERT_EQ(targets.size(), rebuilt + 1);
    ASSERT_LE(32 * targets.size(), 128u);
    std::vector<std::uint32_t> indices, exponents;
    CodingOf(set, rebuilt, targets, indices, exponents);
    ASSERT_EQ(indices.size(), targets.size());
    ASSERT_EQ(exponents.size(), rebuilt);
    const std::vector<std::uint16_t> multiples = CancellingMultiples(indices, exponents);
    ASSERT_EQ(multiples.size(), targets.size());
    const std::size_t words = 2 * targets.size() + 1;  // 16 bits a word against 32 a slice
    const std::vector<std::uint16_t> pattern = PatternKeepingCrcs(multiples, words);
    ASSERT_NE(pattern, std::vector<std::uint16_t>(words, 0));
    for (std::size_t j = 0; j < targets.size(); ++j) {
        const auto [piece, slice] = targets[j];
        auto bytes = testing::ReadBytes(set.Path(piece));
        const std::size_t start = slice * Pieces::kSliceSize;
        ASSERT_LE(start + Pieces::kSliceSize, bytes.size());
        const std::uint32_t before = Crc32Of(bytes.data() + start, Pieces::kSliceSize);
        const auto delta = DamageOf(multiples[j], pattern);
        for (std::size_t at = 0; at < delta.size(); ++at) {
            bytes[start + at] = static_cast<char>(bytes[start + at] ^ delta[at]);
        }
        ASSERT_EQ(Crc32Of(bytes.data() + start, Pieces::kSliceSize), before);
        ASSERT_NE(bytes, set.Bytes(piece));
        set.Put(piece, bytes);
    }
}

// Flips a byte of the recovery data in the file at `path`, leaving its other packets whole.
void DamageRecoveryData(const std::string& path) {
    auto bytes = testing::ReadBytes(path);
    const char type[] = "PAR 2.0\0RecvSlic";
    const auto at = std::search(bytes.begin(), bytes.end(), type, type + 16);
    ASSERT_NE(at, bytes.end());
    *(at - 48 + kRecoveryPrefixBytes + 100) ^= 1;
    testing::WriteBytes(path, bytes);
}

// Pieces read for the coding are checked as the coding reads them: a piece whose last slice is
// short counts as good and is left alone, and a piece damaged at its own size is found, rebuilt
// when there is enough and otherwise left as it is.
TEST(RepairTest, KeptPiecesAreCheckedAsTheCodingReadsThem) {
    for (const std::uint32_t wanted : {1u, 2u}) {
        Pieces set(3 * Pieces::kPieceSize + 2345, wanted, wanted);
        set.Lose(0);
        const auto before = IdentityOf(set.Path(2));
        RepairResult repaired = RepairPieces(set.Repair());
        EXPECT_EQ(repaired.status, RepairStatus::Repaired);
        EXPECT_TRUE(set.Intact());
        EXPECT_EQ(repaired.pieces[3].condition, PieceCondition::Good);
        EXPECT_FALSE(repaired.pieces[3].rebuilt);
        EXPECT_EQ(IdentityOf(set.Path(2)), before);

        set.Lose(0);
        auto damaged = set.Bytes(3);
        damaged[2000] ^= 1;
        set.Put(3, damaged);
        const auto names = set.FolderNames();
        repaired = RepairPieces(set.Repair());
        EXPECT_EQ(repaired.pieces[3].condition, PieceCondition::Damaged);
        EXPECT_EQ(repaired.pieces[3].badSlices, 1u);
        EXPECT_EQ(IdentityOf(set.Path(2)), before);
        if (wanted == 1) {
            EXPECT_EQ(repaired.status, RepairStatus::NotEnough);
            EXPECT_EQ(repaired.moreSlicesNeeded, 1u);
            EXPECT_EQ(testing::ReadBytes(set.Path(3)), damaged);
            EXPECT_EQ(set.FolderNames(), names);  // nothing written, nothing left behind
        } else {
            EXPECT_EQ(repaired.status, RepairStatus::Repaired);
            EXPECT_TRUE(set.Intact());
        }
    }
}

// Damage that a slice's CRC32 misses is found by the damaged piece's MD5, and the repair ends as
// it would have with any other damage: nothing is put in place from a pass that took the piece
// for good.
TEST(RepairTest, DamageThatACrcMissesIsCaughtByTheRebuiltPieces) {
    struct Case {
        std::size_t lost, damaged, at, fix;
        std::uint32_t wanted;
    };
    // The damage and the four bytes that hide it from the CRC lie in the first slice of the
    // damaged piece; in the last two cases beyond the 2345 bytes of the lost last piece.
    for (const Case& c : {Case{0, 2, 1000, 1200, 2}, Case{0, 2, 1000, 1200, 1},
                          Case{3, 1, 3000, 4000, 1}, Case{3, 1, 3000, 4000, 2}}) {
        Pieces set(3 * Pieces::kPieceSize + 2345, c.wanted, 7);
        set.Lose(c.lost);
        auto damaged = set.Bytes(c.damaged);
        DamageKeepingCrc(damaged, 0, Pieces::kSliceSize, c.at, c.fix);
        set.Put(c.damaged, damaged);
        const auto names = set.FolderNames();
        const RepairResult repaired = RepairPieces(set.Repair());
        EXPECT_EQ(repaired.pieces[c.damaged].condition, PieceCondition::Damaged) << c.at;
        EXPECT_EQ(repaired.pieces[c.damaged].badSlices, 1u);
        const bool enough = c.wanted * 2 >= (c.lost == 3 ? 1u : 2u) + 1u;
        if (enough) {
            EXPECT_EQ(repaired.status, RepairStatus::Repaired);
            EXPECT_TRUE(set.Intact());
        } else {
            EXPECT_EQ(repaired.status, RepairStatus::NotEnough);
            EXPECT_FALSE(testing::Exists(set.Path(c.lost)));
            EXPECT_EQ(testing::ReadBytes(set.Path(c.damaged)), damaged);
        }
        auto expected = names;
        expected.insert(set.Name(c.lost));
        EXPECT_EQ(set.FolderNames(), enough ? expected : names);
    }
}

// Damage spread over more kept slices than the repair rebuilds can keep every slice's CRC32 and
// cancel out of the rebuilt slices, which then check. The pieces kept are checked by their own
// MD5, so such damage is still found: with too few recovery slices for it nothing is written,
// and with enough every piece ends as it was.
TEST(RepairTest, DamageThatCancelsOutOfTheRebuiltSlicesIsFoundInThePiecesKept) {
    for (const std::uint32_t wanted : {1u, 3u}) {
        Pieces set(4 * Pieces::kPieceSize + 2345, wanted, 11);
        set.Lose(0);  // both of its slices are rebuilt
        DamageCancellingOut(set, 2, {{1, 0}, {1, 1}, {2, 0}});
        const auto damaged = testing::ReadBytes(set.Path(1));
        const auto names = set.FolderNames();
        const RepairResult repaired = RepairPieces(set.Repair());
        EXPECT_EQ(repaired.pieces[1].condition, PieceCondition::Damaged) << wanted;
        EXPECT_EQ(repaired.pieces[2].condition, PieceCondition::Damaged) << wanted;
        if (wanted == 1) {
            EXPECT_EQ(repaired.status, RepairStatus::NotEnough);
            EXPECT_EQ(repaired.missingSlices, 5u);
            EXPECT_EQ(set.FolderNames(), names);
            EXPECT_EQ(testing::ReadBytes(set.Path(1)), damaged);
        } else {
            EXPECT_EQ(repaired.status, RepairStatus::Repaired);
            EXPECT_TRUE(set.Intact());
        }
    }
}

// A piece of the right size whose slices all match their checksums while the whole does not
// match its MD5 (a set that contradicts itself, or a slice's checksums fooled) is no good piece:
// which slice is wrong cannot be told, so all of them are taken as unknown. A check says so, and
// a repair neither calls the pieces good nor writes anything it cannot prove.
TEST(RepairTest, APieceWhoseSlicesCheckButWholeDoesNotIsNotGood) {
    TempFolder folder;
    const std::vector<char> piece = testing::RandomBytes(8, 5);
    testing::WriteBytes(folder / "p.skf", piece);
    SetDescription description;
    description.sliceSize = 4;
    FileEntry file;
    file.name = "p.skf";
    file.length = 8;
    const std::vector<char> other = testing::RandomBytes(8, 6);
    file.md5 = Md5Of(other.data(), 8);
    file.md5Of16k = Md5Of(piece.data(), 8);
    file.id = FileIdOf(file.md5Of16k, 8, file.name);
    file.slices = {{Md5Of(piece.data(), 4), Crc32Of(piece.data(), 4)},
                   {Md5Of(piece.data() + 4, 4), Crc32Of(piece.data() + 4, 4)}};
    description.files = {file};
    testing::WriteBytes(folder / "p.par2", CriticalPackets(description));

    RepairRequest request;
    request.piecePaths = {folder / "p.skf"};
    request.recoveryPaths = {folder / "p.par2"};
    for (const bool checkOnly : {true, false}) {
        request.checkOnly = checkOnly;
        const RepairResult result = RepairPieces(request);
        EXPECT_EQ(result.pieces[0].condition, PieceCondition::Damaged) << checkOnly;
        EXPECT_EQ(result.pieces[0].badSlices, 2u);
        EXPECT_EQ(result.status, RepairStatus::NotEnough);
        EXPECT_EQ(testing::ReadBytes(folder / "p.skf"), piece);
    }
}

// A piece with bytes added at its end, whose slices all check, is bad and is written again from
// its own slices, with no recovery slice spent on it: alone, and beside a lost piece that takes
// every recovery slice there is.
TEST(RepairTest, APieceWithBytesAddedAtItsEndIsWrittenAgainFromItsOwnSlices) {
    for (const bool lost : {false, true}) {
        Pieces set(4 * Pieces::kPieceSize + 2345, 1, 13);
        auto longer = set.Bytes(2);
        longer.insert(longer.end(), {'j', 'u', 'n', 'k'});
        set.Put(2, longer);
        if (lost) {
            set.Lose(0);
        }
        RepairRequest request = set.Repair();
        request.checkOnly = true;
        EXPECT_EQ(RepairPieces(request).status, RepairStatus::Repairable) << lost;
        request.checkOnly = false;
        const RepairResult repaired = RepairPieces(request);
        EXPECT_EQ(repaired.status, RepairStatus::Repaired) << lost;
        EXPECT_EQ(repaired.pieces[2].condition, PieceCondition::Damaged);
        EXPECT_EQ(repaired.pieces[2].badSlices, 0u);
        EXPECT_TRUE(repaired.pieces[2].rebuilt);
        EXPECT_TRUE(set.Intact()) << lost;
    }
}

// Only the recovery slices used are checked: one that fails its packet's MD5 is passed over for
// the next, a copy of one already chosen is no second row, and when too few are sound the repair
// says how many, having written nothing.
TEST(RepairTest, ARecoverySliceThatFailsItsCheckIsPassedOverForTheNext) {
    Pieces set(6 * Pieces::kPieceSize, 2);
    const std::vector<std::string> volumes = set.RecoveryFiles();
    ASSERT_EQ(volumes.size(), 5u);  // x.par2, then four volumes of one slice each
    testing::WriteBytes(set.Folder() / "x.copy.par2", testing::ReadBytes(volumes[1]));
    DamageRecoveryData(volumes[2]);
    DamageRecoveryData(volumes[3]);
    set.Lose(4);
    RepairRequest request = set.Repair();
    // The copy of the first volume comes right after it, the damaged ones before the last.
    request.recoveryPaths = {volumes[0], volumes[1], set.Folder() / "x.copy.par2",
                             volumes[2], volumes[3], volumes[4]};
    const RepairResult repaired = RepairPieces(request);
    EXPECT_EQ(repaired.status, RepairStatus::Repaired);
    EXPECT_TRUE(set.Intact());

    DamageRecoveryData(volumes[4]);
    set.Lose(4);
    const auto names = set.FolderNames();
    const RepairResult short1 = RepairPieces(request);
    EXPECT_EQ(short1.status, RepairStatus::NotEnough);
    EXPECT_EQ(short1.recoverySlices, 1u);
    EXPECT_EQ(short1.moreSlicesNeeded, 1u);
    EXPECT_EQ(set.FolderNames(), names);
    request.checkOnly = true;
    EXPECT_EQ(RepairPieces(request).recoverySlices, 1u);
}

// A set whose recovery file holds many damaged slices (each of them whole in its length, so
// none is read when the files are) costs one check of each, in few rounds, and ends in
// NotEnough; a reader keeps no more of them than its limit allows.
TEST(RepairTest, ManyDamagedRecoverySlicesAreCheckedOnceWithinTheLimits) {
#ifndef _WIN32
    testing::HangGuard guard(30);
#endif
    TempFolder folder;
    const std::vector<char> piece = testing::RandomBytes(8, 3);
    testing::WriteBytes(folder / "p.skf", piece);
    SetDescription description;
    description.sliceSize = 4;
    FileEntry file;
    file.name = "p.skf";
    file.length = 8;
    file.md5 = Md5Of(piece.data(), 8);
    file.md5Of16k = file.md5;
    file.id = FileIdOf(file.md5Of16k, 8, file.name);
    file.slices = {{Md5Of(piece.data(), 4), Crc32Of(piece.data(), 4)},
                   {Md5Of(piece.data() + 4, 4), Crc32Of(piece.data() + 4, 4)}};
    description.files = {file};
    const Md5Digest id = RecoverySetIdOf(description);
    std::vector<std::uint8_t> bytes = CriticalPackets(description);
    constexpr std::uint32_t kSlices = 40000;
    for (std::uint32_t exponent = 0; exponent < kSlices; ++exponent) {
        const std::uint8_t data[4] = {1, 2, 3, 4};
        auto prefix = RecoveryPacketPrefix(id, exponent, data, sizeof data);
        prefix[20] ^= 1;  // its MD5
        bytes.insert(bytes.end(), prefix.begin(), prefix.end());
        bytes.insert(bytes.end(), data, data + sizeof data);
    }
    testing::WriteBytes(folder / "p.par2", bytes);
    RemoveFile(folder / "p.skf");

    RepairRequest request;
    request.piecePaths = {folder / "p.skf"};
    request.recoveryPaths = {folder / "p.par2"};
    const RepairResult result = RepairPieces(request);
    EXPECT_EQ(result.status, RepairStatus::NotEnough);
    EXPECT_EQ(result.recoverySlices, 0u);
    EXPECT_EQ(result.moreSlicesNeeded, 2u);
    EXPECT_FALSE(testing::Exists(folder / "p.skf"));

    ReadLimits limits;
    limits.maxHeldBytes = 256 << 10;
    PacketReader reader(limits);
    ASSERT_TRUE(reader.AddFile(folder / "p.par2"));
    const auto found = reader.SetFor({"p.skf"});
    ASSERT_TRUE(found);
    EXPECT_GT(found->recovery.size(), 0u);
    EXPECT_LT(found->recovery.size() * sizeof(RecoverySliceRef), limits.maxHeldBytes);
}

}  // namespace
}  // namespace kavendrum::par2
