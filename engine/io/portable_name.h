#pragma once

#include <optional>
#include <string>

namespace kavendrum {

// File names as files meant for other systems carry them (UTF-8, as PAR2 tools write and read
// them), and as this platform's file functions take them: the program's code page on Windows
// (UTF-8 itself where Windows honours the programs' manifests, the ANSI code page before), the
// bytes themselves elsewhere.

// The portable form of a name this platform gave; never fails.
std::string PortableNameOf(const std::string& nativeName);
// The name this platform would give a file called `portableName`; nothing when the name cannot
// be spelled here (not UTF-8, or a letter outside the code page), so that it matches no file.
std::optional<std::string> NativeNameOf(const std::string& portableName);

}  // namespace kavendrum
