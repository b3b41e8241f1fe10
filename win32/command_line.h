#pragma once

#include <string>

namespace kavendrum::win32 {

// What the program's command line holds: the start argument, exactly as given (quotes and all),
// and the path of the diagnostic window dump, when `--dump-window FILE` comes first.
struct StartArguments {
    std::string startArgument;
    std::string dumpPath;
};

// `commandLine` is the whole line, the program's own name first.
StartArguments ParseStartArguments(const std::string& commandLine);

}  // namespace kavendrum::win32
