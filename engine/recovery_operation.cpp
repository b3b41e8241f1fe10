#include "engine/recovery_operation.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <limits>
#include <memory>
#include <system_error>

#include "engine/checksum_file.h"
#include "engine/head_file.h"
#include "engine/io/file.h"
#include "engine/io/file_system.h"
#include "engine/io/sha256.h"
#include "engine/par2/gf16.h"
#include "engine/par2/slice_reader.h"
#include "engine/paths.h"
#include "engine/verification.h"

namespace kavendrum {

namespace {

// A set of more pieces than this cannot be described by one recovery set: each non-empty piece
// takes at least one input slice, and a trailing empty piece stays out of the set.
constexpr std::uint64_t kMostPiecesInASet = std::uint64_t{par2::kMaxInputSlices} + 1;

Notice CountNotice(NoticeId id, std::string path = {}, std::uint64_t needed = 0,
                   std::uint64_t available = 0) {
    Notice notice;
    notice.id = id;
    notice.path = std::move(path);
    notice.needed = needed;
    notice.available = available;
    return notice;
}

Notice FailureNotice(NoticeId id, const FileError& error) {
    Notice notice = CountNotice(id, error.path);
    notice.failure = error;
    return notice;
}

par2::RecoveryRequest RequestFor(const PieceSet& set, const std::vector<std::uint64_t>& sizes,
                                 std::uint32_t pieceSize, std::uint32_t wanted,
                                 std::uint64_t memoryLimit) {
    par2::RecoveryRequest request;
    request.folder = GetFolderPart(set.Stem());
    request.baseName = set.Base();
    request.pieceSize = pieceSize;
    request.wantedPieces = wanted;
    request.memoryLimit = memoryLimit;
    // Too many pieces to describe: the plan then finds that none can be protected.
    if (sizes.size() <= kMostPiecesInASet) {
        request.pieceSizes = sizes;
        for (std::uint32_t number = 1; number <= sizes.size(); ++number) {
            request.pieceNames.push_back(set.PieceName(number));
        }
    }
    return request;
}

std::vector<std::uint64_t> SplitPieceSizes(std::uint64_t fileSize, std::uint32_t pieceCount,
                                           std::uint32_t pieceSize) {
    if (pieceCount == 0 || pieceCount > kMostPiecesInASet) {
        return {};
    }
    std::vector<std::uint64_t> sizes(pieceCount, pieceSize);
    sizes.back() = fileSize - std::uint64_t{pieceCount - 1} * pieceSize;
    return sizes;
}

bool ReportRecoveryResult(const par2::RecoveryResult& result, OperationHost& host) {
    switch (result.status) {
        case par2::RecoveryStatus::Written:
            host.Notify(CountNotice(NoticeId::RecoveryWritten, {}, result.plan.repairablePieces));
            return true;
        case par2::RecoveryStatus::NothingAsked:
            return true;
        case par2::RecoveryStatus::CannotMeet:
            host.Notify(CountNotice(NoticeId::RecoveryLimited, {}, 0, result.plan.mostRepairable));
            return false;
        case par2::RecoveryStatus::Failed:
            break;
    }
    host.Notify(FailureNotice(NoticeId::RecoveryNotCreated, result.error));
    return false;
}

bool StartsWith(const std::string& text, const std::string& start) {
    return text.size() >= start.size() && text.compare(0, start.size(), start) == 0;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::optional<Sha256Digest> DigestOf(File& file) {
    Sha256 sha;
    std::vector<char> buffer(1 << 20);
    for (;;) {
        auto got = file.Read(buffer.data(), buffer.size());
        if (!got.ok()) {
            return std::nullopt;
        }
        sha.Update(buffer.data(), got.value());
        if (got.value() < buffer.size()) {
            return sha.Finish();
        }
    }
}

std::optional<Sha256Digest> DigestOfFile(const std::string& path) {
    auto file = File::OpenForReading(path);
    return file.ok() ? DigestOf(file.value()) : std::nullopt;
}

// base.sha256 when it is there; nothing when it is not.
std::shared_ptr<const ChecksumRead> ReadChecksumsOf(const PieceSet& set, const HeadFileInfo& info) {
    if (!FileExists(set.ChecksumPath())) {
        return nullptr;
    }
    const ChecksumNames names{set.Base(), info.pieceCount,
                              RebuiltFileName(set.Base(), info.extension)};
    return std::make_shared<const ChecksumRead>(ReadChecksumFile(set.ChecksumPath(), names));
}

// The check of a rebuilt piece against base.sha256: a piece with no line passes on its PAR2
// checksums alone; a piece whose lines disagree, or a checksum file that cannot be read, never
// passes, since no content could be shown to be the one the sender hashed.
par2::RepairRequest::AcceptRebuilt ChecksumAcceptance(std::shared_ptr<const ChecksumRead> read) {
    if (!read) {
        return {};
    }
    return [read](std::size_t piece, const std::string& rebuiltPath) {
        if (!read->checksums) {
            return false;
        }
        const auto number = static_cast<std::uint32_t>(piece + 1);
        if (read->checksums->Disputed(number)) {
            return false;
        }
        const auto expected = read->checksums->ForPiece(number);
        return !expected || DigestOfFile(rebuiltPath) == expected;
    };
}

// Whether the piece at `path` has the size the head file gives it and, when base.sha256 has a
// line for it, that line's digest. The recovery files vouch for the pieces they describe by their
// MD5 alone, and not at all for a piece they leave out (an empty last piece).
bool KeptPieceChecks(const std::string& path, std::uint64_t size,
                     const std::optional<Sha256Digest>& expected) {
    auto file = File::OpenSharedForReading(path);
    if (!file.ok()) {
        return false;
    }
    const auto length = file.value().Length();
    if (!length.ok() || length.value() != size) {
        return false;
    }
    return !expected || DigestOf(file.value()) == expected;
}

// Whether piece `at`, which a repair kept, fails KeptPieceChecks. A piece whose lines in
// base.sha256 disagree fails too, as verify counts it bad.
bool KeptPieceFails(const SetRepair& repair, const HeadFileInfo& info, const ChecksumRead* read,
                    std::size_t at) {
    if (repair.result.pieces[at].rebuilt) {
        return false;  // checked the same way before it took its place
    }
    const auto number = static_cast<std::uint32_t>(at + 1);
    const bool disputed = read && read->checksums && read->checksums->Disputed(number);
    const auto expected =
        read && read->checksums ? read->checksums->ForPiece(number) : std::nullopt;
    return disputed ||
           !KeptPieceChecks(repair.piecePaths[at], ExpectedPieceSize(info, number), expected);
}

// The pieces a repair kept that fail KeptPieceChecks, by number from 1. Hashing them again is
// the longest step of a repair after the coding, so it runs on every core.
std::vector<std::uint32_t> KeptPiecesStillBad(const SetRepair& repair, const HeadFileInfo& info,
                                              const ChecksumRead* read) {
    const std::size_t count = repair.result.pieces.size();
    std::vector<std::uint8_t> fails(count, 0);
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t at = next++; at < count; at = next++) {
            fails[at] = KeptPieceFails(repair, info, read, at) ? 1 : 0;
        }
    };
    par2::RunOnThreads(0, count, work);
    std::vector<std::uint32_t> bad;
    for (std::size_t at = 0; at < count; ++at) {
        if (fails[at] != 0) {
            bad.push_back(static_cast<std::uint32_t>(at + 1));
        }
    }
    return bad;
}

bool IsBad(par2::PieceCondition condition) {
    return condition == par2::PieceCondition::Missing || condition == par2::PieceCondition::Damaged;
}

}  // namespace

std::optional<RecoveryAmount> ReadRecoveryAmount(const std::string& text) {
    RecoveryAmount amount;
    std::string digits = text;
    if (EndsWith(digits, "%")) {
        amount.percent = true;
        digits.pop_back();
    }
    const char* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, amount.value);
    if (digits.empty() || error != std::errc{} || stop != end ||
        (amount.percent && (amount.value < 1 || amount.value > 100))) {
        return std::nullopt;
    }
    return amount;
}

std::uint32_t PiecesToProtect(const RecoveryAmount& amount, std::uint32_t pieceCount) {
    if (!amount.percent) {
        return std::min(amount.value, pieceCount);
    }
    const std::uint64_t share = (std::uint64_t{pieceCount} * amount.value + 99) / 100;
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(share, pieceCount));
}

SplitRecovery::SplitRecovery(const std::string& folder, const std::string& base,
                             std::uint64_t fileSize, std::uint32_t pieceCount,
                             std::uint32_t pieceSize, const RecoveryChoice& choice)
    : m_wanted(PiecesToProtect(choice.amount, pieceCount)),
      m_empty(fileSize == 0),
      m_encoder(RequestFor(PieceSet::InFolder(folder, base),
                           SplitPieceSizes(fileSize, pieceCount, pieceSize), pieceSize, m_wanted,
                           choice.memoryLimit)) {}

std::uint64_t SplitRecovery::BytesNeeded() const {
    const par2::RecoveryPlan& plan = m_encoder.Plan();
    // The index holds the set's description, which each recovery file holds at most once more.
    return std::uint64_t{plan.recoverySlices + 1} * plan.recoveryFileBytes;
}

bool SplitRecovery::Finish(OperationHost& host) {
    if (m_empty) {
        return true;  // nothing to lose
    }
    return ReportRecoveryResult(m_encoder.Finish(), host);
}

bool WriteRecoveryForPieces(const PieceSet& set, std::uint64_t fileSize, std::uint32_t pieceCount,
                            std::uint32_t pieceSize, const RecoveryChoice& choice,
                            OperationHost& host) {
    if (fileSize == 0) {
        return true;  // nothing to lose
    }
    const std::uint32_t wanted = PiecesToProtect(choice.amount, pieceCount);
    const auto sizes = SplitPieceSizes(fileSize, pieceCount, pieceSize);
    return ReportRecoveryResult(
        par2::CreateRecoveryFiles(RequestFor(set, sizes, pieceSize, wanted, choice.memoryLimit)),
        host);
}

std::vector<std::string> RecoveryFilesOf(const PieceSet& set) {
    std::vector<std::string> paths;
    if (FileExists(set.RecoveryIndexPath())) {
        paths.push_back(set.RecoveryIndexPath());
    }
    const std::string folder = GetFolderPart(set.Stem());
    std::vector<std::string> volumes;
    const std::string start = set.Base() + ".vol";
    ListFolder(folder, [&](const std::string& name) {
        if (StartsWith(name, start) && EndsWith(name, ".par2")) {
            volumes.push_back(folder + name);
        }
    });
    std::sort(volumes.begin(), volumes.end());
    paths.insert(paths.end(), volumes.begin(), volumes.end());
    return paths;
}

std::uint32_t SetRepair::BadPieces() const {
    return static_cast<std::uint32_t>(
        std::count_if(result.pieces.begin(), result.pieces.end(),
                      [](const par2::PieceRepair& piece) { return IsBad(piece.condition); }));
}

std::vector<std::uint32_t> SetRepair::DamagedPieces() const {
    std::vector<std::uint32_t> damaged;
    for (std::size_t at = 0; at < result.pieces.size(); ++at) {
        if (result.pieces[at].condition == par2::PieceCondition::Damaged) {
            damaged.push_back(static_cast<std::uint32_t>(at + 1));
        }
    }
    return damaged;
}

std::uint32_t SetRepair::RebuildablePieces() const {
    return result.slicesPerPiece == 0 ? 0 : result.recoverySlices / result.slicesPerPiece;
}

bool SetRepair::CanRebuildAll() const {
    return result.status == par2::RepairStatus::AllGood ||
           result.status == par2::RepairStatus::Repairable ||
           result.status == par2::RepairStatus::Repaired;
}

SetRepair RepairSet(const std::string& headPath, const RepairOptions& options) {
    SetRepair repair;
    const auto set = PieceSet::OfHeadFile(headPath);
    const auto info = set ? PeekHeadFile(headPath) : std::nullopt;
    if (!info) {
        return repair;
    }
    repair.headRead = true;
    const std::vector<std::string> recovery = RecoveryFilesOf(*set);
    repair.hasRecoveryFiles = !recovery.empty();
    repair.result.status = par2::RepairStatus::NoRecoverySet;
    if (recovery.empty() || info->pieceCount > kMostPiecesInASet) {
        return repair;
    }
    for (std::uint32_t number = 1; number <= info->pieceCount; ++number) {
        repair.piecePaths.push_back(set->PiecePath(number));
    }
    par2::RepairRequest request;
    request.piecePaths = repair.piecePaths;
    request.recoveryPaths = recovery;
    request.memoryLimit = options.memoryLimit;
    request.checkOnly = options.checkOnly;
    const auto checksums = options.checkOnly ? nullptr : ReadChecksumsOf(*set, *info);
    request.acceptRebuilt = ChecksumAcceptance(checksums);
    repair.result = par2::RepairPieces(request);
    const auto status = repair.result.status;
    if (!options.checkOnly &&
        (status == par2::RepairStatus::AllGood || status == par2::RepairStatus::Repaired)) {
        repair.stillBad = KeptPiecesStillBad(repair, *info, checksums.get());
    }
    return repair;
}

bool ReportRepair(const SetRepair& repair, const std::string& headPath, OperationHost& host) {
    if (!repair.headRead) {
        const bool named = IsHeadFileName(headPath);
        host.Notify(CountNotice(!named                 ? NoticeId::HeadFileNameInvalid
                                : FileExists(headPath) ? NoticeId::HeadFileUnreadable
                                                       : NoticeId::HeadFileMissing,
                                headPath));
        return false;
    }
    const par2::RepairResult& result = repair.result;
    if (!repair.stillBad.empty()) {
        host.Notify(CountNotice(NoticeId::RepairStillBad,
                                repair.piecePaths[repair.stillBad.front() - 1],
                                repair.stillBad.size()));
        return false;
    }
    switch (result.status) {
        case par2::RepairStatus::AllGood:
            host.Notify(CountNotice(NoticeId::RepairNothingToDo, headPath));
            return true;
        case par2::RepairStatus::Repairable:
            return true;
        case par2::RepairStatus::Repaired: {
            const auto rebuilt = std::count_if(result.pieces.begin(), result.pieces.end(),
                                               [](const auto& piece) { return piece.rebuilt; });
            host.Notify(CountNotice(NoticeId::RepairSucceeded, headPath,
                                    static_cast<std::uint64_t>(rebuilt)));
            return true;
        }
        case par2::RepairStatus::NotEnough:
            host.Notify(CountNotice(NoticeId::RepairNotEnough, headPath, result.morePiecesNeeded));
            return false;
        case par2::RepairStatus::NoRecoverySet: {
            const std::string index = PieceSet::OfHeadFile(headPath)->RecoveryIndexPath();
            host.Notify(CountNotice(NoticeId::RepairNoRecoveryFiles, index));
            return false;
        }
        case par2::RepairStatus::Unsolvable:
            host.Notify(CountNotice(NoticeId::RepairUnsolvable, headPath));
            return false;
        case par2::RepairStatus::Failed:
            break;
    }
    // A rebuilt piece that does not check is no failure of the system's: the notice names the
    // piece alone.
    host.Notify(result.rebuiltMismatch ? CountNotice(NoticeId::RepairFailed, result.error.path)
                                       : FailureNotice(NoticeId::RepairFailed, result.error));
    return false;
}

RepairOffer OfferRepairFirst(const std::string& headPath, OperationHost& host,
                             std::uint64_t memoryLimit, const std::function<void()>& repairing,
                             const RepairRunner& run) {
    RepairOffer offer;
    const auto set = PieceSet::OfHeadFile(headPath);
    if (!set || RecoveryFilesOf(*set).empty()) {
        return offer;
    }
    RepairOptions options;
    options.checkOnly = true;
    options.memoryLimit = memoryLimit;
    offer.before = RepairSet(headPath, options);
    if (offer.before->result.status != par2::RepairStatus::Repairable ||
        !host.Ask(Question{QuestionId::RepairFirst, headPath})) {
        return offer;
    }
    if (repairing) {
        repairing();
    }
    options.checkOnly = false;
    const auto repair = [&headPath, &options] { return RepairSet(headPath, options); };
    offer.repairFailed = !ReportRepair(run ? run(repair) : repair(), headPath, host);
    offer.repaired = !offer.repairFailed;
    // What the check found is no longer what is on disk.
    offer.before.reset();
    return offer;
}

RecoveryVerification VerifyWithRecovery(const std::string& headPath, OperationHost& host,
                                        const std::string& outputPath) {
    RecoveryVerification verified;
    verified.checked = VerifyWithChecksums(headPath, host, outputPath);
    auto& rows = verified.checked.verification.pieces;
    const auto set = PieceSet::OfHeadFile(headPath);
    if (!rows || !set || RecoveryFilesOf(*set).empty()) {
        return verified;
    }
    verified.recovery = RepairSet(headPath, RepairOptions{true});
    // A missing piece is Bad already, unless an interrupted merge took it up: that stays.
    MarkContentBad(verified.checked, verified.recovery->DamagedPieces());
    return verified;
}

}  // namespace kavendrum
