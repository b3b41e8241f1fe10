#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/io/file_error.h"
#include "engine/option_set.h"

namespace kavendrum {

inline constexpr const char* kOptionFileName = "kavendrum.opt";
inline constexpr std::size_t kOptionFileSize = 24;

// Six little-endian 32-bit integers in field order.
std::array<std::uint8_t, kOptionFileSize> EncodeOptions(const OptionSet& options);
OptionSet DecodeOptions(const std::array<std::uint8_t, kOptionFileSize>& bytes);

enum class LoadStatus {
    Loaded,   // read, or created with the defaults
    Failed,   // the start-up fails with "Init failed!"
    Aborted,  // another file-system error; see error
};

struct LoadResult {
    LoadStatus status = LoadStatus::Failed;
    FileError error;
};

// Reads the options from the file; a file that does not open is created with the defaults.
LoadResult LoadOptions(const std::string& path, OptionSet& options);

enum class StoreStatus { Stored, OpenFailed, WriteFailed };

struct StoreResult {
    StoreStatus status = StoreStatus::OpenFailed;
    FileError error;  // the cause, for WriteFailed
};

// Rewrites the file whole with `values`; only once that succeeded are they put in force.
StoreResult StoreOptions(const std::string& path, const OptionSet& values, OptionSet& inForce);

// An installed program's folder: one under a system prefix (/usr/, /opt/, ...), or one that is
// not the user's own or not writable.
bool IsInstalledProgramFolder(const std::string& programFolder);
// The option file beside the program, for a program run from its build folder or another
// folder of the user's own. An installed program never writes beside itself: its file lives in
// the user's configuration folder, kavendrum/ (created when missing), whatever lies beside it.
std::string ResolveOptionFilePath(const std::string& programFolder,
                                  const std::optional<std::string>& configHome,
                                  const std::optional<std::string>& home);
// The same, for this program and the user's environment.
std::string DefaultOptionFilePath();

}  // namespace kavendrum
