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

void Tell(OperationHost& host, NoticeId id, const std::string& path = {},
          const FileStatus& failure = std::nullopt) {
    host.Notify(NoticeOf(id, path, failure));
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
              std::optional<FileIdentity> keepOut, PieceSet set)
        : m_request(request),
          m_stream(stream),
          m_host(host),
          m_keepOut(keepOut),
          m_set(std::move(set)) {
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
    void KeepPieces(std::vector<std::string>& written) {
        for (auto& piece : m_pieces) {
            piece.Keep();
            written.push_back(piece.FinalPath());
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
    PieceSet m_set;
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
        const std::string name = m_set.PieceName(number);
        const std::string path = m_set.PiecePath(number);
        auto made = StagedFile::Create(path);
        if (!made.ok()) {
            Tell(m_host, NoticeId::PieceNotCreated, path, made.error());
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
        // Every piece waits for the stream's end to be put in place, and one without a name
        // holds a handle until then: beyond a few, they wait under temporary names.
        if (m_pieces.size() > kFilesWaitingUnnamed) {
            if (auto failure = m_pieces.back().Park()) {
                m_host.ReportFileError(*failure);
                return false;
            }
        }
        // A piece that is not full is the last: the stream has ended.
        if (*filled < m_request.pieceSize) {
            return true;
        }
        // The head file counts pieces in 32 bits.
        if (number == std::numeric_limits<std::uint32_t>::max()) {
            Tell(m_host, NoticeId::SplitSizeTooSmall);
            return false;
        }
    }
}

bool StreamRun::PutPiecesInPlace() {
    for (auto& piece : m_pieces) {
        if (auto failure = piece.PutInPlace(m_keepOut ? &*m_keepOut : nullptr)) {
            Tell(m_host, NoticeId::PieceNotCreated, piece.FinalPath(), failure);
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
    content.path = m_set.ChecksumPath();
    content.pieceNames = &m_pieceNames;
    content.pieceDigests = m_digests->TakePieceDigests();
    content.wholeName = RebuiltFileName(m_set.Base(), extension);
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

// The stream's own checks, after the fields that every split needs.
bool ValidateStreamInputs(const StreamSplitRequest& request, const OptionSet* options,
                          OperationHost& host) {
    if (!HasSplitFields(request.name, request.destinationFolder, host)) {
        return false;
    }
    if (options == nullptr) {
        Tell(host, NoticeId::MainFrameMissingSplit);
        return false;
    }
    if (request.pieceSize == 0) {
        Tell(host, NoticeId::SplitSizeTooSmall);
        return false;
    }
    return true;
}

// The head file's record once the stream has ended, put in place; false after its notice.
bool FinishHeadFile(SplitPlace& place, const HeadFileInfo& info,
                    const std::optional<FileIdentity>& keepOut, OperationHost& host) {
    const auto record = EncodeHeadFile(info);
    FileStatus failure = place.head->file().WriteLastAndClose(record.data(), record.size());
    if (!failure) {
        failure = place.head->PutInPlace(keepOut ? &*keepOut : nullptr);
    }
    if (failure) {
        Tell(host, NoticeId::HeadFileNotWritten, place.headPath, failure);
        return false;
    }
    place.head->Keep();
    return true;
}

}  // namespace

SplitResult SplitStream(const StreamSplitRequest& request, File& stream, const OptionSet* options,
                        OperationHost& host) {
    SplitResult result;
    if (!ValidateStreamInputs(request, options, host)) {
        return result;
    }
    // The name is only a name: a folder in it would lead the pieces elsewhere.
    const BaseName names = SplitBaseName(LeafName(request.name));
    if (RefuseSetFileName(names, request.name, host)) {
        return result;
    }
    const auto keepOut = StreamIdentity(stream);
    // The size is known only at the end, so no free space can be checked for.
    SplitPlace place = PrepareSplitPlace(request.destinationFolder, names.base, std::nullopt,
                                         *options, host, request.creation);
    result.set = place.set;
    if (place.stop) {
        result.outcome = *place.stop;
        return result;
    }
    const PieceSet& set = *place.set;
    // The count is known only at the end: every earlier piece is looked at.
    const EarlierSet before =
        request.removeEarlierPieces ? EarlierSet::Look(place.folder, names.base, 0) : EarlierSet();
    host.EnterPhase(RunPhase::Splitting, 0);
    StreamRun run(request, stream, host, keepOut, set);
    if (!run.CopyPieces()) {
        result.outcome = run.Interrupted() ? Outcome::Interrupted : Outcome::Failed;
        return result;
    }
    if (!run.PutPiecesInPlace()) {
        return result;
    }
    const auto pieceCount = static_cast<std::uint32_t>(run.PieceNames().size());
    Tell(host, NoticeId::SplitSucceeded, set.BatchPath());
    if (!FinishHeadFile(
            place, MakeHeadFileInfo(run.Bytes(), pieceCount, request.pieceSize, names.extension),
            keepOut, host)) {
        return result;
    }
    run.KeepPieces(result.written);
    result.written.push_back(set.HeadPath());
    result.pieceCount = pieceCount;
    result.earlier = before.RemoveBeyond(pieceCount);
    if (!request.writeChecksums) {
        before.RemoveChecksumFile(result.earlier);
    }
    bool clean = WriteRejoinBatch(place.folder, set.Base(), names.extension, run.PieceNames(), host,
                                  keepOut);
    if (clean) {
        result.written.push_back(set.BatchPath());
    }
    const bool checked = run.WriteChecksums(names.extension);
    if (checked && request.writeChecksums) {
        result.written.push_back(set.ChecksumPath());
    }
    const bool recovered = WriteStreamRecovery(request, set, run.Bytes(), pieceCount, host);
    result.outcome = clean && checked && recovered ? Outcome::Succeeded : Outcome::Failed;
    return result;
}

Outcome RunStreamSplit(const StreamSplitRequest& request, File& stream, const OptionSet* options,
                       OperationHost& host) {
    return SplitStream(request, stream, options, host).outcome;
}

}  // namespace kavendrum
