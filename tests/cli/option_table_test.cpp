// The completions and the manual page name the option fields by hand; these checks hold them to
// the program's table, so that a field or a value name added in one place only fails here.

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

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

}  // namespace
}  // namespace kavendrum
