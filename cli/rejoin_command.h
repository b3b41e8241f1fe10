#pragma once

#include <cstdint>
#include <string>

namespace kavendrum {

// The text as one word for a POSIX shell: in single quotes, each quote in it written '\''.
std::string ShellQuoted(const std::string& text);

// A POSIX sh command that, run in the pieces' folder, rebuilds base.extension from base_1.skf …
// base_N.skf in numeric order (a shell glob would put base_10 before base_2). It is a loop, so it
// stays short for any number of pieces; it checks every piece before it writes anything, and
// stops with a message and status 1 when one is missing. It runs in a subshell, so that its exit
// does not end the user's own shell.
std::string RejoinCommand(const std::string& base, const std::string& extension,
                          std::uint32_t pieceCount);

// The same, run from where the split was run: it goes into `folder` first, in its subshell, and
// stops with cd's message when it cannot.
std::string RejoinCommandFrom(const std::string& folder, const std::string& base,
                              const std::string& extension, std::uint32_t pieceCount);

}  // namespace kavendrum
