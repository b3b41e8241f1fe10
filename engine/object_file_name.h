#pragma once

#include <optional>
#include <string>

namespace kavendrum {

// The rebuilt file's name alone: the stem of `name` (its folders and extension dropped) and the
// stored extension. None when that cannot be a file of its own inside a folder: empty, "." or
// "..", holding a folder separator or a NUL, or on Windows nothing but dots and spaces, which the
// system strips away.
std::optional<std::string> RebuiltNameFrom(const std::string& name, const std::string& extension);

// The path a merge writes: the destination folder, then the stem of the prefix name when one is
// used or else of the head file's name, then the stored extension. Whatever those hold, the
// result is a direct child of the destination folder, or none at all.
std::optional<std::string> FormObjectFileName(const std::string& destinationFolder,
                                              const std::string& headPath, bool usePrefix,
                                              const std::string& prefixName,
                                              const std::string& extension);

}  // namespace kavendrum
