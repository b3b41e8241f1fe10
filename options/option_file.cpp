#include "options/option_file.h"

#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "engine/folders.h"
#include "engine/io/file.h"
#include "engine/io/file_system.h"
#include "engine/io/staged_file.h"
#include "engine/paths.h"
#include "options/option_fields.h"

namespace kavendrum {

namespace {

static_assert(kOptionFileSize == 4 * kOptionFieldCount, "four bytes a field");

FileStatus WriteOptions(File& file, const OptionSet& options) {
    const auto bytes = EncodeOptions(options);
    if (auto failure = file.Write(bytes.data(), bytes.size())) {
        return failure;
    }
    return file.Close();
}

enum class Creation { Created, Exists, Failed, Aborted };

std::string_view BytesOf(const std::array<std::uint8_t, kOptionFileSize>& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// Makes the option file with the defaults unless somebody else made it first: whoever finds a
// file there finds it whole.
Creation CreateWithDefaults(const std::string& path, FileError& error) {
    const auto bytes = EncodeOptions(OptionSet{});
    const ReplaceResult made = ReplaceWhole(path, BytesOf(bytes), ReplaceOver::Nothing());
    switch (made.status) {
        case ReplaceStatus::Replaced:
        case ReplaceStatus::NotFlushed:  // there and whole; only its name may not survive a crash
            return Creation::Created;
        case ReplaceStatus::NameTaken:
            return Creation::Exists;
        case ReplaceStatus::NotWritten:
            error = made.error;
            return Creation::Aborted;
        case ReplaceStatus::NotCreated:
        case ReplaceStatus::NotRenamed:
            break;
    }
    return Creation::Failed;
}

// A linked option file is stored where the link leads, so that the link stays.
std::string StoreTarget(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_symlink(path, error)) {
        return path;
    }
    const auto target = std::filesystem::canonical(path, error);
    return error ? path : target.string();
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
    std::array<std::uint8_t, kOptionFileSize> bytes{};
    std::size_t at = 0;
    for (const auto& field : OptionFields()) {
        const auto value = static_cast<std::uint32_t>(options.*field.member);
        for (int shift = 0; shift < 32; shift += 8) {
            bytes[at++] = static_cast<std::uint8_t>(value >> shift);
        }
    }
    return bytes;
}

OptionSet DecodeOptions(const std::array<std::uint8_t, kOptionFileSize>& bytes) {
    OptionSet options;
    std::size_t at = 0;
    for (const auto& field : OptionFields()) {
        std::uint32_t value = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            value |= static_cast<std::uint32_t>(bytes[at++]) << shift;
        }
        options.*field.member = static_cast<std::int32_t>(value);
    }
    return options;
}

LoadResult LoadOptions(const std::string& path, OptionSet& options) {
    // A second round reads the file that another start created meanwhile.
    for (int round = 0; round < 2; ++round) {
        auto existing = File::OpenSharedForReading(path);
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
        // A file that is there but cannot be read now keeps the user's options: it is not
        // replaced by the defaults. The open's own answer decides, since another start may make
        // the file right after this one found none.
        if (existing.error().cause != FileErrorCause::FileNotFound) {
            return {LoadStatus::Failed, {}};
        }
        FileError error;
        switch (CreateWithDefaults(path, error)) {
            case Creation::Created:
                options = OptionSet{};
                return {LoadStatus::Loaded, {}};
            case Creation::Exists:
                continue;
            case Creation::Failed:
                return {LoadStatus::Failed, {}};
            case Creation::Aborted:
                return {LoadStatus::Aborted, error};
        }
    }
    return {LoadStatus::Failed, {}};
}

StoreResult StoreOptions(const std::string& path, const OptionSet& values, OptionSet& inForce) {
    const std::string target = StoreTarget(path);
    const FileKind kind = KindOf(target);
    if (kind != FileKind::Regular && kind != FileKind::Missing) {
        // A device or the like is written where it is; there is no file to replace by name.
        auto file = File::OpenForWriting(target);
        if (!file.ok()) {
            return {StoreStatus::OpenFailed, {}};
        }
        if (auto failure = WriteOptions(file.value(), values)) {
            return {StoreStatus::WriteFailed, *failure};
        }
    } else {
        // Readers find the old file or the new one whole, a failure leaves the old one, and the
        // new one is on the disk, name and all, before the values are put in force.
        const auto bytes = EncodeOptions(values);
        ReplaceResult stored = ReplaceWhole(target, BytesOf(bytes));
        if (stored.status == ReplaceStatus::NotCreated) {
            return {StoreStatus::OpenFailed, {}};
        }
        if (!stored.ok()) {
            stored.error.path = path;
            return {StoreStatus::WriteFailed, stored.error};
        }
    }
    inForce = values;
    return {StoreStatus::Stored, {}};
}

bool IsInstalledProgramFolder(const std::string& programFolder) {
    // What a package or an administrator put there is shared by every user and owned by the
    // package manager: a file written there by root outlives the package and shadows each
    // user's own.
    for (const char* prefix : {"/usr/", "/bin/", "/sbin/", "/opt/", "/snap/"}) {
        if (programFolder.rfind(prefix, 0) == 0) {
            return true;
        }
    }
    return !FolderIsUsersOwn(programFolder) || !FolderIsWritable(programFolder);
}

std::string ResolveOptionFilePath(const std::string& programFolder,
                                  const std::optional<std::string>& configHome,
                                  const std::optional<std::string>& home) {
    const std::string besideProgram = programFolder + kOptionFileName;
    const bool usable = configHome || home;
    if (!usable || !IsInstalledProgramFolder(programFolder)) {
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
