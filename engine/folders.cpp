#include "engine/folders.h"

#include "engine/io/file_system.h"
#include "engine/paths.h"

namespace kavendrum {

std::string GetProgramFolder() {
    auto path = ProgramPath();
    return path.ok() ? GetFolderPart(path.value()) : std::string();
}

bool FolderExists(const std::string& path) {
    return FolderHasEntries(WithTrailingSeparator(path));
}

FolderCheck EnsureFolder(const std::string& path, FolderSide side, const OptionSet& options,
                         OperationHost& host) {
    if (FolderExists(path)) {
        return FolderCheck::Ready;
    }
    const auto mode = side == FolderSide::Split ? options.splitFolderMode : options.mergeFolderMode;
    if (mode != 0 && !host.AskOkCancelAbout("Folder doesn't exist, do you want to create it?",
                                            "Message", path)) {
        return FolderCheck::Declined;
    }
    if (auto failure = CreateOneFolder(StripTrailingSeparator(path))) {
        host.ShowMessageAbout("Can not create folder!", "Error", path, failure);
        return FolderCheck::Failed;
    }
    return FolderCheck::Ready;
}

FolderCheck CheckDestination(const std::string& folder, FolderSide side, const OptionSet& options,
                             OperationHost& host) {
    return IsUncheckedDestination(folder) ? FolderCheck::Ready
                                          : EnsureFolder(folder, side, options, host);
}

}  // namespace kavendrum
