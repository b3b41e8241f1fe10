#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "engine/io/file.h"
#include "engine/io/file_error.h"

namespace kavendrum {

// What a path leads to, links followed.
enum class FileKind {
    Missing,  // nothing stands there
    Regular,  // a file
    Folder,
    BlockDevice,  // a disk or an image attached as one: it has a size and is read like a file
    Stream,       // a pipe, FIFO, socket or character device: no size to split by
    Unknown,      // it could not be told
};
FileKind KindOf(const std::string& path);
// As KindOf for what stands at the name itself: a symbolic link counts as a file, whatever it
// leads to, since replacing it touches only the link.
FileKind KindOfEntry(const std::string& path);

// True when anything, file or folder, stands at the path.
bool FileExists(const std::string& path);
std::optional<FileIdentity> IdentityOf(const std::string& path);
// The identity of what stands at the name itself: a link is not followed, so a symbolic link has
// its own. Nothing when nothing stands there.
std::optional<FileIdentity> IdentityOfEntry(const std::string& path);
// The generation (see File::Generation) of what stands at the name itself, no link followed;
// empty when there is none or nothing stands there.
std::string GenerationOfEntry(const std::string& path);

// The generation of the file a path leads to (links followed); empty where none can be told.
std::string GenerationOf(const std::string& path);

// Which file a path names and how long it is: what a later removal has to find again. The
// generation tells apart two files that had the same inode number one after the other (ext4
// gives a freed number to the next new file at once); it is compared only when both stamps
// know it, since a stamp kept on disk (a journal's) or taken on Windows has none.
struct FileStamp {
    FileIdentity identity;
    std::uint64_t size = 0;
    std::string generation;
    bool operator==(const FileStamp& other) const {
        return identity == other.identity && size == other.size &&
               (generation.empty() || other.generation.empty() || generation == other.generation);
    }
};
std::optional<FileStamp> StampOf(const std::string& path);

// What stands at a name when it is not a plain file with one name: a symbolic link and where it
// leads, or a file with more names than this one.
struct LinkState {
    std::optional<std::string> target;  // set for a symbolic link, live or dangling
    std::uint64_t names = 1;            // hard links of the file the name itself is
};
std::optional<LinkState> LinkStateOf(const std::string& path);

FileStatus RemoveFile(const std::string& path);

// Whether RemoveIfSame removed the file.
enum class Removal { Removed, Changed };
// Removes the file at `path` only when the name still refers to the very file that was read or
// written, `identity` with `size` bytes, checked on the file that is then removed and not on an
// earlier look at the name. Another file there, or the same one grown or cut, is left as it is
// and Changed is returned. A link at the name is removed as a name, never its target.
FileResult<Removal> RemoveIfSame(const std::string& path, const FileStamp& stamp);
inline FileResult<Removal> RemoveIfSame(const std::string& path, const FileIdentity& identity,
                                        std::uint64_t size) {
    return RemoveIfSame(path, FileStamp{identity, size, {}});
}
// The error of a create or rename refused because something already stands at `path`.
FileError NameTakenError(const std::string& path);
// Puts the file `from` in the place of `to`, in one step: whoever opens `to` finds either the old
// file or the new one whole. Both must be in one folder.
FileStatus RenameOver(const std::string& from, const std::string& to);
// As RenameOver, but only where nothing stands at `to` yet: false, with `from` kept, when
// something does.
FileResult<bool> RenameIfAbsent(const std::string& from, const std::string& to);
// Puts the entries of the folder that holds `path` (a new name, a rename) on stable storage, and
// only those, not the whole file system as FlushFolder does.
FileStatus FlushFolderEntries(const std::string& path);
// True when a search in the folder finds at least one entry: it exists and is a folder.
bool FolderHasEntries(const std::string& folder);
// Calls `visit` with the name of each entry of the folder ("" is the current folder), in no
// particular order. One pass over the folder, however many names a caller is looking for.
FileStatus ListFolder(const std::string& folder,
                      const std::function<void(const std::string& name)>& visit);
// Creates one folder level; its parent must exist.
FileStatus CreateOneFolder(const std::string& path);
// Puts everything written to the folder's file system, the folder's own entries included, on
// stable storage.
FileStatus FlushFolder(const std::string& folder);
// Whether FlushFolder covers the files written into the folder; where it does not, each file
// that must survive has to be flushed on its own before it is closed.
bool FlushFolderCoversItsFiles();
// True when a new file could be created in the folder.
bool FolderIsWritable(const std::string& folder);
// True when the folder belongs to the user running the program (on Windows, where the file
// system says nothing of the kind for a program's folder: when it is writable).
bool FolderIsUsersOwn(const std::string& folder);
// Bytes that the user may still write on the file system that holds `folder` ("" is the current
// folder), so that a run can refuse before it starts instead of failing half-way.
FileResult<std::uint64_t> FreeSpaceOf(const std::string& folder);
// Full path of the running program's executable file.
FileResult<std::string> ProgramPath();

}  // namespace kavendrum
