#pragma once

#include <string>

namespace kavendrum {

// The path a merge writes: the destination folder, then the stem of the prefix name when one is
// used or else of the head file's name (folder and extension dropped), then the stored extension.
std::string FormObjectFileName(const std::string& destinationFolder, const std::string& headPath,
                               bool usePrefix, const std::string& prefixName,
                               const std::string& extension);

}  // namespace kavendrum
