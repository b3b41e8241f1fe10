#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/io/file.h"
#include "engine/operation_host.h"

namespace kavendrum {

// The rejoin batch file's six lines for the command interpreter, each ended by CR LF; nothing when
// a name holds a character (a double quote, a control character) that no quoting makes safe.
std::optional<std::string> BuildRejoinBatch(const std::vector<std::string>& pieceNames,
                                            const std::string& base, const std::string& extension);

// Writes folder/base.bat. `keepOut` names a file that must not be written over (the split's
// source). True when the file was written; failures have been reported through the host.
bool WriteRejoinBatch(const std::string& folder, const std::string& base,
                      const std::string& extension, const std::vector<std::string>& pieceNames,
                      OperationHost& host, std::optional<FileIdentity> keepOut = std::nullopt);

}  // namespace kavendrum
