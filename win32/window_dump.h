#pragma once

#include <string>

namespace kavendrum::win32 {

// The registered message that asks the program to write its window dump anew.
inline constexpr const char* kDumpMessageName = "KavendrumDumpWindow";

// Describes, as JSON, every top-level window of this process with each of its child controls:
// class, id, text, screen rectangle, visibility, enabled and checked state, the text's extent in
// the control's font, the rows of list views and the items of trees, the dialog base units and
// the font in use. A diagnostic for tests.
std::string DescribeWindows();

// Writes the description to `path`: to a new file beside it first, then put in its place, so
// that a reader never sees half a dump. False when that failed.
bool WriteWindowDump(const std::string& path);

// `text` as a JSON string, quotes included.
std::string JsonString(const std::string& text);

}  // namespace kavendrum::win32
