#include "cli/rejoin_command.h"

#include "engine/paths.h"

namespace kavendrum {

std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

std::string RejoinCommand(const std::string& base, const std::string& extension,
                          std::uint32_t pieceCount) {
    // "./" keeps a name that starts with a dash from being read as an option by cat.
    const std::string piece = ShellQuoted("./" + base + "_") + "$i" + ShellQuoted(".skf");
    const std::string output = ShellQuoted("./" + RebuiltFileName(base, extension));
    return "(n=" + std::to_string(pieceCount) + "; i=1; while [ $i -le $n ]; do [ -f " + piece +
           " ] || { echo \"piece $i of $n is missing\" >&2; exit 1; }; i=$((i+1)); done; "
           "i=1; while [ $i -le $n ]; do cat " +
           piece + " || exit 1; i=$((i+1)); done > " + output + ")";
}

std::string RejoinCommandFrom(const std::string& folder, const std::string& base,
                              const std::string& extension, std::uint32_t pieceCount) {
    // "./" keeps a folder that starts with a dash from being read as an option by cd.
    const std::string target = folder.empty() || folder[0] == '/' ? folder : "./" + folder;
    return "(cd " + ShellQuoted(target.empty() ? "." : target) + " && " +
           RejoinCommand(base, extension, pieceCount) + ")";
}

}  // namespace kavendrum
