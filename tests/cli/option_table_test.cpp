// The completions and the manual page name the option fields, the commands and their options by
// hand; these checks hold them to the program's table and to the program's own help, so that a
// field, a command or an option added in one place only fails here.

#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "options/option_fields.h"

namespace kavendrum {
namespace {

std::string SourceFile(const std::string& path) {
    std::ifstream in(std::string(KAVENDRUM_SOURCE_DIR) + "/" + path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every camelCase word: in these files only the option fields are written so.
std::set<std::string> CamelCaseWords(const std::string& text) {
    static const std::regex word("\\b[a-z]+(?:[A-Z][a-z]+)+\\b");
    std::set<std::string> words;
    for (std::sregex_iterator it(text.begin(), text.end(), word), end; it != end; ++it) {
        words.insert(it->str());
    }
    return words;
}

bool HasWord(const std::string& line, std::string_view word) {
    const std::regex whole("(^|[^A-Za-z])" + std::string(word) + "([^A-Za-z]|$)");
    return std::regex_search(line, whole);
}

// Some line names the field and both of its values.
bool NamesFieldWithValues(const std::string& text, const OptionField& field) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (HasWord(line, field.name) && HasWord(line, field.off.name) &&
            HasWord(line, field.on.name)) {
            return true;
        }
    }
    return false;
}

const char* const kFilesNamingFields[] = {
    "completions/kavendrum-cli.bash",
    "completions/_kavendrum-cli",
    "completions/kavendrum-cli.fish",
    "docs/man/kavendrum-cli.1.scd",
};

TEST(OptionTable, CompletionsAndManualPageNameEveryFieldAndNoOther) {
    std::set<std::string> names;
    for (const auto& field : OptionFields()) {
        names.insert(std::string(field.name));
    }
    for (const char* path : kFilesNamingFields) {
        const std::string text = SourceFile(path);
        ASSERT_FALSE(text.empty()) << path;
        EXPECT_EQ(CamelCaseWords(text), names) << path;
        for (const auto& field : OptionFields()) {
            EXPECT_TRUE(NamesFieldWithValues(text, field))
                << path << " has no line with " << field.name << ", " << field.off.name << " and "
                << field.on.name;
        }
    }
}

TEST(OptionTable, TheManualPageGivesEveryFieldItsNumbersAndDefault) {
    const std::string page = SourceFile("docs/man/kavendrum-cli.1.scd");
    for (const auto& field : OptionFields()) {
        const std::string heading = "*" + std::string(field.name) + "*=";
        const auto start = page.find(heading);
        ASSERT_NE(start, std::string::npos) << field.name;
        const std::string entry = page.substr(start, page.find("\n\n", start) - start);
        for (const auto& value : {field.off, field.on}) {
            const std::string named =
                "*" + std::string(value.name) + "* (" + std::to_string(value.number);
            const auto at = entry.find(named);
            ASSERT_NE(at, std::string::npos) << entry;
            const bool saysDefault =
                entry.substr(at, entry.find(')', at) - at).find("the default") != std::string::npos;
            EXPECT_EQ(saysDefault, value.number == field.DefaultValue()) << entry;
        }
    }
}

// What the program's --help says: the first word of each entry under a heading such as
// "Options:", each of its comma-separated names ("-q,--quiet" is -q and --quiet).
std::vector<std::string> HelpEntries(const std::string& arguments, const std::string& heading) {
    const std::string command = std::string(KAVENDRUM_CLI_PATH) + " " + arguments + " --help";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string help;
    char buffer[4096];
    for (std::size_t got; pipe && (got = fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) {
        help.append(buffer, got);
    }
    std::vector<std::string> entries;
    std::istringstream lines(help);
    bool inside = false;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line[0] != ' ') {
            inside = line == heading;
        } else if (inside && line.size() > 2 && line[2] != ' ') {
            std::istringstream names(line.substr(2, line.find(' ', 2) - 2));
            for (std::string name; std::getline(names, name, ',');) {
                entries.push_back(name);
            }
        }
    }
    return entries;
}

// The commands, and the options each takes beyond the global ones, as the program has them.
struct CommandLineTable {
    std::vector<std::string> globals;
    std::map<std::string, std::vector<std::string>> commands;
};

CommandLineTable TableFromHelp() {
    CommandLineTable table;
    table.globals = HelpEntries("", "Options:");
    const std::set<std::string> global(table.globals.begin(), table.globals.end());
    for (const auto& command : HelpEntries("", "Subcommands:")) {
        auto& options = table.commands[command];
        for (const auto& option : HelpEntries(command, "Options:")) {
            if (!global.contains(option)) {
                options.push_back(option);
            }
        }
    }
    return table;
}

// The word or option as a whole: "--no" is not found in "--no-checksums".
bool HasToken(const std::string& text, const std::string& token) {
    const std::regex whole("(^|[^A-Za-z-])" + std::regex_replace(token, std::regex("-"), "\\-") +
                           "([^A-Za-z-]|$)");
    return std::regex_search(text, whole);
}

bool SomeLine(const std::string& text, const std::function<bool(const std::string&)>& test) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (test(line)) {
            return true;
        }
    }
    return false;
}

// The lines of a shell case branch "    command)" up to its ";;".
std::string CaseBranch(const std::string& text, const std::string& command) {
    std::smatch found;
    if (!std::regex_search(text, found, std::regex("\n[ \t]*" + command + "\\)[ \t]*\n"))) {
        return {};
    }
    const auto start = static_cast<std::size_t>(found.position(0));
    return text.substr(start, text.find(";;", start) - start);
}

// The words fish uses for an option: "-l size" for --size, "-s q" for -q.
std::string FishOption(const std::string& option) {
    return option.starts_with("--") ? "-l " + option.substr(2) : "-s " + option.substr(1);
}

TEST(CommandTable, EveryCompletionOffersEveryCommandAndItsOptions) {
    const CommandLineTable table = TableFromHelp();
    ASSERT_FALSE(table.globals.empty());
    ASSERT_FALSE(table.commands.empty());
    const auto namesEveryCommand = [&table](const std::string& line) {
        for (const auto& [command, options] : table.commands) {
            if (!HasToken(line, command)) {
                return false;
            }
        }
        return true;
    };
    for (const char* path : {"completions/kavendrum-cli.bash", "completions/_kavendrum-cli"}) {
        const std::string text = SourceFile(path);
        // zsh names an option in a list of those it excludes, "(--stdout)--dest[...]", too; only
        // its own entry counts: the option before its "[" (or in "{-q,--quiet}").
        const bool zsh = std::string(path).ends_with("_kavendrum-cli");
        const auto offers = [zsh](const std::string& where, const std::string& option) {
            return zsh ? std::regex_search(
                             where, std::regex(std::regex_replace(option, std::regex("-"), "\\-") +
                                               "[\\[,}]"))
                       : HasToken(where, option);
        };
        EXPECT_TRUE(SomeLine(text, namesEveryCommand)) << path << " offers not every command";
        for (const auto& option : table.globals) {
            EXPECT_TRUE(offers(text, option)) << path << " lacks " << option;
        }
        for (const auto& [command, options] : table.commands) {
            const std::string branch = CaseBranch(text, command);
            EXPECT_FALSE(branch.empty()) << path << " has no branch for " << command;
            for (const auto& option : options) {
                EXPECT_TRUE(offers(branch, option)) << path << ": " << command << " " << option;
            }
        }
    }
    const std::string fish = SourceFile("completions/kavendrum-cli.fish");
    EXPECT_TRUE(SomeLine(fish, namesEveryCommand)) << "fish offers not every command";
    for (const auto& option : table.globals) {
        EXPECT_TRUE(SomeLine(fish,
                             [&option](const std::string& line) {
                                 return HasToken(line, FishOption(option)) && !HasToken(line, "-n");
                             }))
            << "fish lacks the global " << option;
    }
    for (const auto& [command, options] : table.commands) {
        for (const auto& option : options) {
            EXPECT_TRUE(SomeLine(fish,
                                 [&](const std::string& line) {
                                     return line.find("__fish_seen_subcommand_from") !=
                                                std::string::npos &&
                                            HasToken(line, command) &&
                                            HasToken(line, FishOption(option));
                                 }))
                << "fish: " << command << " " << option;
        }
    }
}

TEST(CommandTable, TheManualPageShowsEveryCommandWithItsOptionsAndDescribesEachOption) {
    const CommandLineTable table = TableFromHelp();
    ASSERT_FALSE(table.commands.empty());
    const std::string page = SourceFile("docs/man/kavendrum-cli.1.scd");
    const auto start = page.find("\n# OPTIONS\n");
    ASSERT_NE(start, std::string::npos);
    const std::string options = page.substr(start, page.find("\n# ", start + 1) - start);
    const auto described = [&options](const std::string& option) {
        return SomeLine(options, [&option](const std::string& line) {
            return line.starts_with("*") && line.find("*" + option + "*") != std::string::npos;
        });
    };
    for (const auto& option : table.globals) {
        EXPECT_TRUE(described(option)) << option;
    }
    for (const auto& [command, commandOptions] : table.commands) {
        // The synopsis lines of the command, taken together.
        std::string synopsis;
        std::istringstream lines(page);
        for (std::string line; std::getline(lines, line);) {
            if (line.starts_with("*kavendrum-cli* [_GLOBAL OPTIONS_] *" + command + "*")) {
                synopsis += line + "\n";
            }
        }
        EXPECT_FALSE(synopsis.empty()) << "no synopsis for " << command;
        EXPECT_NE(page.find("\n*" + command + "*"), std::string::npos)
            << "no entry for " << command;
        for (const auto& option : commandOptions) {
            EXPECT_NE(synopsis.find("*" + option + "*"), std::string::npos)
                << command << " " << option;
            EXPECT_TRUE(described(option)) << option;
        }
    }
}

}  // namespace
}  // namespace kavendrum
