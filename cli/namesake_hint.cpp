#include "cli/namesake_hint.h"

#include <cstdio>

#include "cli/console_host.h"

namespace kavendrum {

namespace {

// What follows "may be it" or "is named like it", by what was found of the file.
std::string Finding(const PieceNamesake& namesake, const std::string& checksumPath) {
    if (!namesake.size) {
        return " is named like it, but is a link or a folder: see whether it is the piece";
    }
    if (*namesake.size != namesake.expectedSize) {
        return " is named like it, but holds " + std::to_string(*namesake.size) + " bytes, not " +
               std::to_string(namesake.expectedSize) + ": perhaps a download that did not finish";
    }
    const std::string checksums = Printable(checksumPath);
    switch (namesake.content) {
        case NamesakeContent::Matches:
            return " may be it: rename it (its content matches " + checksums + ")";
        case NamesakeContent::Differs:
            return " is named like it, but its content does not match " + checksums +
                   ": it is not that piece";
        case NamesakeContent::Unreadable:
            return " may be it: rename it (its content could not be read to check it)";
        case NamesakeContent::NotChecked:
            break;
    }
    return " may be it: rename it";
}

}  // namespace

std::string Printable(const std::string& text) {
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            shown += "\\n";
        } else if (c == '\t') {
            shown += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            shown += escaped;
        } else {
            shown += c;
        }
    }
    return shown;
}

std::vector<std::string> NamesakeHints(const NamesakeSearch& search) {
    std::vector<std::string> hints;
    for (const auto& namesake : search.namesakes) {
        hints.push_back(Printable(namesake.missingPath) + " is missing; " +
                        Printable(namesake.path) + Finding(namesake, search.checksumPath));
    }
    if (search.notShown > 0) {
        hints.push_back("and " + std::to_string(search.notShown) +
                        " more files named like missing pieces");
    }
    return hints;
}

void PrintNamesakeHints(const std::string& headPath, ConsoleHost& host) {
    for (const auto& hint : NamesakeHints(FindPieceNamesakes(headPath))) {
        host.Complain(hint);
    }
}

}  // namespace kavendrum
