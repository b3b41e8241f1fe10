#include "cli/piece_rows.h"

#include <algorithm>

#include "cli/console_host.h"
#include "engine/paths.h"

namespace kavendrum {

namespace {

const char* MarkText(PieceMark mark) {
    switch (mark) {
        case PieceMark::Good:
            return "Good";
        case PieceMark::Bad:
            return "Bad";
        case PieceMark::Unchecked:
            break;
    }
    return "Unchecked";
}

// Whether the row's pieces were not there at all, as opposed to there and unusable.
bool NotThere(const PieceEntry& entry) {
    return entry.fault == PieceFault::Missing &&
           (!entry.openFailure || entry.openFailure->cause == FileErrorCause::FileNotFound);
}

// A piece that stood in the folder but did not open: held by another program, or the system's
// own words (a folder, no permission).
std::string UnopenedReason(const PieceEntry& entry) {
    switch (entry.openFailure->cause) {
        case FileErrorCause::SharingViolation:
        case FileErrorCause::LockViolation:
            return "in use: another program holds or locks it";
        default:
            break;
    }
    return SystemReason({entry.openFailure->cause, entry.path, entry.openFailure->systemCode});
}

}  // namespace

void PrintRows(std::FILE* out, const std::vector<PieceEntry>& pieces, bool onlyBad) {
    for (const auto& entry : pieces) {
        if (!onlyBad || entry.mark == PieceMark::Bad) {
            std::fprintf(out, "%s\t%s\t%s\n", MarkText(entry.mark), entry.sizeText.c_str(),
                         entry.path.c_str());
        }
    }
}

std::string BadPieceReason(const PieceEntry& entry, bool contentDiffers) {
    if (contentDiffers) {
        return "content differs";
    }
    switch (entry.fault) {
        case PieceFault::Missing:
            return NotThere(entry) ? "missing" : UnopenedReason(entry);
        case PieceFault::ContentDiffers:
            // Not compared: reading it failed, or the run was asked to stop first.
            return "could not be read to its end";
        case PieceFault::SizeDiffers:
        case PieceFault::None:
            break;
    }
    return "size differs";
}

void PrintReasons(const ContentVerification& checked) {
    if (!checked.verification.pieces) {
        return;
    }
    std::fflush(stdout);
    std::uint64_t next = 1;  // the first piece of the next row; a row may stand for a run
    for (const auto& entry : *checked.verification.pieces) {
        const std::uint64_t number = next;
        next += entry.count;
        if (entry.mark != PieceMark::Bad) {
            continue;
        }
        // The pieces found to differ come in piece order.
        const bool content =
            std::binary_search(checked.contentBad.begin(), checked.contentBad.end(), number);
        std::fprintf(stderr, "%s: %s\n", entry.path.c_str(),
                     BadPieceReason(entry, content).c_str());
    }
}

BadCounts CountBad(const Verification& verification) {
    BadCounts counts;
    for (const auto& entry : *verification.pieces) {
        counts.total += entry.count;
        if (entry.mark == PieceMark::Bad) {
            (NotThere(entry) ? counts.missing : counts.bad) += entry.count;
        }
    }
    return counts;
}

std::string BadCounts::Text() const {
    std::string what;
    if (missing > 0) {
        what = std::to_string(missing) + " missing";
    }
    if (bad > 0) {
        what += (what.empty() ? "" : " and ") + std::to_string(bad) + " bad";
    }
    return what + " of " + std::to_string(total) + " pieces";
}

void PrintBadSummary(const Verification& verification, const std::string& headPath) {
    const BadCounts counts = CountBad(verification);
    if (counts.None()) {
        return;
    }
    std::string folder = GetFolderPart(headPath);
    folder = folder.empty() ? "the current folder" : StripTrailingSeparator(folder);
    std::fprintf(stderr, "kavendrum-cli: %s: copy %s again into %s and run again\n",
                 counts.Text().c_str(), counts.missing + counts.bad == 1 ? "it" : "them",
                 folder.c_str());
}

}  // namespace kavendrum
