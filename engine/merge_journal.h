#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/head_file.h"
#include "engine/io/file.h"
#include "engine/io/file_error.h"
#include "engine/io/sha256.h"

namespace kavendrum {

// The record a merge that removes its pieces keeps beside the head file, so that a merge stopped
// half-way (a power cut, a kill) can be taken up again: which output holds the bytes of the
// pieces already removed, and how many bytes they make. It is rewritten, whole and in one step,
// after the output is flushed and before the pieces it adds are removed, and it is removed when
// the merge ends. The output is named by device and inode, not by path, so that no other file of
// the same name is ever taken for it.
struct MergeJournal {
    HeadFileInfo head;  // the record of the head file being merged (extension not kept)
    FileIdentity output;
    std::uint32_t piecesMerged = 0;  // pieces 1 to this one are in the output and may be gone
    std::uint64_t outputLength = 0;  // the bytes those pieces make
    // The digest of the output's first `startLength` bytes: an inode number can be given again
    // to another file once the output is gone. The first journal of a merge takes
    // kFingerprintBytes, or all of `outputLength` when fewer, and later ones keep what it took,
    // since bytes in the output never change once counted.
    Sha256Digest start{};
    std::uint64_t startLength = 0;

    bool operator==(const MergeJournal&) const = default;
};

inline constexpr std::uint64_t kFingerprintBytes = 65536;

// stem.kdj beside the head file stem.kdh.
std::string JournalPath(const std::string& stem);

std::string EncodeJournal(const MergeJournal& journal);
// Nothing for a text that is not a journal this program wrote, or whose numbers do not agree.
std::optional<MergeJournal> DecodeJournal(const std::string& text);

// The digest of the next `length` bytes `file` reads, at most kFingerprintBytes of them; nothing
// when they cannot be read.
std::optional<Sha256Digest> FingerprintOf(File& file, std::uint64_t length);

// The journal at `path` when there is a sound one for this head file's record.
std::optional<MergeJournal> ReadJournal(const std::string& path, const HeadFileInfo& head);
// Writes the journal beside `path` and puts it in place in one step, on stable storage.
FileStatus WriteJournal(const std::string& path, const MergeJournal& journal);
// Removes the journal, and what a run stopped while writing it left.
void RemoveJournal(const std::string& path);

}  // namespace kavendrum
