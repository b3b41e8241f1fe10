#include "cli/command_hint.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

#include "cli/rejoin_command.h"
#include "cli/size_text.h"

namespace kavendrum {

namespace {

constexpr std::array<std::string_view, 5> kCommands = {"split", "verify", "repair", "merge",
                                                       "options"};

bool IsCommand(std::string_view word) {
    return std::find(kCommands.begin(), kCommands.end(), word) != kCommands.end();
}

// Edits (insert, delete, replace, swap two neighbours) from one word to the other.
std::size_t Distance(std::string_view a, std::string_view b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) {
        d[i][0] = i;
    }
    for (std::size_t j = 0; j <= b.size(); ++j) {
        d[0][j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t replace = d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, replace});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[a.size()][b.size()];
}

// The command a mistyped word is closest to, when it is close: two edits at most, or the start
// of the command's name.
std::optional<std::string_view> Nearest(std::string_view word) {
    std::optional<std::string_view> nearest;
    std::size_t best = 3;
    for (const auto command : kCommands) {
        const bool start = word.size() >= 2 && command.substr(0, word.size()) == word;
        const std::size_t distance = start ? 0 : Distance(word, command);
        if (distance < best) {
            best = distance;
            nearest = command;
        }
    }
    return nearest;
}

std::string Quoted(const std::string& word) {
    const bool plain = std::all_of(word.begin(), word.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) ||
               std::string_view("-_./=:,+@%").find(c) != std::string_view::npos;
    });
    return plain && !word.empty() ? word : ShellQuoted(word);
}

// "--size 25 MB" typed without quotes: the unit became a word of its own.
std::optional<std::string> SplitSizeHint(const std::vector<std::string>& arguments) {
    for (std::size_t i = 0; i + 2 < arguments.size(); ++i) {
        const std::string& unit = arguments[i + 2];
        const bool letters = !unit.empty() && std::all_of(unit.begin(), unit.end(), [](char c) {
            return std::isalpha(static_cast<unsigned char>(c));
        });
        const std::string& number = arguments[i + 1];
        if (arguments[i] == "--size" && letters && !number.empty() &&
            std::isdigit(static_cast<unsigned char>(number[0])) && ReadSize(number + unit)) {
            return "'--size " + arguments[i + 1] + " " + unit + "' is two words; write --size " +
                   arguments[i + 1] + unit + " or --size '" + arguments[i + 1] + " " + unit + "'";
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> CommandHint(const std::vector<std::string>& arguments) {
    if (auto hint = SplitSizeHint(arguments)) {
        return hint;
    }
    std::optional<std::size_t> first;  // the first word that is not an option
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (word == "-h" || word == "--help" || word == "--version") {
            return std::nullopt;
        }
        if (word == "--options-file") {
            ++i;  // its value
        } else if (!first && (word.empty() || word[0] != '-' || word == "-")) {
            first = i;
        }
    }
    if (!first || IsCommand(arguments[*first])) {
        return std::nullopt;
    }
    const auto later = std::find_if(arguments.begin() + static_cast<std::ptrdiff_t>(*first),
                                    arguments.end(), [](const auto& w) { return IsCommand(w); });
    if (later != arguments.end()) {
        std::vector<std::string> reordered(arguments.begin(), later);
        reordered.insert(reordered.begin() + static_cast<std::ptrdiff_t>(*first), *later);
        reordered.insert(reordered.end(), later + 1, arguments.end());
        std::string line = "kavendrum-cli";
        for (const auto& word : reordered) {
            // Appended in two steps: " " + a temporary string inserts at its front, which
            // mingw's GCC 12 warns of as an overlapping copy.
            line += ' ';
            line += Quoted(word);
        }
        return "the command comes first: " + line;
    }
    const std::string& word = arguments[*first];
    if (const auto nearest = Nearest(word)) {
        return "unknown command '" + word + "'; did you mean " + std::string(*nearest) + "?";
    }
    return "unknown command '" + word +
           "'; the commands are split, verify, repair, merge and options";
}

}  // namespace kavendrum
