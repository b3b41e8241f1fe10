#include "engine/earlier_set.h"

#include "engine/checksum_file.h"
#include "engine/head_file.h"
#include "engine/paths.h"
#include "engine/pieces_on_disk.h"
#include "engine/verification.h"

namespace kavendrum {

namespace {

// A plain file at the name itself: no link, whatever it leads to, and no folder.
bool IsPlainFile(const std::string& path) {
    const auto link = LinkStateOf(path);
    return KindOfEntry(path) == FileKind::Regular && link && !link->target;
}

}  // namespace

EarlierSet EarlierSet::Look(const std::string& folder, const std::string& base,
                            std::uint32_t keptUpTo) {
    EarlierSet earlier;
    earlier.m_set = PieceSet::InFolder(folder, base);
    const std::string headPath = earlier.m_set.HeadPath();
    // A link in the head file's place may lead to any other set's record.
    if (!IsPlainFile(headPath)) {
        return earlier;
    }
    const auto info = PeekHeadFile(headPath);
    if (!info) {
        return earlier;
    }
    const std::string checksumPath = earlier.m_set.ChecksumPath();
    if (IsPlainFile(checksumPath)) {
        earlier.m_checksumFile = StampOf(checksumPath);
    }
    if (info->pieceCount <= keptUpTo) {
        return earlier;
    }
    const PiecesOnDisk onDisk = PiecesOnDisk::Find(earlier.m_set, info->pieceCount);
    // A folder that may be entered but not read would have every number the untrusted count
    // allows tried one by one: nothing is removed from it.
    if (!onDisk.Listed()) {
        return earlier;
    }
    for (std::uint32_t number = onDisk.NextAfter(keptUpTo); number != 0;
         number = onDisk.NextAfter(number)) {
        const std::string path = earlier.m_set.PiecePath(number);
        const FileKind kind = KindOfEntry(path);
        if (kind == FileKind::Missing) {
            continue;  // listed under another case, or gone since
        }
        const auto stamp = IsPlainFile(path) ? StampOf(path) : std::nullopt;
        if (stamp) {
            earlier.m_files.emplace_back(number, *stamp);
        } else {
            earlier.m_others.emplace_back(number, path);
        }
    }
    return earlier;
}

EarlierPiecesRemoval EarlierSet::RemoveBeyond(std::uint32_t pieceCount) const {
    EarlierPiecesRemoval removal;
    for (const auto& [number, stamp] : m_files) {
        if (number <= pieceCount) {
            continue;  // the new set's own piece took its name
        }
        const std::string path = m_set.PiecePath(number);
        const auto removed = RemoveIfSame(path, stamp);
        if (!removed.ok()) {
            // Gone already: nothing is left to say about it.
            if (removed.error().cause != FileErrorCause::FileNotFound) {
                removal.failed.push_back(removed.error());
            }
        } else if (removed.value() == Removal::Removed) {
            ++removal.removed;
        } else {
            removal.leftAlone.push_back(path);
        }
    }
    for (const auto& [number, path] : m_others) {
        if (number > pieceCount) {
            removal.leftAlone.push_back(path);
        }
    }
    return removal;
}

void EarlierSet::RemoveChecksumFile(EarlierPiecesRemoval& removal) const {
    if (!m_checksumFile) {
        return;
    }
    const std::string path = m_set.ChecksumPath();
    const auto removed = RemoveIfSame(path, *m_checksumFile);
    if (!removed.ok()) {
        if (removed.error().cause != FileErrorCause::FileNotFound) {
            removal.failed.push_back(removed.error());
        }
    } else if (removed.value() == Removal::Removed) {
        removal.checksumFileRemoved = path;
    } else {
        removal.leftAlone.push_back(path);
    }
}

}  // namespace kavendrum
