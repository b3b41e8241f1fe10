#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/io/file.h"
#include "engine/io/file_error.h"

namespace kavendrum {

// Bytes per read and write while copying pieces larger than this.
inline constexpr std::uint32_t kMaxCopyUnit = 1457664;

// The record of a head file. fileSize holds the low 32 bits of the split file's size, which is
// the size itself for every file under 4 GiB.
struct HeadFileInfo {
    std::uint32_t fileSize = 0;
    std::uint32_t pieceCount = 0;
    std::uint32_t pieceSize = 0;
    std::uint32_t copyUnit = 0;
    std::string extension;

    bool operator==(const HeadFileInfo&) const = default;
};

std::uint32_t CopyUnitFor(std::uint32_t pieceSize);
// The record a split of a file of `wholeSize` bytes into `pieceCount` pieces writes.
HeadFileInfo MakeHeadFileInfo(std::uint64_t wholeSize, std::uint32_t pieceCount,
                              std::uint32_t pieceSize, const std::string& extension);
// Size of the last piece. Correct for files of any size, since it is below pieceSize.
std::uint32_t LastPieceSize(const HeadFileInfo& info);
// Size of the split file, also when it was 4 GiB or more.
std::uint64_t WholeFileSize(const HeadFileInfo& info);
// True for an extension that can end a file name here: no folder separator of this platform and
// no control character, NUL included.
bool IsSoundExtension(const std::string& extension);
// True for a record that a split could have written; nothing else may drive a merge.
bool IsSoundHeadInfo(const HeadFileInfo& info);

// The file's bytes: four little-endian numbers and the length-prefixed extension.
std::vector<std::uint8_t> EncodeHeadFile(const HeadFileInfo& info);

enum class HeadReadStatus {
    Read,
    EndsEarly,  // the file ends before the record is complete
    Unsound,    // complete, but no split writes such a record
    Failed,     // the file could not be read; see error
};

struct HeadRead {
    HeadReadStatus status = HeadReadStatus::Failed;
    HeadFileInfo info;
    FileError error;
};

// Reads the record from the start of the file; nothing after the extension is read. A record is
// sound only when the head file's own name (from the path it was opened by) and its extension
// give a rebuilt name that is a file of its own.
HeadRead ReadHeadFile(File& file);

// The record of the sound head file at `path`, or none when it cannot be opened or read: for
// what a front end shows before an operation, which reports any failure itself.
std::optional<HeadFileInfo> PeekHeadFile(const std::string& path);

}  // namespace kavendrum
