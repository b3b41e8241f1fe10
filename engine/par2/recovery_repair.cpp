#include "engine/par2/recovery_repair.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <thread>

#include "engine/io/crc32.h"
#include "engine/io/file.h"
#include "engine/io/file_system.h"
#include "engine/io/md5.h"
#include "engine/par2/gf16.h"
#include "engine/par2/par2_format.h"
#include "engine/par2/recovery_files.h"
#include "engine/par2/slice_combiner.h"
#include "engine/par2/slice_reader.h"
#include "engine/paths.h"

namespace kavendrum::par2 {

namespace {

// Input slices read at once (and as many coded meanwhile): enough for the coding to add many
// inputs into each output while it is in the cache, few enough that its pages cost little.
constexpr std::size_t kBatchBytes = 8u << 20;
constexpr std::size_t kReadChunk = 1 << 20;

// Rows of GF(2^16) numbers kept in the kernels' split layout, so that row operations run on the
// vector units: the solve is the cube of the missing slices' count.
class GfMatrix {
  public:
    GfMatrix(std::size_t rows, std::size_t columns, GfKernel kernel)
        : m_columns(columns),
          m_rowBytes(SplitLayoutBytes(2 * columns)),
          m_kernel(kernel),
          m_data(rows * m_rowBytes, 0) {}

    std::uint16_t Get(std::size_t row, std::size_t column) const {
        const std::uint8_t* at = Cell(row, column);
        return static_cast<std::uint16_t>(at[0] | at[kGfBlockBytes / 2] << 8);
    }
    void Set(std::size_t row, std::size_t column, std::uint16_t value) {
        std::uint8_t* at = Cell(row, column);
        at[0] = static_cast<std::uint8_t>(value);
        at[kGfBlockBytes / 2] = static_cast<std::uint8_t>(value >> 8);
    }
    // row `target` += factor * row `source`, or, when they are the same, row *= (1 + factor).
    void AddRow(std::size_t target, std::size_t source, std::uint16_t factor) {
        GfMultiplier(m_kernel, factor).MulAdd(Row(target), Row(source), m_rowBytes / kGfBlockBytes);
    }
    void ScaleRow(std::size_t row, std::uint16_t factor) {
        std::vector<std::uint8_t> copy(Row(row), Row(row) + m_rowBytes);
        std::memset(Row(row), 0, m_rowBytes);
        GfMultiplier(m_kernel, factor).MulAdd(Row(row), copy.data(), m_rowBytes / kGfBlockBytes);
    }
    void SwapRows(std::size_t a, std::size_t b) {
        std::swap_ranges(Row(a), Row(a) + m_rowBytes, Row(b));
    }
    std::size_t Columns() const { return m_columns; }

  private:
    std::uint8_t* Row(std::size_t row) { return m_data.data() + row * m_rowBytes; }
    const std::uint8_t* Cell(std::size_t row, std::size_t column) const {
        return m_data.data() + row * m_rowBytes + column / 32 * kGfBlockBytes + column % 32;
    }
    std::uint8_t* Cell(std::size_t row, std::size_t column) {
        return m_data.data() + row * m_rowBytes + column / 32 * kGfBlockBytes + column % 32;
    }

    std::size_t m_columns;
    std::size_t m_rowBytes;
    GfKernel m_kernel;
    std::vector<std::uint8_t> m_data;
};

// Gauss-Jordan on [A | I]: false when A is singular; otherwise the right half holds A's inverse.
bool Invert(GfMatrix& matrix, std::size_t size) {
    for (std::size_t column = 0; column < size; ++column) {
        std::size_t pivot = column;
        while (pivot < size && matrix.Get(pivot, column) == 0) {
            ++pivot;
        }
        if (pivot == size) {
            return false;
        }
        matrix.SwapRows(pivot, column);
        matrix.ScaleRow(column, Gf16::Inverse(matrix.Get(column, column)));
        for (std::size_t row = 0; row < size; ++row) {
            const std::uint16_t factor = row == column ? 0 : matrix.Get(row, column);
            if (factor != 0) {
                matrix.AddRow(row, column, factor);
            }
        }
    }
    return true;
}

// One piece of the request as the set describes it.
struct PieceState {
    const FileEntry* entry = nullptr;
    std::uint32_t firstIndex = 0;  // coding index of its first slice
    std::vector<bool> goodSlices;
};

struct SliceHashes {
    Md5 md5;
    std::uint32_t crc = 0;
};

// Whether the `size` bytes at `offset`, padded with zeros to `sliceSize`, have the checksums.
// Read in parts: the slice size comes from the set and sizes nothing before recovery data of
// that size has been found.
bool SliceMatches(File& file, std::uint64_t offset, std::uint64_t size, std::uint64_t sliceSize,
                  const SliceChecksum& expected, std::vector<std::uint8_t>& buffer) {
    if (file.SeekTo(offset)) {
        return false;
    }
    Md5 md5;
    std::uint32_t crc = 0;
    for (std::uint64_t left = size; left > 0;) {
        const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
        auto got = file.Read(buffer.data(), part);
        if (!got.ok() || got.value() != part) {
            return false;  // a short piece: this slice is bad
        }
        md5.Update(buffer.data(), part);
        crc = Crc32Update(crc, buffer.data(), part);
        left -= part;
    }
    std::fill(buffer.begin(), buffer.end(), 0);
    for (std::uint64_t left = sliceSize - size; left > 0;) {
        const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
        md5.Update(buffer.data(), part);
        left -= part;
    }
    return Crc32ZeroExtend(crc, sliceSize - size) == expected.crc && md5.Finish() == expected.md5;
}

// Reads a piece once: its MD5 decides the common case; only a piece that fails it has its
// slices checked one by one, in a second read.
PieceRepair CheckPiece(const std::string& path, const FileEntry& entry, std::uint64_t sliceSize,
                       std::vector<bool>& goodSlices, std::vector<std::uint8_t>& buffer) {
    PieceRepair result;
    goodSlices.assign(entry.slices.size(), false);
    auto file = File::OpenSharedForReading(path);
    if (!file.ok()) {
        result.condition = PieceCondition::Missing;
        result.badSlices = static_cast<std::uint32_t>(entry.slices.size());
        return result;
    }
    auto length = file.value().Length();
    Md5 whole;
    bool readable = length.ok();
    for (std::uint64_t left = length.ok() ? length.value() : 0; readable && left > 0;) {
        auto got = file.value().Read(buffer.data(), std::min<std::uint64_t>(left, buffer.size()));
        readable = got.ok() && got.value() > 0;
        if (readable) {
            whole.Update(buffer.data(), got.value());
            left -= got.value();
        }
    }
    if (readable && length.value() == entry.length && whole.Finish() == entry.md5) {
        result.condition = PieceCondition::Good;
        goodSlices.assign(entry.slices.size(), true);
        return result;
    }
    result.condition = PieceCondition::Damaged;
    for (std::size_t s = 0; readable && s < entry.slices.size(); ++s) {
        const std::uint64_t size = std::min<std::uint64_t>(sliceSize, entry.length - s * sliceSize);
        goodSlices[s] =
            SliceMatches(file.value(), s * sliceSize, size, sliceSize, entry.slices[s], buffer);
    }
    // Every slice checks and the whole, of the right size, does not (a set that contradicts
    // itself, or a slice's checksums fooled): which slice is wrong cannot be told, so none is
    // known. A piece of another size whose slices check is written again from them.
    const bool rightSize = readable && length.value() == entry.length;
    if (rightSize &&
        std::all_of(goodSlices.begin(), goodSlices.end(), [](bool good) { return good; })) {
        goodSlices.assign(entry.slices.size(), false);
    }
    result.badSlices =
        static_cast<std::uint32_t>(std::count(goodSlices.begin(), goodSlices.end(), false));
    return result;
}

// Calls work(i) for every i < count, the calls shared out among `threads` threads (0: one per
// core); where no thread can be started, fewer do the same work.
void ParallelFor(std::size_t count, unsigned threads,
                 const std::function<void(std::size_t)>& work) {
    std::atomic<std::size_t> next{0};
    const auto loop = [&] {
        for (std::size_t i = next++; i < count; i = next++) {
            work(i);
        }
    };
    const std::size_t wanted = std::min<std::size_t>(
        threads != 0 ? threads : std::max(1u, std::thread::hardware_concurrency()), count);
    std::vector<std::thread> helpers;
    for (std::size_t t = 1; t < wanted; ++t) {
        try {
            helpers.emplace_back(loop);
        } catch (const std::system_error&) {
            break;
        }
    }
    loop();
    for (auto& helper : helpers) {
        helper.join();
    }
}

// Checks every piece the set describes, the pieces shared out among the threads, each with its
// own buffer.
void CheckPieces(const RepairRequest& request, const FoundSet& set, std::vector<PieceState>& states,
                 RepairResult& result) {
    const unsigned threads =
        request.threads != 0 ? request.threads : std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::vector<std::uint8_t>> buffers(threads);
    std::atomic<unsigned> nextBuffer{0};
    std::atomic<std::size_t> next{0};
    ParallelFor(threads, threads, [&](std::size_t) {
        std::vector<std::uint8_t>& buffer = buffers[nextBuffer++];
        buffer.resize(kReadChunk);
        for (std::size_t p = next++; p < states.size(); p = next++) {
            if (states[p].entry != nullptr) {
                result.pieces[p] = CheckPiece(request.piecePaths[p], *states[p].entry,
                                              set.sliceSize, states[p].goodSlices, buffer);
            }
        }
    });
}

}  // namespace

namespace {

// Everything the rebuilding needs once the set is read and the pieces checked.
struct Solve {
    const FoundSet* set = nullptr;
    std::vector<PieceState> states;
    std::vector<std::uint32_t> missing;      // coding indices of the unknown slices, ascending
    std::vector<std::uint32_t> totalSlices;  // in coding order, for the factor rows
    std::uint32_t inputSlices = 0;
    std::vector<RecoverySliceRef> recovery;  // as many as missing, each checked
    std::unique_ptr<GfMatrix> inverse;       // [A | A^-1]
};

std::vector<std::uint32_t> MissingSlices(const FoundSet& set, const std::vector<PieceState>& states,
                                         std::map<Md5Digest, std::uint32_t>& firstIndex) {
    std::vector<std::uint32_t> missing;
    std::uint32_t next = 0;
    for (const Md5Digest& id : set.fileIds) {
        firstIndex[id] = next;
        const auto ours = std::find_if(states.begin(), states.end(), [&](const PieceState& s) {
            return s.entry != nullptr && s.entry->id == id;
        });
        const auto count = static_cast<std::uint32_t>(set.files.at(id).slices.size());
        for (std::uint32_t s = 0; s < count; ++s) {
            // A file of the set that is none of the pieces is unknown as a whole.
            if (ours == states.end() || !ours->goodSlices[s]) {
                missing.push_back(next + s);
            }
        }
        next += count;
    }
    return missing;
}

// Builds the coding matrix of the unknown slices against the first recovery slices and inverts
// it; the recovery slices are chosen in the order found, which for a sound set always works.
bool SolveMatrix(Solve& solve, GfKernel kernel) {
    const std::size_t m = solve.missing.size();
    solve.inverse = std::make_unique<GfMatrix>(m, 2 * m, kernel);
    for (std::size_t r = 0; r < m; ++r) {
        const std::uint32_t exponent = solve.recovery[r].exponent;
        for (std::size_t j = 0; j < m; ++j) {
            solve.inverse->Set(r, j, CodingFactor(solve.missing[j], exponent));
        }
        solve.inverse->Set(r, m + r, 1);
    }
    return Invert(*solve.inverse, m);
}

// For the unknown slices `outputs` (positions in solve.missing): the factor of every known input
// slice, as rows in the split layout: sum over r of inverse[j][r] * constant_i ^ exponent_r.
GfMatrix KnownFactors(const Solve& solve, const std::vector<std::size_t>& outputs,
                      GfKernel kernel) {
    const std::size_t m = solve.missing.size();
    GfMatrix factors(outputs.size() + 1, solve.inputSlices, kernel);
    const std::size_t scratch = outputs.size();
    for (std::size_t r = 0; r < m; ++r) {
        const std::uint32_t exponent = solve.recovery[r].exponent;
        for (std::uint32_t i = 0; i < solve.inputSlices; ++i) {
            factors.Set(scratch, i, CodingFactor(i, exponent));
        }
        for (std::size_t o = 0; o < outputs.size(); ++o) {
            const std::uint16_t weight = solve.inverse->Get(outputs[o], m + r);
            if (weight != 0) {
                factors.AddRow(o, scratch, weight);
            }
        }
    }
    return factors;
}

}  // namespace

namespace {

// Checks the pieces taken for good by their MD5, made from the bytes the coding reads, so that
// the common repair reads the pieces once. Each kept piece must check on its own: the rebuilt
// pieces cannot vouch for it, since damage spread over more kept slices than are rebuilt can keep
// every slice's CRC32 and cancel out of the rebuilt slices.
class KeptCheck {
  public:
    static constexpr std::size_t kNoPiece = static_cast<std::size_t>(-1);

    explicit KeptCheck(const Solve& solve) : m_solve(solve), m_md5(solve.states.size()) {}

    // The hashing of a batch as read, with the piece of each slice (kNoPiece for a recovery
    // slice), as tasks that run beside the coding: one for each piece's run of slices, which
    // come in order and together. A batch's tasks end before the next batch's begin.
    std::vector<std::function<void()>> Tasks(const std::vector<SliceRead>& reads,
                                             const std::vector<std::size_t>& pieces) {
        std::vector<std::function<void()>> tasks;
        for (std::size_t i = 0; i < reads.size();) {
            std::size_t end = i + 1;
            while (end < reads.size() && pieces[end] == pieces[i]) {
                ++end;
            }
            if (pieces[i] != kNoPiece) {
                tasks.emplace_back([this, &reads, &pieces, i, end] {
                    for (std::size_t r = i; r < end; ++r) {
                        m_md5[pieces[r]].Update(reads[r].target, reads[r].size);
                    }
                });
            }
            i = end;
        }
        return tasks;
    }

    // Whether each piece taken for good has the set's MD5; once, when every batch is coded.
    bool PiecesMatch(const RepairResult& result) {
        const auto& states = m_solve.states;
        for (std::size_t p = 0; p < states.size(); ++p) {
            if (states[p].entry != nullptr && result.pieces[p].condition == PieceCondition::Good &&
                m_md5[p].Finish() != states[p].entry->md5) {
                return false;
            }
        }
        return true;
    }

  private:
    const Solve& m_solve;
    std::vector<Md5> m_md5;
};

// Gathers the inputs of a round (every good slice, then the chosen recovery slices) in batches
// and hands each batch to the combiner (and to the check, if any) while the next one is read:
// the reading and the checking run as side tasks of the coding, so every core is busy with one
// or the other and the pieces are read once.
class InputFeeder {
  public:
    InputFeeder(SliceCombiner& combiner, std::size_t sliceBytes,
                std::function<std::uint16_t(std::size_t, bool, std::uint32_t)> factor,
                KeptCheck* check)
        : m_combiner(combiner),
          m_check(check),
          m_sliceBytes(sliceBytes),
          m_factor(std::move(factor)) {
        const std::size_t batch = combiner.BatchFor(kBatchBytes);
        for (Batch& set : m_batches) {
            for (std::size_t i = 0; i < batch; ++i) {
                // Left as allocated: every read fills its slice, padding included.
                set.buffers.emplace_back(new std::uint8_t[sliceBytes]);
            }
        }
    }

    // The slice of the file at `path` (which outlives the feeder) at `offset`, `size` bytes
    // long and padded with zeros.
    FileStatus Take(const std::string& path, std::uint64_t offset, std::uint64_t size,
                    bool recovery, std::uint32_t index, std::size_t piece) {
        Batch& gathering = m_batches[m_gathering];
        std::uint8_t* buffer = gathering.buffers[gathering.reads.size()].get();
        gathering.reads.push_back(
            {&path, offset, static_cast<std::size_t>(size), buffer, m_sliceBytes});
        gathering.kinds.emplace_back(recovery, index);
        gathering.pieces.push_back(piece);
        return gathering.reads.size() == gathering.buffers.size() ? Cycle() : FileStatus{};
    }

    // Codes whatever is gathered or read and not yet coded.
    FileStatus Flush() {
        if (auto failure = Cycle()) {
            return failure;
        }
        return Cycle();
    }

  private:
    struct Batch {
        std::vector<std::unique_ptr<std::uint8_t[]>> buffers;
        std::vector<SliceRead> reads;
        std::vector<std::pair<bool, std::uint32_t>> kinds;
        std::vector<std::size_t> pieces;
    };

    // Codes and checks the batch read before while the one gathered is read; then the one
    // gathered is the one read.
    FileStatus Cycle() {
        Batch& ready = m_batches[1 - m_gathering];
        Batch& gathering = m_batches[m_gathering];
        ReadFailure failure;
        std::vector<std::function<void()>> tasks = ReadTasks(gathering.reads, failure);
        if (m_check != nullptr) {
            for (auto& task : m_check->Tasks(ready.reads, ready.pieces)) {
                tasks.push_back(std::move(task));
            }
        }
        std::vector<const std::uint8_t*> inputs;
        for (const SliceRead& read : ready.reads) {
            inputs.push_back(read.target);
        }
        m_combiner.Add(
            inputs,
            [this, &ready](std::size_t out, std::size_t in) {
                return m_factor(out, ready.kinds[in].first, ready.kinds[in].second);
            },
            tasks);
        ready.reads.clear();
        ready.kinds.clear();
        ready.pieces.clear();
        m_gathering = 1 - m_gathering;
        return failure.First();
    }

    SliceCombiner& m_combiner;
    KeptCheck* m_check;
    std::size_t m_sliceBytes;
    std::function<std::uint16_t(std::size_t, bool, std::uint32_t)> m_factor;
    Batch m_batches[2];
    std::size_t m_gathering = 0;
};

bool FeedInputs(const RepairRequest& request, const PacketReader& reader, const Solve& solve,
                InputFeeder& feeder, RepairResult& result) {
    const std::uint64_t sliceSize = solve.set->sliceSize;
    FileStatus failure;
    for (std::size_t p = 0; !failure && p < solve.states.size(); ++p) {
        const PieceState& state = solve.states[p];
        for (std::uint32_t s = 0; !failure && state.entry != nullptr && s < state.goodSlices.size();
             ++s) {
            const std::uint64_t size = std::min(sliceSize, state.entry->length - s * sliceSize);
            if (state.goodSlices[s]) {
                failure = feeder.Take(request.piecePaths[p], s * sliceSize, size, false,
                                      state.firstIndex + s, p);
            }
        }
    }
    for (std::uint32_t r = 0; !failure && r < solve.missing.size(); ++r) {
        const RecoverySliceRef& slice = solve.recovery[r];
        failure = feeder.Take(reader.Paths()[slice.file], slice.dataOffset, sliceSize, true, r,
                              KeptCheck::kNoPiece);
    }
    if (!failure) {
        failure = feeder.Flush();
    }
    if (failure) {
        result.error = *failure;
        return false;
    }
    return true;
}

// A rebuilt piece written new beside its own and checked, waiting to take its place.
struct StagedPiece {
    std::size_t piece = 0;
    std::string temporary;
    FileStamp written;  // the file made at `temporary`, for its removal
};

enum class StageOutcome { Staged, Mismatch, Failed };

// Whether the bytes past `size` in a rebuilt slice are zeros, as the padding they rebuild is.
bool PaddingIsZero(const std::vector<std::uint8_t>& slice, std::size_t size) {
    return std::all_of(slice.begin() + static_cast<long>(size), slice.end(),
                       [](std::uint8_t byte) { return byte == 0; });
}

// Writes the piece at `path` new beside it, from its good slices and the rebuilt ones (outputs
// `firstOutput` on), and checks it against the set's MD5. Mismatch when the rebuilt bytes are
// not the piece's: nothing is left behind then.
StageOutcome WriteRebuiltPiece(const std::string& path, const PieceState& state,
                               std::uint64_t sliceSize, const SliceCombiner& combiner,
                               std::size_t firstOutput, StagedPiece& staged, RepairResult& result) {
    staged.temporary = path + ".rebuilt";
    auto created = File::CreateNew(staged.temporary);
    if (!created.ok()) {
        result.error = created.error();
        return StageOutcome::Failed;
    }
    File& out = created.value();
    const auto identity = out.Identity();
    const std::string generation = out.Generation();
    auto old = File::OpenSharedForReading(path);
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(sliceSize));
    Md5 md5;
    FileStatus failure = identity.ok() ? FileStatus{} : FileStatus{identity.error()};
    bool padded = true;
    std::size_t output = firstOutput;
    for (std::uint32_t s = 0; !failure && s < state.goodSlices.size(); ++s) {
        const auto size =
            static_cast<std::size_t>(std::min(sliceSize, state.entry->length - s * sliceSize));
        if (state.goodSlices[s]) {
            const bool read = old.ok() && !old.value().SeekTo(s * sliceSize) &&
                              old.value().Read(buffer.data(), size).ok();
            failure = read ? FileStatus{} : FileStatus{FileError{FileErrorCause::Generic, path, 0}};
        } else {
            combiner.CopyOutput(output++, buffer.data());
            padded = padded && PaddingIsZero(buffer, size);
        }
        md5.Update(buffer.data(), size);
        if (!failure) {
            failure = out.Write(buffer.data(), size);
        }
    }
    const bool checks = !failure && padded && md5.Finish() == state.entry->md5;
    if (checks) {
        failure = out.Flush();
    }
    // How far the file got, so that the very file made here is the one removed if it fails.
    const auto reached = out.Length();
    if (auto closed = out.Close(); !failure) {
        failure = closed;
    }
    if (identity.ok() && reached.ok()) {
        staged.written = FileStamp{identity.value(), reached.value(), generation};
    }
    if (checks && !failure) {
        return StageOutcome::Staged;
    }
    if (identity.ok() && reached.ok()) {
        (void)RemoveIfSame(staged.temporary, staged.written);
    }
    if (failure) {
        result.error = *failure;
        return StageOutcome::Failed;
    }
    return StageOutcome::Mismatch;
}

void RemoveStaged(const std::vector<StagedPiece>& staged) {
    for (const StagedPiece& piece : staged) {
        (void)RemoveIfSame(piece.temporary, piece.written);
    }
}

// Puts every staged piece in its place, once all of them have checked.
bool PutInPlace(const RepairRequest& request, const std::vector<StagedPiece>& staged,
                RepairResult& result) {
    for (std::size_t i = 0; i < staged.size(); ++i) {
        const std::string& path = request.piecePaths[staged[i].piece];
        FileStatus failure = RenameOver(staged[i].temporary, path);
        if (!failure) {
            failure = FlushFolderEntries(path);
        }
        if (failure) {
            RemoveStaged({staged.begin() + static_cast<long>(i), staged.end()});
            result.error = *failure;
            return false;
        }
        result.pieces[staged[i].piece].rebuilt = true;
    }
    return true;
}

}  // namespace

namespace {

// NotAsPresumed: a piece taken for good did not check (nothing was written).
enum class GroupOutcome { Rebuilt, Failed, NotAsPresumed };

// Writes the rebuilt pieces of `group` beside their own, checks every one of them (the set's MD5,
// then the caller's acceptRebuilt) and only then puts them in place, so that a rebuilt piece
// that shows the kept slices wrong leaves every piece as it was.
GroupOutcome StageAndPlace(const RepairRequest& request, const Solve& solve,
                           const std::vector<std::size_t>& group, const SliceCombiner& combiner,
                           RepairResult& result) {
    std::vector<StagedPiece> staged;
    std::size_t firstOutput = 0;
    for (const std::size_t p : group) {
        StagedPiece piece{p, {}, {}};
        const StageOutcome outcome =
            WriteRebuiltPiece(request.piecePaths[p], solve.states[p], solve.set->sliceSize,
                              combiner, firstOutput, piece, result);
        if (outcome == StageOutcome::Staged) {
            staged.push_back(piece);
        }
        if (outcome == StageOutcome::Staged && request.acceptRebuilt &&
            !request.acceptRebuilt(p, piece.temporary)) {
            result.error = FileError{FileErrorCause::Generic, request.piecePaths[p], 0};
            result.rebuiltMismatch = true;
            RemoveStaged(staged);
            return GroupOutcome::Failed;
        }
        if (outcome != StageOutcome::Staged) {
            RemoveStaged(staged);
            if (outcome == StageOutcome::Mismatch) {
                result.error = FileError{FileErrorCause::Generic, request.piecePaths[p], 0};
                result.rebuiltMismatch = true;
            }
            return outcome == StageOutcome::Mismatch ? GroupOutcome::NotAsPresumed
                                                     : GroupOutcome::Failed;
        }
        firstOutput +=
            std::count(solve.states[p].goodSlices.begin(), solve.states[p].goodSlices.end(), false);
    }
    return PutInPlace(request, staged, result) ? GroupOutcome::Rebuilt : GroupOutcome::Failed;
}

// Rebuilds the pieces `group` in one pass over the inputs. With a check, the slices of the
// pieces taken for good are checked from the same bytes before anything is written.
GroupOutcome RebuildGroup(const RepairRequest& request, const PacketReader& reader,
                          const Solve& solve, const std::vector<std::size_t>& group,
                          RepairResult& result, KeptCheck* check = nullptr) {
    std::vector<std::size_t> outputs;  // positions in solve.missing
    for (const std::size_t p : group) {
        const PieceState& state = solve.states[p];
        for (std::uint32_t s = 0; s < state.goodSlices.size(); ++s) {
            if (!state.goodSlices[s]) {
                const auto at = std::lower_bound(solve.missing.begin(), solve.missing.end(),
                                                 state.firstIndex + s);
                outputs.push_back(static_cast<std::size_t>(at - solve.missing.begin()));
            }
        }
    }
    const GfMatrix known = KnownFactors(solve, outputs, request.kernel);
    const std::size_t m = solve.missing.size();
    const auto sliceBytes = static_cast<std::size_t>(solve.set->sliceSize);
    SliceCombiner combiner(outputs.size(), sliceBytes, request.threads, request.kernel);
    InputFeeder feeder(
        combiner, sliceBytes,
        [&](std::size_t out, bool recovery, std::uint32_t index) {
            return recovery ? solve.inverse->Get(outputs[out], m + index) : known.Get(out, index);
        },
        check);
    if (!FeedInputs(request, reader, solve, feeder, result)) {
        // Nothing is written yet: a piece taken for good that cannot be read is for the slice
        // by slice check to judge.
        return check != nullptr ? GroupOutcome::NotAsPresumed : GroupOutcome::Failed;
    }
    if (check != nullptr && !check->PiecesMatch(result)) {
        return GroupOutcome::NotAsPresumed;
    }
    const GroupOutcome outcome = StageAndPlace(request, solve, group, combiner, result);
    // With the kept pieces checked by their MD5, a rebuilt piece that does not check is a fault
    // of the files that nothing here can mend.
    return outcome == GroupOutcome::NotAsPresumed ? GroupOutcome::Failed : outcome;
}

// The pieces to rebuild, in groups whose rebuilt slices and factor rows fit the memory limit
// (at least one piece a group).
std::vector<std::vector<std::size_t>> Groups(const RepairRequest& request, const Solve& solve,
                                             const RepairResult& result) {
    const std::uint64_t perSlice =
        SliceCombiner::OutputBytes(static_cast<std::size_t>(solve.set->sliceSize)) +
        SplitLayoutBytes(2 * std::size_t{solve.inputSlices});
    std::vector<std::vector<std::size_t>> groups;
    std::uint64_t used = 0;
    for (std::size_t p = 0; p < solve.states.size(); ++p) {
        const std::uint64_t bytes = perSlice * result.pieces[p].badSlices;
        if (solve.states[p].entry == nullptr ||
            result.pieces[p].condition == PieceCondition::Good) {
            continue;
        }
        if (groups.empty() || used + bytes > request.memoryLimit) {
            groups.emplace_back();
            used = 0;
        }
        groups.back().push_back(p);
        used += bytes;
    }
    return groups;
}

std::uint32_t MostSlicesOfAFile(const FoundSet& set) {
    std::size_t most = 1;
    for (const auto& [id, file] : set.files) {
        most = std::max(most, file.slices.size());
    }
    return static_cast<std::uint32_t>(most);
}

}  // namespace

namespace {

// The recovery slices a repair uses, each checked against its packet's MD5 when it is first
// needed: a repair of a few pieces reads a few recovery slices, not every recovery file. A slice
// that fails is passed over for the next one found. Every slice is checked at most once, in the
// order found, so a set of many damaged slices costs one reading of them.
class RecoveryChoice {
  public:
    RecoveryChoice(const PacketReader& reader, const FoundSet& set, unsigned threads)
        : m_reader(reader), m_set(set), m_threads(threads) {}

    // Slices of distinct exponents, unchecked: the most there can be.
    std::uint32_t Found() const {
        std::set<std::uint32_t> exponents;
        for (const RecoverySliceRef& slice : m_set.recovery) {
            exponents.insert(Row(slice));
        }
        return static_cast<std::uint32_t>(exponents.size());
    }

    // The first `count` sound slices of distinct exponents in the order found, or all there are
    // when fewer.
    std::vector<RecoverySliceRef> First(std::size_t count) {
        while (m_sound.size() < count && m_next < m_set.recovery.size()) {
            // As many as are still needed, or more once many were damaged, so that a set of
            // damaged slices takes few rounds of threads.
            const std::size_t wanted = std::max(count - m_sound.size(), m_damaged);
            std::vector<std::size_t> batch;
            for (; batch.size() < wanted && m_next < m_set.recovery.size(); ++m_next) {
                if (m_rows.count(Row(m_set.recovery[m_next])) == 0) {
                    batch.push_back(m_next);
                }
            }
            std::vector<std::uint8_t> sound(batch.size(), 0);
            ParallelFor(batch.size(), m_threads, [&](std::size_t i) {
                sound[i] = m_reader.SliceIntact(m_set, m_set.recovery[batch[i]]) ? 1 : 0;
            });
            for (std::size_t i = 0; i < batch.size(); ++i) {
                if (sound[i] == 0) {
                    ++m_damaged;
                } else if (m_rows.insert(Row(m_set.recovery[batch[i]])).second) {
                    m_sound.push_back(m_set.recovery[batch[i]]);
                }
            }
        }
        return {m_sound.begin(),
                m_sound.begin() + static_cast<long>(std::min(count, m_sound.size()))};
    }

    // The sound slices of distinct exponents, every slice checked.
    std::uint32_t Usable() {
        return static_cast<std::uint32_t>(First(m_set.recovery.size()).size());
    }

  private:
    // Exponents equal modulo the group's order give equal rows of the coding matrix.
    static std::uint32_t Row(const RecoverySliceRef& slice) { return slice.exponent % 65535; }

    const PacketReader& m_reader;
    const FoundSet& m_set;
    unsigned m_threads;
    std::size_t m_next = 0;  // slices before it are checked
    std::size_t m_damaged = 0;
    std::vector<RecoverySliceRef> m_sound;  // in the order found
    std::set<std::uint32_t> m_rows;         // of the sound slices
};

RepairStatus NotEnough(const FoundSet& set, std::uint32_t usable, RepairResult& result) {
    result.recoverySlices = usable;
    result.moreSlicesNeeded = result.missingSlices - usable;
    const std::uint32_t perPiece = MostSlicesOfAFile(set);
    result.morePiecesNeeded = (result.moreSlicesNeeded + perPiece - 1) / perPiece;
    return RepairStatus::NotEnough;
}

// Numbers the set's slices and finds the unknown ones; then says what cannot be done, or
// chooses the recovery slices and inverts the matrix that solves for the unknown ones and says
// nothing.
std::optional<RepairStatus> PlanSolve(Solve& solve, GfKernel kernel, RecoveryChoice& choice,
                                      RepairResult& result) {
    const FoundSet& set = *solve.set;
    std::map<Md5Digest, std::uint32_t> firstIndex;
    solve.missing = MissingSlices(set, solve.states, firstIndex);
    solve.inputSlices = 0;
    for (const auto& [id, first] : firstIndex) {
        solve.inputSlices += static_cast<std::uint32_t>(set.files.at(id).slices.size());
    }
    for (PieceState& state : solve.states) {
        if (state.entry != nullptr) {
            state.firstIndex = firstIndex.at(state.entry->id);
        }
    }
    result.missingSlices = static_cast<std::uint32_t>(solve.missing.size());
    // A bad piece may have no unknown slice (bytes added at its end, or a file of no bytes):
    // it is written again from its own slices, and never called good.
    const bool anyBad = std::any_of(result.pieces.begin(), result.pieces.end(), [](auto& piece) {
        return piece.condition == PieceCondition::Missing ||
               piece.condition == PieceCondition::Damaged;
    });
    if (solve.missing.empty() && !anyBad) {
        return RepairStatus::AllGood;
    }
    if (choice.Found() < solve.missing.size()) {
        return NotEnough(set, choice.Usable(), result);
    }
    if (solve.missing.size() > kMaxSolvedSlices) {
        return RepairStatus::Unsolvable;
    }
    solve.recovery = choice.First(solve.missing.size());
    if (solve.recovery.size() < solve.missing.size()) {
        return NotEnough(set, choice.Usable(), result);
    }
    if (!SolveMatrix(solve, kernel)) {
        return RepairStatus::Unsolvable;
    }
    return std::nullopt;
}

// Takes every piece that is there at its size for good and every piece that cannot be opened
// for missing; false when a piece has another size, which only a check of its slices can judge.
bool PresumeFromSizes(const RepairRequest& request, Solve& solve, RepairResult& result) {
    for (std::size_t p = 0; p < solve.states.size(); ++p) {
        PieceState& state = solve.states[p];
        if (state.entry == nullptr) {
            continue;
        }
        const auto count = static_cast<std::uint32_t>(state.entry->slices.size());
        auto file = File::OpenSharedForReading(request.piecePaths[p]);
        if (!file.ok()) {
            result.pieces[p] = {PieceCondition::Missing, count, false};
            state.goodSlices.assign(count, false);
            continue;
        }
        const auto length = file.value().Length();
        if (!length.ok() || length.value() != state.entry->length) {
            return false;
        }
        result.pieces[p] = {PieceCondition::Good, 0, false};
        state.goodSlices.assign(count, true);
    }
    return true;
}

// The common repair, pieces lost and the rest sound, in one read of the pieces: the missing
// pieces are solved for at once, and the others are checked from the bytes the coding reads
// (see KeptCheck). Nothing is written unless every kept piece and every rebuilt piece checks;
// when a kept piece does not (and when the rebuilt slices need more than one round, or too few
// recovery slices are left) nothing is decided here.
std::optional<RepairStatus> RepairInOnePass(const RepairRequest& request,
                                            const PacketReader& reader, RecoveryChoice& choice,
                                            const Solve& checked, RepairResult& result) {
    Solve solve;
    solve.set = checked.set;
    solve.states = checked.states;
    RepairResult presumed = result;
    if (!PresumeFromSizes(request, solve, presumed)) {
        return std::nullopt;
    }
    if (PlanSolve(solve, request.kernel, choice, presumed).has_value()) {
        return std::nullopt;
    }
    const auto groups = Groups(request, solve, presumed);
    if (groups.size() != 1) {
        return std::nullopt;
    }
    KeptCheck check(solve);
    switch (RebuildGroup(request, reader, solve, groups.front(), presumed, &check)) {
        case GroupOutcome::NotAsPresumed:
            return std::nullopt;
        case GroupOutcome::Failed:
            result = std::move(presumed);
            return RepairStatus::Failed;
        case GroupOutcome::Rebuilt:
            result = std::move(presumed);
            return RepairStatus::Repaired;
    }
    return std::nullopt;
}

}  // namespace

namespace {

// The packets of a set's files, which are hundreds of files for a large set: each core reads a
// run of them, and the runs are joined in order, so that the packets are those one reader going
// through the files in order would keep, within the same bound on what is held.
PacketReader ReadRecoveryFiles(const std::vector<std::string>& paths, unsigned threads) {
    const unsigned cores =
        threads != 0 ? threads : std::max(1u, std::thread::hardware_concurrency());
    const std::size_t runs = std::min<std::size_t>(cores, paths.size());
    PacketReader reader;
    if (runs == 0) {
        return reader;
    }
    ReadLimits share;
    share.maxHeldBytes /= runs;
    std::vector<PacketReader> parts(runs, PacketReader(share));
    std::atomic<std::size_t> next{0};
    RunOnThreads(threads, runs, [&] {
        for (std::size_t run = next++; run < runs; run = next++) {
            for (std::size_t i = run * paths.size() / runs; i < (run + 1) * paths.size() / runs;
                 ++i) {
                parts[run].AddFile(paths[i]);  // a file that cannot be read is one that is missing
            }
        }
    });
    for (PacketReader& part : parts) {
        reader.Append(std::move(part));
    }
    return reader;
}

}  // namespace

RepairResult RepairPieces(const RepairRequest& request) {
    RepairResult result;
    result.pieces.resize(request.piecePaths.size());
    const PacketReader reader = ReadRecoveryFiles(request.recoveryPaths, request.threads);
    std::vector<std::string> names;
    for (const std::string& path : request.piecePaths) {
        names.push_back(LeafName(path));
    }
    const std::optional<FoundSet> set = reader.SetFor(names);
    if (!set) {
        result.status = RepairStatus::NoRecoverySet;
        return result;
    }
    result.creator = set->creator;
    RecoveryChoice choice(reader, *set, request.threads);
    // A check says exactly how many can be rebuilt; a repair checks the slices it uses.
    result.recoverySlices = request.checkOnly ? choice.Usable() : choice.Found();
    result.slicesPerPiece = MostSlicesOfAFile(*set);
    Solve solve;
    solve.set = &*set;
    solve.states.resize(names.size());
    for (std::size_t p = 0; p < names.size(); ++p) {
        for (const auto& [id, file] : set->files) {
            if (file.name == names[p] && solve.states[p].entry == nullptr) {
                solve.states[p].entry = &file;
            }
        }
    }
    if (!request.checkOnly) {
        if (const auto status = RepairInOnePass(request, reader, choice, solve, result)) {
            result.status = *status;
            return result;
        }
    }
    CheckPieces(request, *set, solve.states, result);
    if (const auto status = PlanSolve(solve, request.kernel, choice, result)) {
        result.status = *status;
        return result;
    }
    if (request.checkOnly) {
        result.status = RepairStatus::Repairable;
        return result;
    }
    for (const auto& group : Groups(request, solve, result)) {
        if (RebuildGroup(request, reader, solve, group, result) != GroupOutcome::Rebuilt) {
            result.status = RepairStatus::Failed;
            return result;
        }
    }
    result.status = RepairStatus::Repaired;
    return result;
}

}  // namespace kavendrum::par2
