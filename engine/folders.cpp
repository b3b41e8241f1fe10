#include "engine/folders.h"

#include <algorithm>

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

namespace {

// Each missing level from the outermost in, the last one too.
FileStatus CreateWithParents(const std::string& path) {
    std::string parent = StripTrailingSeparator(GetFolderPart(path));
    // A file in a parent's place is left for the last level to report.
    if (!parent.empty() && !IsUncheckedDestination(parent) && KindOf(parent) == FileKind::Missing) {
        if (auto failure = CreateWithParents(parent)) {
            return failure;
        }
    }
    return CreateOneFolder(path);
}

}  // namespace

FolderCheck EnsureFolder(const std::string& path, FolderSide side, const OptionSet& options,
                         OperationHost& host, FolderCreation creation) {
    if (FolderExists(path)) {
        return FolderCheck::Ready;
    }
    const auto mode = side == FolderSide::Split ? options.splitFolderMode : options.mergeFolderMode;
    if (mode != 0 && !host.Ask({.id = QuestionId::CreateFolder, .path = path})) {
        return FolderCheck::Declined;
    }
    const std::string folder = StripTrailingSeparator(path);
    if (auto failure = creation == FolderCreation::WithParents ? CreateWithParents(folder)
                                                               : CreateOneFolder(folder)) {
        host.Notify(NoticeOf(NoticeId::FolderNotCreated, path, failure));
        return FolderCheck::Failed;
    }
    return FolderCheck::Ready;
}

FolderCheck CheckDestination(const std::string& folder, FolderSide side, const OptionSet& options,
                             OperationHost& host, FolderCreation creation) {
    return IsUncheckedDestination(folder) ? FolderCheck::Ready
                                          : EnsureFolder(folder, side, options, host, creation);
}

bool HasRoomFor(const std::string& folder, std::uint64_t needed, OperationHost& host) {
    const auto free = FreeSpaceOf(folder);
    if (!free.ok() || free.value() >= needed) {
        return true;
    }
    host.Notify({.id = NoticeId::NotEnoughSpace,
                 .path = folder,
                 .failure = FileError{FileErrorCause::DiskFull, folder},
                 .needed = needed,
                 .available = free.value()});
    return false;
}

bool HasRoomForMerge(const MergeRoom& room, OperationHost& host) {
    const auto Where = [](const std::string& folder) {
        return IdentityOf(folder.empty() ? std::string(".") : folder);
    };
    const auto output = Where(room.outputFolder);
    const auto pieces = Where(room.pieceFolder);
    const bool sameFileSystem = output && pieces && output->device == pieces->device;
    const std::uint64_t whole = WholeFileSize(room.info);
    std::uint64_t needed = whole - std::min(room.kept, whole);
    if (room.removesPieces && sameFileSystem) {
        needed = std::min<std::uint64_t>(needed, room.info.pieceSize);
    }
    return HasRoomFor(room.outputFolder, needed, host);
}

}  // namespace kavendrum
