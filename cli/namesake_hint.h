#pragma once

#include <string>
#include <vector>

#include "engine/piece_namesakes.h"

namespace kavendrum {

class ConsoleHost;

// The lines that point from a missing piece to a file that may be it under a name a download
// gave it ("movie_2.skf is missing; movie_2 (1).skf may be it: rename it"), with what its size
// and, with a checksum file, its content say. Names from the folder may hold any byte: control
// characters are shown escaped, so that none reaches the terminal.
std::vector<std::string> NamesakeHints(const NamesakeSearch& search);

// Looks for namesakes of the missing pieces of the set and prints a line for each on standard
// error. Nothing is renamed.
void PrintNamesakeHints(const std::string& headPath, ConsoleHost& host);

// The text with each control character written as \n, \t or \xNN. A backslash stays as it is:
// it separates the folders of a Windows path.
std::string Printable(const std::string& text);

}  // namespace kavendrum
