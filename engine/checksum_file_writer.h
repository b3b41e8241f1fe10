#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/io/file.h"
#include "engine/io/sha256.h"
#include "engine/operation_host.h"

namespace kavendrum {

// What a split knows at its end to write base.sha256: each piece's name and digest in order, and
// the whole file's digest under the name a merge gives it. A digest is missing where hashing
// failed.
struct ChecksumFileContent {
    std::string path;
    const std::vector<std::string>* pieceNames = nullptr;
    std::vector<std::optional<Sha256Digest>> pieceDigests;
    std::string wholeName;
    std::optional<Sha256Digest> wholeDigest;
};

// Writes the checksum file, never over `keepOut` (the data being split), and flushes it when
// `flush` is set. A missing digest or a file that cannot be created is "Create checksum file
// error!"; a failed write is reported as a file error. False after a reported failure.
bool WriteChecksumFile(const ChecksumFileContent& content, const FileIdentity* keepOut, bool flush,
                       OperationHost& host);

}  // namespace kavendrum
