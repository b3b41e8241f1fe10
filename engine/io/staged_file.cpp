#include "engine/io/staged_file.h"

#include <cstdio>
#include <random>

#include "engine/io/file_system.h"

namespace kavendrum {

namespace {

// A name that would grow past what file systems take gets a short one in the same folder.
constexpr std::size_t kLongestLeafToExtend = 200;
constexpr int kAttempts = 8;

bool IsSeparator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/' || c == ':';
#else
    return c == '/';
#endif
}

// A name nobody can have planted ahead: it is not known before the run picks it.
std::string TemporaryNameFor(const std::string& finalPath, std::random_device& random) {
    char token[16];
    std::snprintf(token, sizeof token, "%08x", static_cast<unsigned>(random()));
    auto leaf = finalPath.size();
    while (leaf > 0 && !IsSeparator(finalPath[leaf - 1])) {
        --leaf;
    }
    if (finalPath.size() - leaf > kLongestLeafToExtend) {
        return finalPath.substr(0, leaf) + "kavendrum-" + token + ".tmp";
    }
    return finalPath + "." + token + ".tmp";
}

}  // namespace

FileResult<StagedFile> StagedFile::Create(const std::string& finalPath) {
    std::random_device random;
    FileError failure;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::string temporary = TemporaryNameFor(finalPath, random);
        auto created = File::CreateNew(temporary);
        if (!created.ok()) {
            failure = created.error();
            // Only a name that is taken is worth another try.
            if (FileExists(temporary)) {
                continue;
            }
            break;
        }
        const auto identity = created.value().Identity();
        if (!identity.ok()) {
            failure = identity.error();
            created.value().Close();
            RemoveFile(temporary);
            break;
        }
        created.value().ShowAs(finalPath);
        return StagedFile(std::move(created.value()), finalPath, std::move(temporary),
                          identity.value());
    }
    // The user is told about the file that was asked for, not the name behind the scenes.
    failure.path = finalPath;
    return failure;
}

StagedFile::StagedFile(StagedFile&& other) noexcept
    : m_file(std::move(other.m_file)),
      m_finalPath(std::move(other.m_finalPath)),
      m_temporaryPath(std::move(other.m_temporaryPath)),
      m_identity(other.m_identity),
      m_generation(std::move(other.m_generation)),
      m_state(other.m_state) {
    other.m_state = State::Kept;
}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept {
    if (this != &other) {
        Discard();
        m_file = std::move(other.m_file);
        m_finalPath = std::move(other.m_finalPath);
        m_temporaryPath = std::move(other.m_temporaryPath);
        m_identity = other.m_identity;
        m_generation = std::move(other.m_generation);
        m_state = other.m_state;
        other.m_state = State::Kept;
    }
    return *this;
}

FileStatus StagedFile::PutInPlace(const FileIdentity* keepOut) {
    if (m_state != State::Temporary) {
        return std::nullopt;
    }
    if (auto failure = m_file.Close()) {
        return failure;
    }
    if (keepOut != nullptr && IdentityOfEntry(m_finalPath) == *keepOut) {
        return FileError{FileErrorCause::SharingViolation, m_finalPath};
    }
    if (auto failure = RenameOver(m_temporaryPath, m_finalPath)) {
        return failure;
    }
    m_state = State::Placed;
    return std::nullopt;
}

void StagedFile::Discard() {
    if (m_state == State::Kept) {
        return;
    }
    m_file.Close();
    const std::string& path = m_state == State::Placed ? m_finalPath : m_temporaryPath;
    if (IsOwnAt(path)) {
        RemoveFile(path);
    }
    m_state = State::Kept;
}

bool StagedFile::IsOwnAt(const std::string& path) const {
    return IdentityOfEntry(path) == m_identity && GenerationOfEntry(path) == m_generation;
}

namespace {

// Renames the written file to `path` as `over` allows.
FileStatus RenameAsAllowed(const std::string& from, const std::string& path,
                           const ReplaceOver& over, bool& taken) {
    taken = false;
    switch (over.kind) {
        case ReplaceOver::Kind::Anything:
            return RenameOver(from, path);
        case ReplaceOver::Kind::Stamped:
            // Only the file this program knows is replaced, never what has taken its name.
            if (StampOf(path) != over.stamp) {
                taken = true;
                return NameTakenError(path);
            }
            return RenameOver(from, path);
        case ReplaceOver::Kind::Nothing:
            break;
    }
    auto renamed = RenameIfAbsent(from, path);
    if (!renamed.ok()) {
        return renamed.error();
    }
    taken = !renamed.value();
    return taken ? FileStatus(NameTakenError(path)) : std::nullopt;
}

}  // namespace

ReplaceResult ReplaceWhole(const std::string& path, std::string_view bytes,
                           const ReplaceOver& over) {
    auto staged = StagedFile::Create(path);
    if (!staged.ok()) {
        return {ReplaceStatus::NotCreated, staged.error(), {}};
    }
    StagedFile& file = staged.value();
    // Until it is renamed, the new file goes again with `staged` whatever fails.
    if (auto failure = file.file().WriteLastAndClose(bytes.data(), bytes.size(), true)) {
        failure->path = path;
        return {ReplaceStatus::NotWritten, *failure, {}};
    }
    bool taken = false;
    if (auto failure = RenameAsAllowed(file.TemporaryPath(), path, over, taken)) {
        return {taken ? ReplaceStatus::NameTaken : ReplaceStatus::NotRenamed, *failure, {}};
    }
    file.Keep();
    const FileStamp written{file.Identity(), bytes.size(), file.Generation()};
    if (auto failure = FlushFolderEntries(path)) {
        return {ReplaceStatus::NotFlushed, *failure, written};
    }
    return {ReplaceStatus::Replaced, {}, written};
}

}  // namespace kavendrum
