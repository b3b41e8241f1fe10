#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cli/run_settings.h"
#include "engine/recovery_operation.h"

namespace kavendrum {

// What the split command was given, before it is turned into a request.
struct SplitArguments {
    std::string source;
    std::string destination;
    std::optional<std::string> size;
    std::optional<std::uint32_t> pieces;
    std::optional<std::string> name;
    bool checksums = true;  // --no-checksums leaves the checksum file out
    std::optional<std::string> recovery;
    std::optional<std::string> memory;

    bool FromStandardInput() const { return source == "-"; }
};

// What the command line worked out for a split before it runs.
struct SplitChoice {
    std::uint32_t pieceSize = 0;
    RecoveryChoice recovery;
};

// The size of a source as a split finds it, a disk's too; nothing when it cannot be read, for the
// split itself to say why.
std::optional<std::uint64_t> SourceSize(const std::string& path);

// kavendrum-cli split SOURCE DESTINATION: cuts a file, or standard input, into pieces; after a
// split that wrote its head file, prints the shell command that rejoins them.
int SplitCommand(const Settings& settings, const SplitArguments& arguments,
                 const SplitChoice& plan);

}  // namespace kavendrum
