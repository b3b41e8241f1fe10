#include "engine/merge_journal.h"

#include <algorithm>
#include <sstream>

#include "engine/io/file_system.h"

namespace kavendrum {

namespace {

constexpr const char* kSignature = "kavendrum merge journal 1";
constexpr std::size_t kLongestJournal = 512;

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

}  // namespace

std::string JournalPath(const std::string& stem) {
    return stem + ".kdj";
}

std::string EncodeJournal(const MergeJournal& journal) {
    std::ostringstream text;
    text << kSignature << "\n"
         << "head " << journal.head.fileSize << " " << journal.head.pieceCount << " "
         << journal.head.pieceSize << " " << journal.head.copyUnit << "\n"
         << "output " << journal.output.device << " " << journal.output.inode << "\n"
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
        merged >> journal.piecesMerged >> journal.outputLength >> start >> journal.startLength >>
        startHex >> end;
    const auto digest = ParseHexDigest(startHex);
    if (!in || head != "head" || output != "output" || merged != "merged" || start != "start" ||
        !digest || end != "end" || !IsSoundHeadInfo(journal.head) || journal.piecesMerged == 0 ||
        journal.piecesMerged > journal.head.pieceCount ||
        journal.outputLength != LengthOfFirst(journal.head, journal.piecesMerged) ||
        journal.startLength > std::min(journal.outputLength, kFingerprintBytes)) {
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

std::optional<MergeJournal> ReadJournal(const std::string& path, const HeadFileInfo& head) {
    auto file = File::OpenForReading(path);
    if (!file.ok()) {
        return std::nullopt;
    }
    std::string text(kLongestJournal + 1, '\0');
    const auto got = file.value().Read(text.data(), text.size());
    if (!got.ok() || got.value() > kLongestJournal) {
        return std::nullopt;
    }
    text.resize(got.value());
    auto journal = DecodeJournal(text);
    if (!journal || !SameRecord(journal->head, head)) {
        return std::nullopt;
    }
    return journal;
}

FileStatus WriteJournal(const std::string& path, const MergeJournal& journal) {
    const std::string next = path + ".new";
    {
        auto file = File::OpenForWriting(next);
        if (!file.ok()) {
            return file.error();
        }
        const std::string text = EncodeJournal(journal);
        if (auto failure = file.value().WriteLastAndClose(text.data(), text.size(), true)) {
            return failure;
        }
    }
    if (auto failure = RenameOver(next, path)) {
        return failure;
    }
    // The new name is on stable storage before any piece it accounts for goes.
    return FlushFolderEntries(path);
}

void RemoveJournal(const std::string& path) {
    RemoveFile(path);
    RemoveFile(path + ".new");
}

}  // namespace kavendrum
