#include "win32/command_line.h"

namespace kavendrum::win32 {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::size_t SkipBlanks(const std::string& text, std::size_t at) {
    while (at < text.size() && IsBlank(text[at])) {
        ++at;
    }
    return at;
}

// One word from `at`, a quoted one without its quotes; `at` moves past it.
std::string Word(const std::string& text, std::size_t& at) {
    std::string word;
    bool quoted = false;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (c == '"') {
            quoted = !quoted;
        } else if (IsBlank(c) && !quoted) {
            break;
        } else {
            word += c;
        }
    }
    return word;
}

}  // namespace

StartArguments ParseStartArguments(const std::string& commandLine) {
    std::size_t at = 0;
    Word(commandLine, at);
    at = SkipBlanks(commandLine, at);
    StartArguments arguments;
    static const std::string kDumpSwitch = "--dump-window";
    if (commandLine.compare(at, kDumpSwitch.size(), kDumpSwitch) == 0 &&
        (at + kDumpSwitch.size() == commandLine.size() ||
         IsBlank(commandLine[at + kDumpSwitch.size()]))) {
        at = SkipBlanks(commandLine, at + kDumpSwitch.size());
        arguments.dumpPath = Word(commandLine, at);
        at = SkipBlanks(commandLine, at);
    }
    arguments.startArgument = commandLine.substr(at);
    return arguments;
}

}  // namespace kavendrum::win32
