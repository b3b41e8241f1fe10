#include "engine/checksum_file_writer.h"

#include <algorithm>

#include "engine/checksum_file.h"
#include "engine/io/staged_file.h"

namespace kavendrum {

namespace {

constexpr std::size_t kWriteSize = 64 * 1024;

bool HasEveryDigest(const ChecksumFileContent& content) {
    return content.pieceNames != nullptr &&
           content.pieceDigests.size() == content.pieceNames->size() && content.wholeDigest &&
           std::all_of(content.pieceDigests.begin(), content.pieceDigests.end(),
                       [](const auto& digest) { return digest.has_value(); });
}

// The lines go out in blocks, so a split of millions of pieces holds no more than one block; the
// last block is left in `text`.
FileStatus WriteFullBlocks(const ChecksumFileContent& content, File& file, std::string& text) {
    for (std::size_t i = 0; i < content.pieceNames->size(); ++i) {
        text += ChecksumLine(*content.pieceDigests[i], (*content.pieceNames)[i]);
        if (text.size() >= kWriteSize) {
            if (auto failure = file.Write(text.data(), text.size())) {
                return failure;
            }
            text.clear();
        }
    }
    text += ChecksumLine(*content.wholeDigest, content.wholeName);
    return std::nullopt;
}

}  // namespace

bool WriteChecksumFile(const ChecksumFileContent& content, const FileIdentity* keepOut, bool flush,
                       OperationHost& host) {
    if (!HasEveryDigest(content)) {
        host.Notify(NoticeOf(NoticeId::ChecksumFileNotCreated, content.path));
        return false;
    }
    // Written beside and renamed over its name: a link standing there is replaced, never followed.
    auto file = StagedFile::Create(content.path);
    if (!file.ok()) {
        host.Notify(NoticeOf(NoticeId::ChecksumFileNotCreated, content.path));
        return false;
    }
    std::string text;
    FileStatus failure = WriteFullBlocks(content, file.value().file(), text);
    if (!failure) {
        failure = file.value().file().WriteLastAndClose(text.data(), text.size(), flush);
    }
    if (failure) {
        host.ReportFileError(*failure);
        return false;
    }
    if (file.value().PutInPlace(keepOut)) {
        host.Notify(NoticeOf(NoticeId::ChecksumFileNotCreated, content.path));
        return false;
    }
    file.value().Keep();
    return true;
}

}  // namespace kavendrum
