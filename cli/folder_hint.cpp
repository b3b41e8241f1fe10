#include "cli/folder_hint.h"

#include <algorithm>
#include <vector>

#include "cli/namesake_hint.h"
#include "engine/io/file_system.h"
#include "engine/paths.h"
#include "engine/piece_set.h"

namespace kavendrum {

namespace {

// A folder of pieces holds a head file or two; more are summed up, not listed.
constexpr std::size_t kHeadFilesShown = 3;

}  // namespace

std::optional<std::string> FolderHeadHint(const std::string& path) {
    if (KindOf(path) != FileKind::Folder) {
        return std::nullopt;
    }
    std::vector<std::string> heads;
    std::size_t count = 0;
    const auto listed = ListFolder(path, [&](const std::string& name) {
        if (!IsHeadFileName(name)) {
            return;
        }
        ++count;
        heads.push_back(name);
        // Kept in order, so that the names shown do not depend on the folder's own order.
        std::sort(heads.begin(), heads.end());
        if (heads.size() > kHeadFilesShown) {
            heads.pop_back();
        }
    });
    const std::string folder = Printable(path);
    // A folder with none says no more than the reason already given.
    if (listed || count == 0) {
        return std::nullopt;
    }
    std::string line = folder + " is a folder; name its head file: ";
    for (std::size_t i = 0; i < heads.size(); ++i) {
        line += (i == 0 ? "" : ", ") + Printable(WithTrailingSeparator(path) + heads[i]);
    }
    if (count > heads.size()) {
        line += " and " + std::to_string(count - heads.size()) + " more";
    }
    return line;
}

}  // namespace kavendrum
