#include "cli/earlier_pieces_note.h"

#include <cstdio>

#include "cli/console_host.h"

namespace kavendrum {

EarlierPiecesNote DescribeEarlierPieces(const EarlierPiecesRemoval& removal) {
    EarlierPiecesNote note;
    if (removal.removed > 0) {
        note.removed = "removed " + std::to_string(removal.removed) +
                       (removal.removed == 1 ? " piece" : " pieces") + " of the earlier set";
    }
    if (!removal.checksumFileRemoved.empty()) {
        note.removed += (note.removed.empty() ? "" : "\n") +
                        ("removed the earlier set's checksum file " + removal.checksumFileRemoved +
                         ": it does not describe the new pieces");
    }
    for (const auto& path : removal.leftAlone) {
        note.complaints.push_back(path +
                                  ": left as it is, though the earlier set named it: a link, a "
                                  "folder, or a file that changed during the split");
    }
    for (const auto& failure : removal.failed) {
        note.complaints.push_back(
            failure.path + ": a piece of the earlier set, not removed: " + ReasonText("", failure));
    }
    return note;
}

void PrintEarlierPieces(const EarlierPiecesRemoval& removal, bool speaks, ConsoleHost& host) {
    const EarlierPiecesNote note = DescribeEarlierPieces(removal);
    if (speaks && !note.removed.empty()) {
        std::printf("%s\n", note.removed.c_str());
    }
    for (const auto& complaint : note.complaints) {
        host.Complain(complaint);
    }
}

}  // namespace kavendrum
