#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/io/file.h"
#include "engine/io/file_system.h"

namespace kavendrum {

// What may stand at the name that a file is put in place under: anything, nothing at all, or
// only the very file that `stamp` names (one this program wrote, say).
struct ReplaceOver {
    enum class Kind { Anything, Nothing, Stamped };
    Kind kind = Kind::Anything;
    FileStamp stamp;

    static ReplaceOver Anything() { return {}; }
    static ReplaceOver Nothing() { return {Kind::Nothing, {}}; }
    static ReplaceOver Only(const FileStamp& stamp) { return {Kind::Stamped, stamp}; }
};

// How many files a writer keeps waiting without a name (each holding a handle) before it parks
// the rest under temporary names: far below the 1024 handles a process is mostly allowed.
inline constexpr std::size_t kFilesWaitingUnnamed = 64;

// A file written where its final name is, but under no name while it is written (where the
// system makes such files) or under a name of its own, and put in place in one step once it is
// whole. Nobody finds a partial file under the final name, and whatever stood there (a file, a
// symbolic link, live or dangling, another name of some file) is replaced as a name, never
// written through: the file is always made new, and no link is followed.
//
// A file without a name goes with the process however it ends, killed included; so does a named
// one on Windows, marked to go with its last handle until it is put in place. Until Keep is
// called, the object removes what it made when it goes: the temporary file, or the file put in
// place, but only while the name still leads to the very file it made. So a run that stops
// half-way leaves nothing of its own behind and never removes somebody else's file.
class StagedFile {
  public:
    // How the file is begun: without a name where the system allows it, else under a temporary
    // name; or under a temporary name in any case.
    enum class Start { Unnamed, Named };
    // Makes the file in the folder of `finalPath`, new and held exclusively, open for writing.
    static FileResult<StagedFile> Create(const std::string& finalPath,
                                         Start start = Start::Unnamed);

    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&& other) noexcept;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    ~StagedFile() { Discard(); }

    File& file() { return m_file; }
    const std::string& FinalPath() const { return m_finalPath; }
    // Empty while the file has no name.
    const std::string& TemporaryPath() const { return m_temporaryPath; }
    const FileIdentity& Identity() const { return m_identity; }
    const std::string& Generation() const { return m_generation; }

    // Closes the file if it is still open and renames it over the final name. When the final name
    // is `keepOut` itself (another name of the data being read), nothing is renamed and a sharing
    // violation is returned, since replacing that name could drop the data's last name.
    FileStatus PutInPlace(const FileIdentity* keepOut = nullptr) {
        return PutInPlace(ReplaceOver::Anything(), keepOut);
    }
    // As above, putting the file in place only where `over` allows; when something stands at the
    // name that it does not, that is left as it is, the name-taken error is returned and `taken`
    // is set. With ReplaceOver::Nothing a file without a name gets the final name in one step,
    // so nothing that takes the name meanwhile is ever replaced.
    FileStatus PutInPlace(const ReplaceOver& over, const FileIdentity* keepOut = nullptr,
                          bool* taken = nullptr);
    // Gives a file without a name its temporary name now, so that it holds no handle while it
    // waits to be put in place: a writer that keeps many files waiting does so for all but a
    // few, as handles are counted. A kill then leaves it under that name.
    FileStatus Park();
    // The file stays where it is whatever happens next; a file never put in place and without a
    // name still goes, having no name to stay under.
    void Keep() { m_state = State::Kept; }
    // Removes what was made, temporary or in place, if its name still leads to it.
    void Discard();

  private:
    enum class State { Unnamed, Temporary, Placed, Kept };
    StagedFile(File file, File anchor, std::string finalPath, std::string temporaryPath,
               FileIdentity identity)
        : m_file(std::move(file)),
          m_anchor(std::move(anchor)),
          m_finalPath(std::move(finalPath)),
          m_temporaryPath(std::move(temporaryPath)),
          m_identity(identity),
          m_generation(m_file.Generation()),
          m_state(m_temporaryPath.empty() ? State::Unnamed : State::Temporary) {}
    static FileResult<StagedFile> CreateNamed(const std::string& finalPath);
    static FileResult<StagedFile> Begin(File file, const std::string& finalPath,
                                        std::string temporaryPath);

    FileStatus LinkInPlace(bool* taken);
    FileStatus LinkUnderTemporaryName();
    FileStatus ReleaseAnchor();
    FileStatus RenameInPlace(const ReplaceOver& over, bool* taken);
    bool IsOwnAt(const std::string& path) const;

    File m_file;
    // A second handle that keeps the file (unnamed, or marked to go with its last handle) while
    // the writer closes its own, until the file is put in place.
    File m_anchor;
    std::string m_finalPath;
    std::string m_temporaryPath;
    FileIdentity m_identity;
    // With the identity, what the removal checks: a file made under the name after this one was
    // removed may have been given the same identity.
    std::string m_generation;
    State m_state;
};

enum class ReplaceStatus {
    Replaced,
    NotCreated,  // no new file could be made beside the name
    NotWritten,  // writing or flushing it failed; it is gone again
    NameTaken,   // something stands at the name that `over` does not allow; left as it is
    NotRenamed,  // the rename failed; the old file is left
    NotFlushed,  // the new file is in place, but the folder's entries may not be on the disk yet
};

struct ReplaceResult {
    ReplaceStatus status = ReplaceStatus::NotCreated;
    FileError error;    // what failed, naming `path`
    FileStamp written;  // the file now at the name, once renamed
    bool ok() const { return status == ReplaceStatus::Replaced; }
};

// Makes `bytes` the whole content of the file at `path`, so that whoever opens it finds the old
// file or the new one whole, even after a power cut: a new file beside it (created exclusively,
// no link followed) is written, put on stable storage, renamed over the name in one step, and
// the folder's entries are flushed (on Windows the rename itself writes through). A link at the
// name is replaced as a name, never written through.
ReplaceResult ReplaceWhole(const std::string& path, std::string_view bytes,
                           const ReplaceOver& over = ReplaceOver::Anything());

}  // namespace kavendrum
