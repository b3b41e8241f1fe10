#include "engine/verification.h"

#include "engine/head_file.h"
#include "engine/io/file.h"
#include "engine/paths.h"

namespace kavendrum {

namespace {

PieceMark MarkFor(const PieceEntry& entry) {
    auto piece = File::OpenForReading(entry.path);
    if (!piece.ok()) {
        return PieceMark::Bad;
    }
    const auto length = piece.value().Length();
    return length.ok() && std::to_string(length.value()) == entry.sizeText ? PieceMark::Good
                                                                           : PieceMark::Bad;
}

}  // namespace

std::string AsciiLower(const std::string& text) {
    std::string out = text;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const bool secondHalf = i > 0 && static_cast<unsigned char>(text[i - 1]) >= 0x7F;
        if (!secondHalf && out[i] >= 'A' && out[i] <= 'Z') {
            out[i] = static_cast<char>(out[i] + 32);
        }
    }
    return out;
}

bool IsHeadFileName(const std::string& path) {
    const std::string tail = path.size() < 4 ? path : path.substr(path.size() - 4);
    return AsciiLower(tail) == ".kdh";
}

std::string PiecePath(const std::string& stem, std::uint32_t number) {
    return stem + "_" + std::to_string(number) + ".skf";
}

Verification VerifyPieces(const std::string& headPath, OperationHost& host) {
    Verification result;
    if (!IsHeadFileName(headPath)) {
        host.ShowMessage("Invalid head file name!", "Error");
        return result;
    }
    auto head = File::OpenForReading(headPath);
    if (!head.ok()) {
        host.ShowMessage("Head file open error!", "Error");
        return result;
    }
    const HeadRead read = ReadHeadFile(head.value());
    head.value().Close();
    if (read.status == HeadReadStatus::Failed) {
        host.ReportFileError(read.error);
        return result;
    }
    if (read.status != HeadReadStatus::Read) {
        host.ShowMessage("Read info from head file error!", "Error");
        return result;
    }

    const HeadFileInfo& info = read.info;
    const std::string stem = SplitBaseName(headPath).base;
    std::vector<PieceEntry> pieces;
    for (std::uint32_t number = 1; number <= info.pieceCount; ++number) {
        const std::uint32_t size = number < info.pieceCount ? info.pieceSize : LastPieceSize(info);
        pieces.push_back({PiecePath(stem, number), std::to_string(size), PieceMark::Unchecked});
    }
    bool allGood = true;
    for (auto& entry : pieces) {
        entry.mark = MarkFor(entry);
        allGood = allGood && entry.mark == PieceMark::Good;
    }
    result.outcome = allGood ? VerifyOutcome::Passed : VerifyOutcome::Failed;
    result.pieces = std::move(pieces);
    return result;
}

}  // namespace kavendrum
