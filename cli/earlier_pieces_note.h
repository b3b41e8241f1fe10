#pragma once

#include <string>
#include <vector>

#include "engine/earlier_set.h"

namespace kavendrum {

class ConsoleHost;

// What a split over an earlier, longer set says about the pieces of that set beyond its own
// count: how many went ("removed 3 pieces of the earlier set"), and its checksum file when the
// new set has none, for standard output; one line for each that stays, for standard error.
struct EarlierPiecesNote {
    std::string removed;  // lines; empty when nothing was removed
    std::vector<std::string> complaints;
};
EarlierPiecesNote DescribeEarlierPieces(const EarlierPiecesRemoval& removal);

// Prints the note: the count only when success messages are shown, the complaints always.
void PrintEarlierPieces(const EarlierPiecesRemoval& removal, bool speaks, ConsoleHost& host);

}  // namespace kavendrum
