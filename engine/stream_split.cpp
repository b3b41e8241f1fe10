#include "engine/stream_split.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <vector>

#include "engine/batch_file.h"
#include "engine/checksum_file.h"
#include "engine/checksum_file_writer.h"
#include "engine/digest_pipe.h"
#include "engine/folders.h"
#include "engine/head_file.h"
#include "engine/io/file_system.h"
#include "engine/paths.h"
#include "engine/split_operation.h"
#include "engine/transfer.h"

namespace kavendrum {

namespace {

void ShowErrorAbout(OperationHost& host, const char* text, const std::string& path,
                    const FileStatus& failure) {
    host.ShowMessageAbout(text, "Error", path, failure);
}

// The stream's own file, when it is one: pieces must never be written over it.
std::optional<FileIdentity> StreamIdentity(const File& stream) {
    auto identity = stream.Identity();
    if (!identity.ok()) {
        return std::nullopt;
    }
    return identity.value();
}

class StreamRun {
  public:
    StreamRun(const StreamSplitRequest& request, File& stream, OperationHost& host,
              std::optional<FileIdentity> keepOut, std::string folder, std::string base)
        : m_request(request),
          m_stream(stream),
          m_host(host),
          m_keepOut(keepOut),
          m_folder(std::move(folder)),
          m_base(std::move(base)) {
        if (request.writeChecksums) {
            m_digests.emplace(true, true);
        }
    }

    // Fills the pieces until the stream ends; false after a reported failure or a stop.
    bool CopyPieces();
    bool Interrupted() const { return m_interrupted; }
    // Gives the pieces their names; false after a reported failure.
    bool PutPiecesInPlace();
    // The set is whole: its pieces stay whatever happens next.
    void KeepPieces() {
        for (auto& piece : m_pieces) {
            piece.Keep();
        }
    }
    std::uint64_t Bytes() const { return m_bytes; }
    const std::vector<std::string>& PieceNames() const { return m_pieceNames; }
    // Writes base.sha256 from what was hashed; false after a reported failure.
    bool WriteChecksums(const std::string& extension);

  private:
    // Fills one piece; the count of bytes it took, or nothing after a reported failure.
    std::optional<std::uint64_t> FillPiece(File& piece);

    const StreamSplitRequest& m_request;
    File& m_stream;
    OperationHost& m_host;
    std::optional<FileIdentity> m_keepOut;
    std::string m_folder;
    std::string m_base;
    std::vector<std::string> m_pieceNames;
    // Under temporary names until the stream has ended; they go with the run unless kept.
    std::vector<StagedFile> m_pieces;
    std::uint64_t m_bytes = 0;
    bool m_interrupted = false;
    Transfer m_transfer{kMaxCopyUnit};
    // Hashes the data on its way into the pieces, when checksums are asked for.
    std::optional<DigestPipe> m_digests;
};

bool StreamRun::CopyPieces() {
    for (std::uint32_t number = 1;; ++number) {
        const std::string name = m_base + "_" + std::to_string(number) + ".skf";
        const std::string path = m_folder + kPathSeparator + name;
        auto made = StagedFile::Create(path);
        if (!made.ok()) {
            ShowErrorAbout(m_host, "Can not create file, split failed!", path, made.error());
            return false;
        }
        m_pieceNames.push_back(name);
        m_pieces.push_back(std::move(made.value()));
        File& piece = m_pieces.back().file();
        const auto filled = FillPiece(piece);
        if (!filled) {
            return false;
        }
        if (m_digests) {
            m_digests->EndPiece();
        }
        if (auto failure = piece.Close()) {
            m_host.ReportFileError(*failure);
            return false;
        }
        // A piece that is not full is the last: the stream has ended.
        if (*filled < m_request.pieceSize) {
            return true;
        }
        // The head file counts pieces in 32 bits.
        if (number == std::numeric_limits<std::uint32_t>::max()) {
            m_host.ShowMessage("Split size is too small for this file!", "Error");
            return false;
        }
    }
}

bool StreamRun::PutPiecesInPlace() {
    for (auto& piece : m_pieces) {
        if (auto failure = piece.PutInPlace(m_keepOut ? &*m_keepOut : nullptr)) {
            ShowErrorAbout(m_host, "Can not create file, split failed!", piece.FinalPath(),
                           failure);
            return false;
        }
    }
    return true;
}

std::optional<std::uint64_t> StreamRun::FillPiece(File& piece) {
    std::uint64_t filled = 0;
    while (filled < m_request.pieceSize) {
        if (m_host.StopRequested()) {
            m_interrupted = true;
            return std::nullopt;
        }
        const auto chunk = static_cast<std::size_t>(
            std::min<std::uint64_t>(m_request.pieceSize - filled, kMaxCopyUnit));
        const Moved moved = m_digests ? m_digests->Move(m_stream, &piece, chunk)
                                      : m_transfer.Move(m_stream, piece, chunk);
        if (moved.error) {
            m_host.ReportFileError(*moved.error);
            return std::nullopt;
        }
        filled += moved.bytes;
        m_bytes += moved.bytes;
        m_host.BytesDone(m_bytes);
        if (moved.bytes < chunk) {
            break;
        }
    }
    return filled;
}

bool StreamRun::WriteChecksums(const std::string& extension) {
    if (!m_digests) {
        return true;
    }
    ChecksumFileContent content;
    content.path = ChecksumFilePath(m_folder + kPathSeparator + m_base);
    content.pieceNames = &m_pieceNames;
    content.pieceDigests = m_digests->TakePieceDigests();
    content.wholeName = RebuiltFileName(m_base, extension);
    content.wholeDigest = m_digests->WholeDigest();
    return WriteChecksumFile(content, m_keepOut ? &*m_keepOut : nullptr, false, m_host);
}

bool WriteStreamRecovery(const StreamSplitRequest& request, const PieceSet& set,
                         std::uint64_t bytes, std::uint32_t pieceCount, OperationHost& host) {
    if (request.recovery.amount.None()) {
        return true;
    }
    return WriteRecoveryForPieces(set, bytes, pieceCount, request.pieceSize, request.recovery,
                                  host);
}

}  // namespace

Outcome RunStreamSplit(const StreamSplitRequest& request, File& stream, const OptionSet* options,
                       OperationHost& host) {
    if (request.name.empty()) {
        host.ShowMessage("File to split must be filled in!", "Error");
        return Outcome::Failed;
    }
    if (request.destinationFolder.empty()) {
        host.ShowMessage("Destination folder must be filled in!", "Error");
        return Outcome::Failed;
    }
    if (options == nullptr) {
        host.ShowMessage("Get MainFrame error!", "Error");
        return Outcome::Failed;
    }
    if (request.pieceSize == 0) {
        host.ShowMessage("Split size is too small for this file!", "Error");
        return Outcome::Failed;
    }
    // The name is only a name: a folder in it would lead the pieces elsewhere.
    const BaseName names = SplitBaseName(LeafName(request.name));
    if (RefuseSetFileName(names, request.name, host)) {
        return Outcome::Failed;
    }
    const auto keepOut = StreamIdentity(stream);
    // The size is known only at the end, so no free space can be checked for.
    SplitPlace place = PrepareSplitPlace(request.destinationFolder, names.base, std::nullopt,
                                         *options, host, request.creation);
    if (place.stop) {
        return *place.stop;
    }
    const std::string& folder = place.folder;
    const std::string& headPath = place.headPath;
    StreamRun run(request, stream, host, keepOut, folder, names.base);
    if (!run.CopyPieces()) {
        return run.Interrupted() ? Outcome::Interrupted : Outcome::Failed;
    }
    if (!run.PutPiecesInPlace()) {
        return Outcome::Failed;
    }
    const auto pieceCount = static_cast<std::uint32_t>(run.PieceNames().size());
    host.ShowMessage("Split file successfully!\r\nTo Re-Join, run the file: \"" + folder +
                         kPathSeparator + names.base + ".bat\"",
                     "Message");
    const auto record = EncodeHeadFile(
        MakeHeadFileInfo(run.Bytes(), pieceCount, request.pieceSize, names.extension));
    FileStatus failure = place.head->file().WriteLastAndClose(record.data(), record.size());
    if (!failure) {
        failure = place.head->PutInPlace(keepOut ? &*keepOut : nullptr);
    }
    if (failure) {
        ShowErrorAbout(host, "Write to head file error!", headPath, failure);
        return Outcome::Failed;
    }
    place.head->Keep();
    run.KeepPieces();
    bool clean =
        WriteRejoinBatch(folder, names.base, names.extension, run.PieceNames(), host, keepOut);
    clean = run.WriteChecksums(names.extension) && clean;
    clean = WriteStreamRecovery(request, PieceSet::InFolder(folder, names.base), run.Bytes(),
                                pieceCount, host) &&
            clean;
    return clean ? Outcome::Succeeded : Outcome::Failed;
}

}  // namespace kavendrum
