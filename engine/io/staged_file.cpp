#include "engine/io/staged_file.h"

#include <cstdio>
#include <random>

#include "engine/io/file_system.h"

namespace kavendrum {

namespace {

// A name that would grow past what file systems take gets a short one in the same folder.
constexpr std::size_t kLongestLeafToExtend = 200;
constexpr int kAttempts = 8;
// Whether a file made under a temporary name is marked to go with its last handle.
#ifdef _WIN32
constexpr bool kMarkedWhileNamed = true;
#else
constexpr bool kMarkedWhileNamed = false;
#endif

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

FileResult<StagedFile> StagedFile::Begin(File file, const std::string& finalPath,
                                         std::string temporaryPath) {
    const auto identity = file.Identity();
    file.ShowAs(finalPath);
    // Only a file that goes with its last handle needs one more: elsewhere a writer that waits
    // long before its files are put in place (a split of a stream) would hold a handle per file.
    const bool anchored = temporaryPath.empty() || kMarkedWhileNamed;
    auto anchor = !identity.ok() ? FileResult<File>(identity.error())
                  : anchored     ? file.Duplicate()
                                 : FileResult<File>(File());
    if (!anchor.ok()) {
        file.Close();
        if (!temporaryPath.empty()) {
            RemoveFile(temporaryPath);
        }
        return anchor.error();
    }
    return StagedFile(std::move(file), std::move(anchor.value()), finalPath,
                      std::move(temporaryPath), identity.value());
}

FileResult<StagedFile> StagedFile::Create(const std::string& finalPath, Start start) {
    if (start == Start::Named) {
        return CreateNamed(finalPath);
    }
    auto unnamed = File::CreateUnnamed(finalPath);
    if (unnamed.ok() && !unnamed.value()) {
        return CreateNamed(finalPath);
    }
    auto begun = unnamed.ok() ? Begin(std::move(*unnamed.value()), finalPath, {})
                              : FileResult<StagedFile>(unnamed.error());
    if (!begun.ok()) {
        FileError failure = begun.error();
        failure.path = finalPath;
        return failure;
    }
    return begun;
}

FileResult<StagedFile> StagedFile::CreateNamed(const std::string& finalPath) {
    std::random_device random;
    FileError failure;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::string temporary = TemporaryNameFor(finalPath, random);
        auto created = File::CreateTransient(temporary);
        if (created.ok()) {
            auto begun = Begin(std::move(created.value()), finalPath, std::move(temporary));
            if (begun.ok()) {
                return begun;
            }
            failure = begun.error();
            break;
        }
        failure = created.error();
        // Only a name that is taken is worth another try.
        if (!FileExists(temporary)) {
            break;
        }
    }
    // The user is told about the file that was asked for, not the name behind the scenes.
    failure.path = finalPath;
    return failure;
}

StagedFile::StagedFile(StagedFile&& other) noexcept
    : m_file(std::move(other.m_file)),
      m_anchor(std::move(other.m_anchor)),
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
        m_anchor = std::move(other.m_anchor);
        m_finalPath = std::move(other.m_finalPath);
        m_temporaryPath = std::move(other.m_temporaryPath);
        m_identity = other.m_identity;
        m_generation = std::move(other.m_generation);
        m_state = other.m_state;
        other.m_state = State::Kept;
    }
    return *this;
}

FileStatus StagedFile::PutInPlace(const ReplaceOver& over, const FileIdentity* keepOut,
                                  bool* taken) {
    if (taken != nullptr) {
        *taken = false;
    }
    if (m_state != State::Unnamed && m_state != State::Temporary) {
        return std::nullopt;
    }
    if (auto failure = m_file.Close()) {
        return failure;
    }
    if (keepOut != nullptr && IdentityOfEntry(m_finalPath) == *keepOut) {
        return FileError{FileErrorCause::SharingViolation, m_finalPath};
    }
    if (m_state == State::Unnamed && over.kind == ReplaceOver::Kind::Nothing) {
        return LinkInPlace(taken);
    }
    FileStatus named = m_state == State::Unnamed ? LinkUnderTemporaryName() : ReleaseAnchor();
    if (named) {
        return named;
    }
    return RenameInPlace(over, taken);
}

FileStatus StagedFile::Park() {
    if (m_state == State::Unnamed) {
        return LinkUnderTemporaryName();
    }
    return m_state == State::Temporary ? ReleaseAnchor() : std::nullopt;
}

// The final name is given in one step that fails where anything stands there.
FileStatus StagedFile::LinkInPlace(bool* taken) {
    auto linked = m_anchor.LinkAs(m_finalPath);
    if (!linked.ok()) {
        return linked.error();
    }
    if (!linked.value()) {
        if (taken != nullptr) {
            *taken = true;
        }
        return NameTakenError(m_finalPath);
    }
    m_state = State::Placed;
    return m_anchor.Close();
}

// A rename is what replaces a name in one step, and it needs a name to rename from.
FileStatus StagedFile::LinkUnderTemporaryName() {
    std::random_device random;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::string temporary = TemporaryNameFor(m_finalPath, random);
        auto linked = m_anchor.LinkAs(temporary);
        if (!linked.ok()) {
            FileError failure = linked.error();
            failure.path = m_finalPath;
            return failure;
        }
        if (linked.value()) {
            m_temporaryPath = std::move(temporary);
            m_state = State::Temporary;
            return m_anchor.Close();
        }
    }
    return NameTakenError(m_finalPath);
}

// The mark that makes a temporary file go with its last handle is taken back before the rename,
// which needs the file closed on Windows.
FileStatus StagedFile::ReleaseAnchor() {
    if (!m_anchor.IsOpen()) {
        return std::nullopt;
    }
    if (auto failure = m_anchor.KeepWhenClosed()) {
        failure->path = m_finalPath;
        return failure;
    }
    return m_anchor.Close();
}

FileStatus StagedFile::RenameInPlace(const ReplaceOver& over, bool* taken) {
    bool nameTaken = false;
    FileStatus failure;
    switch (over.kind) {
        case ReplaceOver::Kind::Anything:
            failure = RenameOver(m_temporaryPath, m_finalPath);
            break;
        case ReplaceOver::Kind::Stamped:
            // Only the file this program knows is replaced, never what has taken its name.
            nameTaken = StampOf(m_finalPath) != over.stamp;
            failure =
                nameTaken ? NameTakenError(m_finalPath) : RenameOver(m_temporaryPath, m_finalPath);
            break;
        case ReplaceOver::Kind::Nothing: {
            auto renamed = RenameIfAbsent(m_temporaryPath, m_finalPath);
            nameTaken = renamed.ok() && !renamed.value();
            failure = !renamed.ok() ? FileStatus(renamed.error())
                      : nameTaken   ? FileStatus(NameTakenError(m_finalPath))
                                    : std::nullopt;
            break;
        }
    }
    if (taken != nullptr) {
        *taken = nameTaken;
    }
    if (!failure) {
        m_state = State::Placed;
    }
    return failure;
}

void StagedFile::Discard() {
    if (m_state == State::Kept) {
        return;
    }
    m_file.Close();
    // An unnamed file goes with this, and a temporary file marked to go with its last handle.
    m_anchor.Close();
    if (m_state != State::Unnamed) {
        const std::string& path = m_state == State::Placed ? m_finalPath : m_temporaryPath;
        if (IsOwnAt(path)) {
            RemoveFile(path);
        }
    }
    m_state = State::Kept;
}

bool StagedFile::IsOwnAt(const std::string& path) const {
    return IdentityOfEntry(path) == m_identity && GenerationOfEntry(path) == m_generation;
}

ReplaceResult ReplaceWhole(const std::string& path, std::string_view bytes,
                           const ReplaceOver& over) {
    auto staged = StagedFile::Create(path);
    if (!staged.ok()) {
        return {ReplaceStatus::NotCreated, staged.error(), {}};
    }
    StagedFile& file = staged.value();
    // Until it is in place, the new file goes again with `staged` whatever fails.
    if (auto failure = file.file().WriteLastAndClose(bytes.data(), bytes.size(), true)) {
        failure->path = path;
        return {ReplaceStatus::NotWritten, *failure, {}};
    }
    bool taken = false;
    if (auto failure = file.PutInPlace(over, nullptr, &taken)) {
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
