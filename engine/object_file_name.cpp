#include "engine/object_file_name.h"

#include "engine/paths.h"

namespace kavendrum {

std::string FormObjectFileName(const std::string& destinationFolder, const std::string& headPath,
                               bool usePrefix, const std::string& prefixName,
                               const std::string& extension) {
    const std::string name = GetFileName(usePrefix ? prefixName : headPath);
    return WithTrailingSeparator(destinationFolder) +
           RebuiltFileName(SplitBaseName(name).base, extension);
}

}  // namespace kavendrum
