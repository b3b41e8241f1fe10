#include "engine/merge_operation.h"

#include <optional>
#include <vector>

#include "engine/folders.h"
#include "engine/head_file.h"
#include "engine/io/file.h"
#include "engine/io/file_system.h"
#include "engine/paths.h"
#include "engine/pieces_on_disk.h"
#include "engine/progress_counter.h"
#include "engine/transfer.h"

namespace kavendrum {

namespace {

// Pieces copied since the output was last flushed are removed only after the next flush: never
// before their bytes are on stable storage, yet without a flush for every small piece.
constexpr std::uint64_t kBytesPerFlush = 64ull << 20;

void ShowError(OperationHost& host, const char* text) {
    host.ShowMessage(text, "Error");
}

void ShowErrorAbout(OperationHost& host, const char* text, const std::string& path,
                    const FileStatus& failure = std::nullopt) {
    host.ShowMessageAbout(text, "Error", path, failure);
}

// The head file's name less its last four characters: the ".kdh" it is expected to end with.
std::string PieceBaseName(const std::string& headPath) {
    const std::string name = GetFileName(headPath);
    return name.size() < 4 ? std::string() : name.substr(0, name.size() - 4);
}

// Creating the output empties it, and writing to it changes it, so it must be none of the files
// it is built from. Called once every piece is known to be there, so it costs what those pieces
// cost.
bool IsAnInput(const FileIdentity& output, const std::string& headPath, const std::string& stem,
               std::uint32_t pieceCount) {
    if (IdentityOf(headPath) == output) {
        return true;
    }
    for (std::uint32_t number = 1; number <= pieceCount; ++number) {
        if (IdentityOf(PiecePath(stem, number)) == output) {
            return true;
        }
    }
    return false;
}

bool OutputIsAnInput(const std::string& outputPath, const std::string& headPath,
                     const std::string& stem, std::uint32_t pieceCount) {
    const auto output = IdentityOf(outputPath);
    return output && IsAnInput(*output, headPath, stem, pieceCount);
}

// The copy from the first piece to the closed output.
class MergeRun {
  public:
    MergeRun(const HeadFileInfo& info, const std::string& stem, const OptionSet& options,
             OperationHost& host, File& output)
        : m_info(info), m_stem(stem), m_options(options), m_host(host), m_output(output) {}

    bool CopyPieces();
    bool EveryPieceRemoved() const { return !m_removalFailed; }

  private:
    bool CopyPiece(std::uint32_t number, ProgressCounter& progress);
    bool CopyFromPiece(File& piece, std::size_t size);
    bool PieceCopied(std::uint32_t number, std::uint64_t size);
    bool RemovePendingPieces();
    bool Fail(const char* text);
    bool Fail(const char* text, const FileError& about);
    bool Fail(const FileError& error);

    const HeadFileInfo& m_info;
    const std::string& m_stem;
    const OptionSet& m_options;
    OperationHost& m_host;
    File& m_output;
    Transfer m_transfer{kMaxCopyUnit};
    std::vector<std::uint32_t> m_pendingRemoval;
    std::uint64_t m_unflushedBytes = 0;
    bool m_removalFailed = false;
};

bool MergeRun::CopyPieces() {
    const bool wholePieces = m_info.copyUnit == m_info.pieceSize;
    const std::uint32_t lastSize = LastPieceSize(m_info);
    m_transfer = Transfer(wholePieces ? m_info.pieceSize : m_info.copyUnit);
    const std::uint64_t steps =
        wholePieces ? m_info.pieceCount
                    : std::uint64_t{m_info.pieceSize / m_info.copyUnit} * (m_info.pieceCount - 1) +
                          lastSize / m_info.copyUnit;
    ProgressCounter progress(m_host, steps);
    for (std::uint32_t number = 1; number <= m_info.pieceCount; ++number) {
        if (!CopyPiece(number, progress)) {
            return false;
        }
    }
    return true;
}

bool MergeRun::CopyPiece(std::uint32_t number, ProgressCounter& progress) {
    const bool last = number == m_info.pieceCount;
    const std::uint32_t size = last ? LastPieceSize(m_info) : m_info.pieceSize;
    auto piece = File::OpenForReading(PiecePath(m_stem, number));
    if (!piece.ok()) {
        return Fail("Read file error!", piece.error());
    }
    // A short piece stops the merge before any of its bytes reach the output.
    const auto length = piece.value().Length();
    if (!length.ok()) {
        return Fail(length.error());
    }
    if (length.value() < size) {
        return Fail("Read file error!");
    }
    if (m_info.copyUnit == m_info.pieceSize) {
        if (!CopyFromPiece(piece.value(), size)) {
            return false;
        }
        piece.value().Close();
        if (!last) {
            progress.Step();
        }
    } else {
        const std::uint32_t blocks = size / m_info.copyUnit;
        for (std::uint32_t block = 0; block < blocks; ++block) {
            if (!CopyFromPiece(piece.value(), m_info.copyUnit)) {
                return false;
            }
            progress.Step();
        }
        if (!CopyFromPiece(piece.value(), size - blocks * m_info.copyUnit)) {
            return false;
        }
        piece.value().Close();
    }
    if (!PieceCopied(number, size)) {
        return false;
    }
    if (!last) {
        return true;
    }
    if (!RemovePendingPieces()) {
        return false;
    }
    if (auto failure = m_output.Close()) {
        m_host.ReportFileError(*failure);
        return false;
    }
    if (m_info.copyUnit == m_info.pieceSize) {
        progress.Step();
    }
    return true;
}

bool MergeRun::CopyFromPiece(File& piece, std::size_t size) {
    const Moved moved = m_transfer.Move(piece, m_output, size);
    if (moved.error) {
        return Fail(*moved.error);
    }
    if (moved.bytes < size) {
        return Fail("Read file error!");
    }
    return true;
}

bool MergeRun::PieceCopied(std::uint32_t number, std::uint64_t size) {
    if (m_options.deleteAfterMerge == 0) {
        return true;
    }
    m_pendingRemoval.push_back(number);
    m_unflushedBytes += size;
    return m_unflushedBytes < kBytesPerFlush || RemovePendingPieces();
}

bool MergeRun::RemovePendingPieces() {
    if (m_pendingRemoval.empty()) {
        return true;
    }
    if (auto failure = m_output.Flush()) {
        m_pendingRemoval.clear();
        m_host.ReportFileError(*failure);
        return false;
    }
    for (const auto number : m_pendingRemoval) {
        const std::string path = PiecePath(m_stem, number);
        if (auto failure = RemoveFile(path)) {
            m_removalFailed = true;
            ShowErrorAbout(
                m_host, number == m_info.pieceCount ? "Remove file error!" : "Can not remove file!",
                path, failure);
        }
    }
    m_pendingRemoval.clear();
    m_unflushedBytes = 0;
    return true;
}

// A run that stops leaves the pieces it has copied removed, as it would have had it removed each
// one at once, but only once the output holding their bytes is flushed.
bool MergeRun::Fail(const char* text) {
    if (RemovePendingPieces()) {
        ShowError(m_host, text);
    }
    return false;
}

bool MergeRun::Fail(const char* text, const FileError& about) {
    if (RemovePendingPieces()) {
        ShowErrorAbout(m_host, text, about.path, about);
    }
    return false;
}

bool MergeRun::Fail(const FileError& error) {
    if (RemovePendingPieces()) {
        m_host.ReportFileError(error);
    }
    return false;
}

bool AllPiecesThere(const std::string& stem, std::uint32_t pieceCount, OperationHost& host) {
    const std::uint32_t absent = PiecesOnDisk::Find(stem, pieceCount).FirstAbsent();
    if (absent == 0) {
        return true;
    }
    const std::string path = PiecePath(stem, absent);
    ShowErrorAbout(host, "Read file error!", path, FileError{FileErrorCause::FileNotFound, path});
    return false;
}

VerifyOutcome RunVerifier(const MergeRequest& request, OperationHost& host,
                          const MergeVerifier& verify) {
    return verify ? verify() : VerifyPieces(request.headPath, host).outcome;
}

Outcome MergeToStream(const MergeRequest& request, const HeadFileInfo& info,
                      const std::string& stem, OptionSet options, OperationHost& host,
                      const MergeVerifier& verify) {
    if (options.verifyBeforeMerge != 0 &&
        RunVerifier(request, host, verify) != VerifyOutcome::Passed) {
        return Outcome::Failed;
    }
    if (!AllPiecesThere(stem, info.pieceCount, host)) {
        return Outcome::Failed;
    }
    // A stream that is a file opened for appending may be one of the pieces.
    const auto identity = request.stream->Identity();
    if (identity.ok() && IsAnInput(identity.value(), request.headPath, stem, info.pieceCount)) {
        ShowErrorAbout(host, "Create file error,merge failed!", request.stream->Path(),
                       std::nullopt);
        return Outcome::Failed;
    }
    options.deleteAfterMerge = 0;
    {
        MergeRun run(info, stem, options, host, *request.stream);
        if (!run.CopyPieces()) {
            return Outcome::Failed;
        }
    }
    host.ShowMessage("Merge files successfully!", "Message");
    host.SetPosition(0);
    return Outcome::Succeeded;
}

}  // namespace

bool ValidateMergeInputs(const MergeRequest& request, OperationHost& host) {
    if (request.headPath.empty()) {
        ShowError(host, "Head File Name must be filled in!");
        return false;
    }
    if (request.destinationFolder.empty()) {
        ShowError(host, "Destination folder must be filled in!");
        return false;
    }
    if (auto opened = File::OpenForReading(request.headPath); !opened.ok()) {
        ShowErrorAbout(host, "Head file doesn't existed or can not be opened!", request.headPath,
                       opened.error());
        return false;
    }
    return true;
}

Outcome RunMerge(const MergeRequest& request, const OptionSet* options, OperationHost& host,
                 const MergeVerifier& verify) {
    host.PlaceProgressOnce();
    if (!ValidateMergeInputs(request, host)) {
        return Outcome::Failed;
    }
    auto head = File::OpenForReading(request.headPath);
    if (!head.ok()) {
        ShowError(host, "Open head file error!");
        return Outcome::Failed;
    }
    const HeadRead read = ReadHeadFile(head.value());
    head.value().Close();
    if (read.status == HeadReadStatus::Failed) {
        host.ReportFileError(read.error);
        return Outcome::Failed;
    }
    if (read.status != HeadReadStatus::Read) {
        ShowErrorAbout(host, "Read info from head file error!", request.headPath);
        return Outcome::Failed;
    }
    if (options == nullptr) {
        ShowError(host, "Get MainFrame Error!");
        return Outcome::Failed;
    }
    const std::string stem = GetFolderPart(request.headPath) + PieceBaseName(request.headPath);
    if (request.stream != nullptr) {
        return MergeToStream(request, read.info, stem, *options, host, verify);
    }

    const FolderCheck destination =
        CheckDestination(request.destinationFolder, FolderSide::Merge, *options, host);
    if (destination != FolderCheck::Ready) {
        return destination == FolderCheck::Declined ? Outcome::Cancelled : Outcome::Failed;
    }
    if (options->overwriteMode == 1 && FileExists(request.outputPath) &&
        !host.AskOkCancelAbout("Do you want to overwrite same name file?", "Overwrite Warning",
                               request.outputPath)) {
        return Outcome::Cancelled;
    }
    if (options->verifyBeforeMerge != 0) {
        if (RunVerifier(request, host, verify) != VerifyOutcome::Passed) {
            return Outcome::Failed;
        }
    }
    // A merge that cannot reach its end is not begun: nothing is created and no piece removed
    // for a head file whose pieces are not all there, however many it names.
    if (!AllPiecesThere(stem, read.info.pieceCount, host)) {
        return Outcome::Failed;
    }
    if (OutputIsAnInput(request.outputPath, request.headPath, stem, read.info.pieceCount)) {
        ShowErrorAbout(host, "Create file error,merge failed!", request.outputPath);
        return Outcome::Failed;
    }
    auto output = File::OpenForWriting(request.outputPath);
    if (!output.ok()) {
        ShowErrorAbout(host, "Create file error,merge failed!", request.outputPath, output.error());
        return Outcome::Failed;
    }
    bool clean = true;
    {
        MergeRun run(read.info, stem, *options, host, output.value());
        if (!run.CopyPieces()) {
            return Outcome::Failed;
        }
        clean = run.EveryPieceRemoved();
    }
    host.ShowMessage("Merge files successfully!", "Message");
    if (options->deleteAfterMerge != 0) {
        if (auto failure = RemoveFile(request.headPath)) {
            ShowErrorAbout(host, "Remove file error!", request.headPath, failure);
            clean = false;
        }
    }
    host.SetPosition(0);
    return clean ? Outcome::Succeeded : Outcome::Failed;
}

}  // namespace kavendrum
