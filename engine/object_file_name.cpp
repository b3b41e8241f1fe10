#include "engine/object_file_name.h"

#include <algorithm>

#include "engine/paths.h"

namespace kavendrum {

namespace {

bool IsPlainFileName(const std::string& name) {
    if (std::any_of(name.begin(), name.end(),
                    [](char c) { return c == '\0' || IsFolderSeparator(c); })) {
        return false;
    }
#ifdef _WIN32
    // The system drops trailing dots and spaces, so "..." or ". " would name the folder itself.
    return name.find_last_not_of(". ") != std::string::npos;
#else
    return !name.empty() && name != "." && name != "..";
#endif
}

}  // namespace

std::optional<std::string> RebuiltNameFrom(const std::string& name, const std::string& extension) {
    const std::string rebuilt = RebuiltFileName(SplitBaseName(LeafName(name)).base, extension);
    if (!IsPlainFileName(rebuilt)) {
        return std::nullopt;
    }
    return rebuilt;
}

std::optional<std::string> FormObjectFileName(const std::string& destinationFolder,
                                              const std::string& headPath, bool usePrefix,
                                              const std::string& prefixName,
                                              const std::string& extension) {
    const auto name = RebuiltNameFrom(usePrefix ? prefixName : headPath, extension);
    if (!name) {
        return std::nullopt;
    }
    return WithTrailingSeparator(destinationFolder) + *name;
}

}  // namespace kavendrum
