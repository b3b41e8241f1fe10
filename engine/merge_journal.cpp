#include "engine/merge_journal.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include "engine/io/staged_file.h"

namespace kavendrum {

namespace {

// Version 2 names the file the merge builds beside the output; a journal of version 1 named the
// output itself, which a merge no longer writes until it is whole.
constexpr const char* kSignature = "kavendrum merge journal 2";
constexpr std::size_t kLongestJournal = 512;
constexpr std::size_t kCompareBlock = 256 * 1024;

bool SameRecord(const HeadFileInfo& a, const HeadFileInfo& b) {
    return a.fileSize == b.fileSize && a.pieceCount == b.pieceCount && a.pieceSize == b.pieceSize &&
           a.copyUnit == b.copyUnit;
}

// The pieces 1 to `count` of a sound record make exactly this many bytes.
std::uint64_t LengthOfFirst(const HeadFileInfo& head, std::uint32_t count) {
    if (count < head.pieceCount) {
        return std::uint64_t{count} * head.pieceSize;
    }
    return WholeFileSize(head);
}

std::uint32_t PieceSize(const HeadFileInfo& head, std::uint32_t number) {
    return number < head.pieceCount ? head.pieceSize : LastPieceSize(head);
}

// The numbers of a decoded journal agree with each other: the pieces it counts make the bytes it
// counts, and its fingerprint covers at least the whole first piece, or kFingerprintBytes of it,
// as the first journal that counts a piece always takes: a journal never vouches for bytes with a
// fingerprint of nothing. A journal that counts no piece yet vouches for no byte.
bool IsSound(const MergeJournal& journal) {
    if (!IsSoundHeadInfo(journal.head) || journal.partial >= kPartialNames) {
        return false;
    }
    if (journal.piecesMerged == 0) {
        return journal.outputLength == 0 && journal.startLength == 0;
    }
    const std::uint64_t least = std::min(LengthOfFirst(journal.head, 1), kFingerprintBytes);
    return journal.piecesMerged <= journal.head.pieceCount &&
           journal.outputLength == LengthOfFirst(journal.head, journal.piecesMerged) &&
           journal.outputLength != 0 && journal.startLength != 0 && journal.startLength >= least &&
           journal.startLength <= std::min(journal.outputLength, kFingerprintBytes);
}

// The file at `path` when it is the one the journal names and starts with the bytes it counts.
std::optional<File> OpenIfCounted(const std::string& path, const MergeJournal& journal) {
    auto file = File::OpenForReading(path);
    if (!file.ok()) {
        return std::nullopt;
    }
    const auto identity = file.value().Identity();
    const auto length = file.value().Length();
    if (!identity.ok() || !length.ok() || !(identity.value() == journal.output) ||
        length.value() < journal.outputLength ||
        FingerprintOf(file.value(), journal.startLength) != journal.start) {
        return std::nullopt;
    }
    return std::move(file.value());
}

// The first `size` bytes of the piece equal those of `output` from `at` on.
bool SameBytes(File& piece, File& output, std::uint64_t at, std::uint64_t size) {
    if (output.SeekTo(at)) {
        return false;
    }
    std::vector<char> ours(kCompareBlock);
    std::vector<char> theirs(kCompareBlock);
    for (std::uint64_t done = 0; done < size;) {
        const std::size_t block =
            static_cast<std::size_t>(std::min<std::uint64_t>(size - done, kCompareBlock));
        const auto a = piece.Read(ours.data(), block);
        const auto b = output.Read(theirs.data(), block);
        if (!a.ok() || !b.ok() || a.value() != block || b.value() != block ||
            std::memcmp(ours.data(), theirs.data(), block) != 0) {
            return false;
        }
        done += block;
    }
    return true;
}

// Every counted piece that is still on disk holds what the output holds for it. Such a piece is
// what the journal's word is checked against: whoever wrote the journal cannot have it removed
// unless the output already holds its bytes.
bool CountedPiecesAgree(const PieceSet& set, const PiecesOnDisk& onDisk,
                        const MergeJournal& journal, File& output, std::vector<KeptPiece>& kept) {
    for (std::uint32_t number = onDisk.NextAfter(0); number != 0 && number <= journal.piecesMerged;
         number = onDisk.NextAfter(number)) {
        const std::string path = set.PiecePath(number);
        if (!FileExists(path)) {
            continue;
        }
        auto piece = File::OpenForReading(path);
        if (!piece.ok()) {
            return false;
        }
        const auto identity = piece.value().Identity();
        const auto length = piece.value().Length();
        const std::uint32_t size = PieceSize(journal.head, number);
        if (!identity.ok() || !length.ok() || length.value() < size ||
            !SameBytes(piece.value(), output, LengthOfFirst(journal.head, number - 1), size)) {
            return false;
        }
        kept.push_back({number, {identity.value(), length.value(), piece.value().Generation()}});
    }
    return true;
}

}  // namespace

std::string PartialPath(const std::string& outputPath, std::uint32_t number) {
    return number == 0 ? outputPath + ".kdpart"
                       : outputPath + "." + std::to_string(number) + ".kdpart";
}

std::string EncodeJournal(const MergeJournal& journal) {
    std::ostringstream text;
    text << kSignature << "\n"
         << "head " << journal.head.fileSize << " " << journal.head.pieceCount << " "
         << journal.head.pieceSize << " " << journal.head.copyUnit << "\n"
         << "output " << journal.output.device << " " << journal.output.inode << " "
         << journal.partial << "\n"
         << "merged " << journal.piecesMerged << " " << journal.outputLength << "\n"
         << "start " << journal.startLength << " " << HexDigest(journal.start) << "\n"
         << "end\n";
    return text.str();
}

std::optional<MergeJournal> DecodeJournal(const std::string& text) {
    std::istringstream in(text);
    std::string signature;
    std::getline(in, signature);
    if (signature != kSignature) {
        return std::nullopt;
    }
    MergeJournal journal;
    std::string head, output, merged, start, startHex, end;
    in >> head >> journal.head.fileSize >> journal.head.pieceCount >> journal.head.pieceSize >>
        journal.head.copyUnit >> output >> journal.output.device >> journal.output.inode >>
        journal.partial >> merged >> journal.piecesMerged >> journal.outputLength >> start >>
        journal.startLength >> startHex >> end;
    const auto digest = ParseHexDigest(startHex);
    if (!in || head != "head" || output != "output" || merged != "merged" || start != "start" ||
        !digest || end != "end" || !IsSound(journal)) {
        return std::nullopt;
    }
    in >> std::ws;
    if (!in.eof()) {
        return std::nullopt;
    }
    journal.start = *digest;
    return journal;
}

std::optional<Sha256Digest> FingerprintOf(File& file, std::uint64_t length) {
    std::string bytes(static_cast<std::size_t>(std::min(length, kFingerprintBytes)), '\0');
    const auto got = file.Read(bytes.data(), bytes.size());
    if (!got.ok() || got.value() != bytes.size()) {
        return std::nullopt;
    }
    Sha256 sha;
    sha.Update(bytes.data(), bytes.size());
    return sha.Finish();
}

std::optional<StoredJournal> ReadJournal(const std::string& path, const HeadFileInfo& head) {
    auto file = File::OpenForReading(path);
    if (!file.ok()) {
        return std::nullopt;
    }
    const auto identity = file.value().Identity();
    std::string text(kLongestJournal + 1, '\0');
    const auto got = file.value().Read(text.data(), text.size());
    if (!identity.ok() || !got.ok() || got.value() > kLongestJournal) {
        return std::nullopt;
    }
    text.resize(got.value());
    auto journal = DecodeJournal(text);
    if (!journal || !SameRecord(journal->head, head)) {
        return std::nullopt;
    }
    return StoredJournal{*journal, {identity.value(), got.value(), file.value().Generation()}};
}

FileResult<StoredJournal> WriteJournal(const std::string& path, const MergeJournal& journal,
                                       const std::optional<StoredJournal>& replacing) {
    // The first journal of a run takes only a free name; a later one replaces only the journal
    // this run read or wrote, never what took its name. The new name is on stable storage before
    // any piece it accounts for goes.
    const ReplaceResult written =
        ReplaceWhole(path, EncodeJournal(journal),
                     replacing ? ReplaceOver::Only(replacing->file) : ReplaceOver::Nothing());
    if (!written.ok()) {
        return written.error;
    }
    return StoredJournal{journal, written.written};
}

std::optional<InterruptedMerge> FindInterruptedMerge(const PieceSet& set, const HeadFileInfo& info,
                                                     const std::string& outputPath,
                                                     const PiecesOnDisk& onDisk) {
    auto stored = ReadJournal(set.JournalPath(), info);
    if (!stored) {
        return std::nullopt;
    }
    const MergeJournal& journal = stored->journal;
    InterruptedMerge found{*stored, PartialPath(outputPath, journal.partial), false, {}};
    auto file = OpenIfCounted(found.partialPath, journal);
    // A run stopped after it gave the whole file its name, before it removed its journal.
    if (!file && journal.piecesMerged == info.pieceCount) {
        found.partialPath = outputPath;
        found.inPlace = true;
        file = OpenIfCounted(outputPath, journal);
    }
    if (!file || !CountedPiecesAgree(set, onDisk, journal, *file, found.keptPieces)) {
        return std::nullopt;
    }
    return found;
}

}  // namespace kavendrum
