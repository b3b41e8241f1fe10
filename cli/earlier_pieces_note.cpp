#include "cli/earlier_pieces_note.h"

#include <cstdio>

#include "cli/console_host.h"

namespace kavendrum {

EarlierPiecesNote DescribeEarlierPieces(const EarlierPiecesRemoval& removal) {
    EarlierPiecesNote note;
    if (removal.removed > 0) {
        note.removed = "removed ";
        note.removed += std::to_string(removal.removed);
        note.removed +=
            removal.removed == 1 ? " piece of the earlier set" : " pieces of the earlier set";
    }
    if (!removal.checksumFileRemoved.empty()) {
        if (!note.removed.empty()) {
            note.removed += '\n';
        }
        note.removed += "removed the earlier set's checksum file ";
        note.removed += removal.checksumFileRemoved;
        note.removed += ": it does not describe the new pieces";
    }
    for (const auto& path : removal.leftAlone) {
        note.complaints.push_back(path +
                                  ": left as it is, though the earlier set named it: a link, a "
                                  "folder, or a file that changed during the split");
    }
    for (const auto& failure : removal.failed) {
        note.complaints.push_back(
            failure.path + ": a piece of the earlier set, not removed: " + ReasonText(failure));
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
