#pragma once

#include <optional>
#include <string>

namespace kavendrum {

// For a HEAD argument that names a folder ("kavendrum-cli verify pieces"): a line that gives the
// head files in it, so that the next command line can name one. Nothing when `path` is no
// folder or holds no head file. Names from the folder are shown with control characters escaped.
std::optional<std::string> FolderHeadHint(const std::string& path);

}  // namespace kavendrum
