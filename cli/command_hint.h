#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kavendrum {

// What a command line that names no command probably meant, for its usage error: "did you mean
// split?" for a typo, or the line with its command moved to the front when the command came
// later ("kavendrum-cli movie.avi split out"). `arguments` are the words after the program's
// name. Nothing when the first word that is not an option is a command, when there is no such
// word, or when help or the version is asked for: the parser answers those. Also "--size 25 MB"
// typed without quotes, whose unit would otherwise be taken for a file.
std::optional<std::string> CommandHint(const std::vector<std::string>& arguments);

}  // namespace kavendrum
