#include "options/option_file.h"

#include <cstdlib>

#include "engine/folders.h"
#include "engine/io/file.h"
#include "engine/io/file_system.h"
#include "engine/paths.h"

namespace kavendrum {

namespace {

constexpr std::size_t kFieldCount = kOptionFileSize / 4;

std::array<std::int32_t*, kFieldCount> Fields(OptionSet& options) {
    return {&options.splitFolderMode,  &options.deleteAfterSplit,  &options.mergeFolderMode,
            &options.deleteAfterMerge, &options.verifyBeforeMerge, &options.overwriteMode};
}

FileStatus WriteOptions(File& file, const OptionSet& options) {
    const auto bytes = EncodeOptions(options);
    if (auto failure = file.Write(bytes.data(), bytes.size())) {
        return failure;
    }
    return file.Close();
}

std::optional<std::string> Environment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    return std::string(value);
}

}  // namespace

std::array<std::uint8_t, kOptionFileSize> EncodeOptions(const OptionSet& options) {
    OptionSet copy = options;
    std::array<std::uint8_t, kOptionFileSize> bytes{};
    std::size_t at = 0;
    for (const std::int32_t* field : Fields(copy)) {
        const auto value = static_cast<std::uint32_t>(*field);
        for (int shift = 0; shift < 32; shift += 8) {
            bytes[at++] = static_cast<std::uint8_t>(value >> shift);
        }
    }
    return bytes;
}

OptionSet DecodeOptions(const std::array<std::uint8_t, kOptionFileSize>& bytes) {
    OptionSet options;
    std::size_t at = 0;
    for (std::int32_t* field : Fields(options)) {
        std::uint32_t value = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            value |= static_cast<std::uint32_t>(bytes[at++]) << shift;
        }
        *field = static_cast<std::int32_t>(value);
    }
    return options;
}

LoadResult LoadOptions(const std::string& path, OptionSet& options) {
    auto existing = File::OpenForReading(path);
    if (existing.ok()) {
        std::array<std::uint8_t, kOptionFileSize> bytes{};
        auto got = existing.value().Read(bytes.data(), bytes.size());
        if (!got.ok()) {
            return {LoadStatus::Aborted, got.error()};
        }
        if (got.value() < bytes.size()) {
            return {LoadStatus::Failed, {}};
        }
        options = DecodeOptions(bytes);
        return {LoadStatus::Loaded, {}};
    }
    auto created = File::OpenForWriting(path);
    if (!created.ok()) {
        return {LoadStatus::Failed, {}};
    }
    options = OptionSet{};
    if (auto failure = WriteOptions(created.value(), options)) {
        return {LoadStatus::Aborted, *failure};
    }
    return {LoadStatus::Loaded, {}};
}

StoreResult StoreOptions(const std::string& path, const OptionSet& values, OptionSet& inForce) {
    auto file = File::OpenForWriting(path);
    if (!file.ok()) {
        return {StoreStatus::OpenFailed, {}};
    }
    if (auto failure = WriteOptions(file.value(), values)) {
        return {StoreStatus::WriteFailed, *failure};
    }
    inForce = values;
    return {StoreStatus::Stored, {}};
}

std::string ResolveOptionFilePath(const std::string& programFolder,
                                  const std::optional<std::string>& configHome,
                                  const std::optional<std::string>& home) {
    const std::string besideProgram = programFolder + kOptionFileName;
    const bool usable = configHome || home;
    if (FileExists(besideProgram) || FolderIsWritable(programFolder) || !usable) {
        return besideProgram;
    }
    std::string config = configHome ? *configHome : WithTrailingSeparator(*home) + ".config";
    config = StripTrailingSeparator(config);
    const std::string folder = config + kPathSeparator + "kavendrum";
    if (!FolderExists(config)) {
        CreateOneFolder(config);
    }
    if (!FolderExists(folder)) {
        CreateOneFolder(folder);
    }
    return folder + kPathSeparator + kOptionFileName;
}

std::string DefaultOptionFilePath() {
    auto configHome = Environment("XDG_CONFIG_HOME");
    // A relative configuration folder is invalid and to be ignored.
    if (configHome && configHome->front() != kPathSeparator) {
        configHome.reset();
    }
    return ResolveOptionFilePath(GetProgramFolder(), configHome, Environment("HOME"));
}

}  // namespace kavendrum
