#include "engine/par2/recovery_files.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <iterator>
#include <optional>

#include "engine/io/crc32.h"
#include "engine/io/file.h"
#include "engine/io/file_system.h"
#include "engine/io/staged_file.h"
#include "engine/par2/gf16.h"
#include "engine/par2/slice_combiner.h"
#include "engine/par2/slice_reader.h"
#include "engine/par2/stream_hashes.h"
#include "engine/paths.h"

namespace kavendrum::par2 {

namespace {

// Bytes of input slices read ahead of the coding.
constexpr std::size_t kBatchBytes = 32u << 20;
// A file's id takes the MD5 of its first 16 KiB.
constexpr std::uint64_t k16k = 16384;

std::string Padded(std::uint32_t value, std::size_t width) {
    std::string text = std::to_string(value);
    return std::string(width > text.size() ? width - text.size() : 0, '0') + text;
}

std::string InFolder(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : WithTrailingSeparator(folder) + name;
}

}  // namespace

// The checksums a set records of its pieces, made from the slices as the coding reads them: each
// slice's MD5 and CRC32 (of the slice padded with zeros, as the reader gives it) and each piece's
// MD5. A piece's first slice is the start of the piece, so its MD5 is forked from the piece's
// chain instead of made over the same bytes again. Every slice and every piece's run of slices
// in a batch is a task of its own, so that the chains of MD5, which cannot be split, are shared
// out among the cores beside the coding.
class PieceHashing {
  public:
    PieceHashing(const std::vector<FileEntry>& files, std::uint64_t sliceSize)
        : m_whole(files.size()), m_slices(files.size()) {
        for (std::size_t p = 0; p < files.size(); ++p) {
            m_slices[p].resize(static_cast<std::size_t>(SlicesIn(files[p].length, sliceSize)));
        }
    }

    // The tasks for a batch as read; `slices` names the piece and slice of each read. A piece's
    // slices come in order, and a batch's tasks end before the next batch's begin.
    std::vector<std::function<void()>> Tasks(
        const std::vector<SliceRead>& reads,
        const std::vector<std::pair<std::size_t, std::size_t>>& slices) {
        std::vector<std::function<void()>> tasks;
        for (std::size_t i = 0; i < reads.size();) {
            std::size_t end = i + 1;
            while (end < reads.size() && slices[end].first == slices[i].first) {
                ++end;
            }
            tasks.emplace_back([this, &reads, &slices, i, end] { HashRun(reads, slices, i, end); });
            i = end;
        }
        for (std::size_t i = 0; i < reads.size(); ++i) {
            tasks.emplace_back([this, &reads, &slices, i] {
                const SliceRead& read = reads[i];
                SliceChecksum& sums = m_slices[slices[i].first][slices[i].second];
                if (slices[i].second != 0) {
                    sums.md5 = Md5Of(read.target, read.capacity);
                }
                sums.crc = Crc32Of(read.target, read.capacity);
            });
        }
        return tasks;
    }

    void Fill(std::vector<FileEntry>& files) {
        for (std::size_t p = 0; p < files.size(); ++p) {
            files[p].md5 = m_whole[p].Finish().value_or(Md5Digest{});
            files[p].slices = std::move(m_slices[p]);
        }
    }

  private:
    // One piece's reads [first, end) into its chain; a first slice takes its MD5 from there.
    void HashRun(const std::vector<SliceRead>& reads,
                 const std::vector<std::pair<std::size_t, std::size_t>>& slices, std::size_t first,
                 std::size_t end) {
        for (std::size_t r = first; r < end; ++r) {
            const auto [piece, slice] = slices[r];
            m_whole[piece].Update(reads[r].target, reads[r].size);
            if (slice == 0) {
                Md5 padded = m_whole[piece].Fork();
                padded.Update(reads[r].target + reads[r].size, reads[r].capacity - reads[r].size);
                m_slices[piece][0].md5 = padded.Finish().value_or(Md5Digest{});
            }
        }
    }

    std::vector<Md5> m_whole;
    std::vector<std::vector<SliceChecksum>> m_slices;
};

// A batch of input slices for the coding: where each is read from and into, its coding index,
// and its piece and slice for the hashing.
struct CodingBatch {
    // One block of memory for all its slices, kept for every batch and round.
    CodingBatch(std::size_t slices, std::size_t sliceBytes)
        : pages(slices * sliceBytes), capacity(slices), sliceBytes(sliceBytes) {}

    void Take(const std::string* path, std::uint64_t offset, std::size_t size, std::uint32_t index,
              std::size_t piece, std::size_t slice) {
        std::uint8_t* buffer = pages.data() + reads.size() * sliceBytes;
        reads.push_back({path, offset, size, buffer, sliceBytes});
        inputs.push_back(buffer);
        indices.push_back(index);
        slices.emplace_back(piece, slice);
    }
    bool Full() const { return reads.size() == capacity; }
    void Clear() {
        reads.clear();
        inputs.clear();
        indices.clear();
        slices.clear();
    }

    SlicePages pages;
    std::size_t capacity;
    std::size_t sliceBytes;
    std::vector<SliceRead> reads;
    std::vector<const std::uint8_t*> inputs;
    std::vector<std::uint32_t> indices;
    std::vector<std::pair<std::size_t, std::size_t>> slices;  // piece, slice
};

RecoveryPlan PlanRecovery(const std::vector<std::string>& pieceNames,
                          const std::vector<std::uint64_t>& pieceSizes, std::uint64_t pieceSize,
                          std::uint32_t wantedPieces) {
    RecoveryPlan plan;
    plan.sliceSize = (pieceSize / 2 + pieceSize % 2 + 3) / 4 * 4;
    if (pieceSize == 0 || pieceNames.size() != pieceSizes.size() || pieceSizes.empty()) {
        return plan;
    }
    plan.slicesPerPiece = static_cast<std::uint32_t>(SlicesIn(pieceSize, plan.sliceSize));
    std::uint64_t slices = 0;
    std::vector<std::string> names;
    std::vector<std::uint64_t> counts;
    for (std::size_t i = 0; i < pieceSizes.size(); ++i) {
        if (pieceSizes[i] != 0) {  // empty pieces are not in the set
            names.push_back(pieceNames[i]);
            counts.push_back(SlicesIn(pieceSizes[i], plan.sliceSize));
            slices += counts.back();
        }
    }
    const std::uint64_t bare = kRecoveryPrefixBytes + plan.sliceSize + CreatorPacketBytes();
    const std::uint64_t described = bare + CriticalPacketBytes(names, counts);
    if (slices == 0 || slices > kMaxInputSlices || bare > pieceSize) {
        return plan;  // nothing can be protected with pieces of this size
    }
    plan.inputSlices = static_cast<std::uint32_t>(slices);
    plan.mostRepairable = static_cast<std::uint32_t>(pieceSizes.size());
    plan.repairablePieces = std::min(wantedPieces, plan.mostRepairable);
    plan.recoverySlices = plan.repairablePieces * plan.slicesPerPiece;
    plan.describedInEachFile = described <= pieceSize;
    plan.recoveryFileBytes = plan.describedInEachFile ? described : bare;
    return plan;
}

std::string IndexFileName(const std::string& baseName) {
    return baseName + ".par2";
}

std::string RecoveryFileName(const std::string& baseName, std::uint32_t first, std::uint32_t count,
                             std::uint32_t total) {
    return baseName + ".vol" + Padded(first, std::to_string(total).size()) + "+" +
           std::to_string(count) + ".par2";
}

namespace {

// WriteFileByRename but for the flush of the folder, which a run of many files makes once. The
// file is staged: until it is whole and flushed it has no name (or one of its own that goes with
// it), so a run stopped at any moment leaves no partial recovery file behind.
FileStatus WriteFileInPlace(const std::string& path,
                            const std::vector<std::pair<const void*, std::size_t>>& parts) {
    auto staged = StagedFile::Create(path);
    if (!staged.ok()) {
        return staged.error();
    }
    File& file = staged.value().file();
    for (const auto& [data, size] : parts) {
        if (auto failure = file.Write(data, size)) {
            return failure;
        }
    }
    if (auto failure = file.Flush()) {
        return failure;
    }
    if (auto failure = staged.value().PutInPlace()) {
        return failure;
    }
    staged.value().Keep();
    return {};
}

}  // namespace

FileStatus WriteFileByRename(const std::string& path,
                             const std::vector<std::pair<const void*, std::size_t>>& parts) {
    if (auto failure = WriteFileInPlace(path, parts)) {
        return failure;
    }
    return FlushFolderEntries(path);
}

RecoveryEncoder::RecoveryEncoder(RecoveryRequest request)
    : RecoveryEncoder(std::move(request), Source::Stream) {}

RecoveryEncoder::RecoveryEncoder(RecoveryRequest request, Source source)
    : m_request(std::move(request)),
      m_plan(PlanRecovery(m_request.pieceNames, m_request.pieceSizes, m_request.pieceSize,
                          m_request.wantedPieces)) {
    m_files.resize(m_request.pieceSizes.size());
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        m_files[i].name = m_request.pieceNames[i];
        m_files[i].length = m_request.pieceSizes[i];
        m_total += m_files[i].length;
    }
    if (m_plan.repairablePieces > 0 && source == Source::Stream) {
        m_hashes = std::make_unique<StreamHashes>(m_request.pieceSizes, m_plan.sliceSize);
    }
}

RecoveryEncoder::~RecoveryEncoder() = default;
RecoveryEncoder::RecoveryEncoder(RecoveryEncoder&&) noexcept = default;
RecoveryEncoder& RecoveryEncoder::operator=(RecoveryEncoder&&) noexcept = default;

void RecoveryEncoder::Add(const void* data, std::size_t size) {
    if (size > m_total - m_added) {
        m_overrun = true;
        size = static_cast<std::size_t>(m_total - m_added);
    }
    m_added += size;
    if (m_hashes) {
        m_hashes->Add(data, size);
    }
}

SetDescription RecoveryEncoder::Describe() const {
    // Empty pieces stay out of the set, as other PAR2 tools leave empty files out: they have no
    // slice to protect, and a reader that meets one in a set takes it for a damaged file.
    SetDescription set;
    set.sliceSize = m_plan.sliceSize;
    std::copy_if(m_files.begin(), m_files.end(), std::back_inserter(set.files),
                 [](const FileEntry& file) { return file.length != 0; });
    SortFilesById(set.files);
    return set;
}

std::optional<RecoveryResult> RecoveryEncoder::Refusal() const {
    RecoveryResult result;
    result.plan = m_plan;
    if (m_request.wantedPieces == 0 || m_files.empty()) {
        result.status = RecoveryStatus::NothingAsked;
        return result;
    }
    if (m_plan.repairablePieces == 0) {
        result.status = RecoveryStatus::CannotMeet;
        return result;
    }
    return std::nullopt;
}

RecoveryResult RecoveryEncoder::Finish() {
    if (auto refused = Refusal()) {
        return *refused;
    }
    if (m_overrun || m_added != m_total || !m_hashes) {
        RecoveryResult result;
        result.plan = m_plan;
        result.error = FileError{};  // the bytes given do not make the pieces described
        return result;
    }
    m_hashes->Finish(m_files);
    return Encode(false);
}

RecoveryResult RecoveryEncoder::FinishFromPieces() {
    if (auto refused = Refusal()) {
        return *refused;
    }
    RecoveryResult result;
    result.plan = m_plan;
    if (!HashFirstParts(result)) {
        return result;
    }
    return Encode(true);
}

bool RecoveryEncoder::HashFirstParts(RecoveryResult& result) {
    // The files' ids, which order the slices for the coding, take the MD5 of each piece's first
    // 16 KiB: a small read of every piece before the main pass, shared among the cores because
    // opening a thousand files costs more than the hashing.
    std::vector<FileStatus> outcomes(m_files.size());
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    RunOnThreads(m_request.threads, m_files.size(), [&] {
        std::vector<std::uint8_t> buffer(static_cast<std::size_t>(k16k));
        for (std::size_t p = next++; p < m_files.size() && !failed; p = next++) {
            outcomes[p] = HashFirstPart(m_files[p], buffer);
            if (outcomes[p]) {
                failed = true;
            }
        }
    });
    for (const FileStatus& outcome : outcomes) {
        if (outcome) {
            result.error = *outcome;
            return false;
        }
    }
    return true;
}

FileStatus RecoveryEncoder::HashFirstPart(FileEntry& entry,
                                          std::vector<std::uint8_t>& buffer) const {
    const std::string path = InFolder(m_request.folder, entry.name);
    auto file = File::OpenSharedForReading(path);
    if (!file.ok()) {
        return file.error();
    }
    // The sizes were given with the names; a piece that has changed since would make a set that
    // describes other bytes than those coded.
    const auto length = file.value().Length();
    const auto part = static_cast<std::size_t>(std::min(entry.length, k16k));
    auto got = file.value().Read(buffer.data(), part);
    if (!length.ok() || length.value() != entry.length || !got.ok() || got.value() != part) {
        return FileError{FileErrorCause::Generic, path, 0};
    }
    entry.md5Of16k = Md5Of(buffer.data(), part);
    return {};
}

std::vector<std::uint32_t> RecoveryEncoder::FirstIndices() const {
    // Each piece's first coding index: the slices are numbered in the order of the files' ids.
    const SetDescription set = Describe();
    std::vector<std::uint32_t> firstIndex(m_files.size());
    std::uint32_t next = 0;
    for (const FileEntry& sorted : set.files) {
        for (std::size_t p = 0; p < m_files.size(); ++p) {
            if (m_files[p].id == sorted.id && m_files[p].name == sorted.name) {
                firstIndex[p] = next;
            }
        }
        next += static_cast<std::uint32_t>(SlicesIn(sorted.length, m_plan.sliceSize));
    }
    return firstIndex;
}

RecoveryResult RecoveryEncoder::Encode(bool hashWhileCoding) {
    RecoveryResult result;
    result.plan = m_plan;
    for (FileEntry& file : m_files) {
        file.id = FileIdOf(file.md5Of16k, file.length, file.name);
    }
    const std::vector<std::uint32_t> firstIndex = FirstIndices();
    std::unique_ptr<PieceHashing> hashing;
    if (hashWhileCoding) {
        hashing = std::make_unique<PieceHashing>(m_files, m_plan.sliceSize);
    }
    const std::uint64_t perRound = std::max<std::uint64_t>(
        1, m_request.memoryLimit / SliceCombiner::OutputBytes(m_plan.sliceSize));
    // Two batches: the coding (and hashing) of one runs beside the reading of the next.
    const auto sliceBytes = static_cast<std::size_t>(m_plan.sliceSize);
    const std::size_t batch = SliceCombiner::BatchFor(kBatchBytes, sliceBytes);
    CodingBatch batches[2] = {CodingBatch(batch, sliceBytes), CodingBatch(batch, sliceBytes)};
    std::optional<SetDescription> set;
    for (std::uint32_t first = 0; first < m_plan.recoverySlices;) {
        const auto count = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(perRound, m_plan.recoverySlices - first));
        SliceCombiner combiner(count, static_cast<std::size_t>(m_plan.sliceSize), m_request.threads,
                               m_request.kernel);
        if (!Code(firstIndex, first, combiner, first == 0 ? hashing.get() : nullptr, batches,
                  result)) {
            return result;
        }
        if (!set) {
            if (hashing) {
                hashing->Fill(m_files);
            }
            set = Describe();
            if (!WriteIndex(*set, result)) {
                return result;
            }
        }
        if (!WriteRound(*set, combiner, first, count, result)) {
            return result;
        }
        first += count;
    }
    result.status = RecoveryStatus::Written;
    return result;
}

bool RecoveryEncoder::WriteIndex(const SetDescription& set, RecoveryResult& result) {
    const std::vector<std::uint8_t> critical = CriticalPackets(set);
    const std::vector<std::uint8_t> creator = CreatorPacket(RecoverySetIdOf(set));
    const std::string index = InFolder(m_request.folder, IndexFileName(m_request.baseName));
    if (auto failure = WriteFileByRename(
            index, {{critical.data(), critical.size()}, {creator.data(), creator.size()}})) {
        result.error = *failure;
        return false;
    }
    result.written.push_back(index);
    return true;
}

bool RecoveryEncoder::WriteRound(const SetDescription& set, const SliceCombiner& combiner,
                                 std::uint32_t first, std::uint32_t count, RecoveryResult& result) {
    const Md5Digest setId = RecoverySetIdOf(set);
    const std::vector<std::uint8_t> critical =
        m_plan.describedInEachFile ? CriticalPackets(set) : std::vector<std::uint8_t>{};
    const std::vector<std::uint8_t> creator = CreatorPacket(setId);
    std::vector<std::string> paths(count);
    std::vector<FileStatus> outcomes(count);
    // Every file on its own thread as threads come free: each takes its slice out of the coding
    // layout and hashes it, work as long as the writing, which would leave the other cores idle
    // at the end of the run.
    std::atomic<std::uint32_t> next{0};
    std::atomic<bool> failed{false};
    RunOnThreads(m_request.threads, count, [&] {
        // The packet's header, then its slice, so that they go out in one write.
        std::vector<std::uint8_t> packet(kRecoveryPrefixBytes +
                                         static_cast<std::size_t>(m_plan.sliceSize));
        std::uint8_t* data = packet.data() + kRecoveryPrefixBytes;
        for (std::uint32_t j = next++; j < count && !failed; j = next++) {
            combiner.CopyOutput(j, data);
            const auto prefix = RecoveryPacketPrefix(setId, first + j, data, m_plan.sliceSize);
            std::copy(prefix.begin(), prefix.end(), packet.begin());
            paths[j] = InFolder(m_request.folder, RecoveryFileName(m_request.baseName, first + j, 1,
                                                                   m_plan.recoverySlices));
            outcomes[j] = WriteFileInPlace(paths[j], {{packet.data(), packet.size()},
                                                      {critical.data(), critical.size()},
                                                      {creator.data(), creator.size()}});
            if (outcomes[j]) {
                failed = true;
            }
        }
    });
    const auto firstFailure =
        std::find_if(outcomes.begin(), outcomes.end(), [](const FileStatus& o) { return !!o; });
    for (std::uint32_t j = 0; j < count; ++j) {
        if (!outcomes[j] && !paths[j].empty()) {
            result.written.push_back(paths[j]);
        }
    }
    if (firstFailure != outcomes.end()) {
        result.error = **firstFailure;
        return false;
    }
    // One flush of the folder for all the names put in place, each file flushed before its rename.
    if (auto failure = FlushFolderEntries(result.written.back())) {
        result.error = *failure;
        return false;
    }
    return true;
}

bool RecoveryEncoder::Code(const std::vector<std::uint32_t>& firstIndex, std::uint32_t first,
                           SliceCombiner& combiner, PieceHashing* hashing, CodingBatch* batches,
                           RecoveryResult& result) {
    const auto sliceBytes = static_cast<std::size_t>(m_plan.sliceSize);
    std::vector<std::string> paths;
    for (const FileEntry& file : m_files) {
        paths.push_back(InFolder(m_request.folder, file.name));
    }
    std::size_t gathering = 0;
    const auto cycle = [&] {
        CodingBatch& ready = batches[1 - gathering];
        ReadFailure failure;
        std::vector<std::function<void()>> tasks = ReadTasks(batches[gathering].reads, failure);
        if (hashing != nullptr) {
            for (auto& task : hashing->Tasks(ready.reads, ready.slices)) {
                tasks.push_back(std::move(task));
            }
        }
        combiner.Add(
            ready.inputs,
            [&](std::size_t out, std::size_t in) {
                return CodingFactor(ready.indices[in], first + static_cast<std::uint32_t>(out));
            },
            tasks);
        ready.Clear();
        gathering = 1 - gathering;
        if (auto failed = failure.First()) {
            result.error = *failed;
            return false;
        }
        return true;
    };
    for (std::size_t p = 0; p < m_files.size(); ++p) {
        const std::uint64_t count = SlicesIn(m_files[p].length, m_plan.sliceSize);
        for (std::uint64_t s = 0; s < count; ++s) {
            const std::uint64_t offset = s * m_plan.sliceSize;
            const auto size = static_cast<std::size_t>(
                std::min<std::uint64_t>(sliceBytes, m_files[p].length - offset));
            batches[gathering].Take(&paths[p], offset, size,
                                    firstIndex[p] + static_cast<std::uint32_t>(s), p,
                                    static_cast<std::size_t>(s));
            if (batches[gathering].Full() && !cycle()) {
                return false;
            }
        }
    }
    return cycle() && cycle();
}

RecoveryResult CreateRecoveryFiles(const RecoveryRequest& request) {
    // The pieces are read once, by the coding, which hashes them as it goes.
    RecoveryEncoder encoder(request, RecoveryEncoder::Source::Pieces);
    return encoder.FinishFromPieces();
}

}  // namespace kavendrum::par2
