#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>

#include "engine/io/file_system.h"
#include "engine/io/posix_error.h"

namespace kavendrum {

FileKind KindOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return errno == ENOENT ? FileKind::Missing : FileKind::Unknown;
    }
    if (S_ISREG(info.st_mode)) {
        return FileKind::Regular;
    }
    if (S_ISDIR(info.st_mode)) {
        return FileKind::Folder;
    }
    return S_ISBLK(info.st_mode) ? FileKind::BlockDevice : FileKind::Stream;
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

std::optional<FileIdentity> IdentityOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                        static_cast<std::uint64_t>(info.st_ino)};
}

FileKind KindOfEntry(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return errno == ENOENT ? FileKind::Missing : FileKind::Unknown;
    }
    if (S_ISLNK(info.st_mode)) {
        return FileKind::Regular;
    }
    return KindOf(path);
}

std::optional<FileIdentity> IdentityOfEntry(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                        static_cast<std::uint64_t>(info.st_ino)};
}

std::optional<FileStamp> StampOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return FileStamp{
        {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)},
        static_cast<std::uint64_t>(info.st_size),
        GenerationOf(path)};
}

std::optional<LinkState> LinkStateOf(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    LinkState state;
    state.names = static_cast<std::uint64_t>(info.st_nlink);
    if (S_ISLNK(info.st_mode)) {
        char target[PATH_MAX];
        const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
        state.target =
            length < 0 ? std::string() : std::string(target, static_cast<std::size_t>(length));
        state.names = 1;
    }
    return state;
}

FileError NameTakenError(const std::string& path) {
    return FileError{FileErrorCause::Generic, path, EEXIST};
}

FileResult<Removal> RemoveIfSame(const std::string& path, const FileStamp& stamp) {
    // The file is first renamed to a name of this process's own in the same folder, so that what
    // is looked at is what will be removed: whoever puts another file under `path` meanwhile puts
    // it beside the one being checked, not in its place.
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    std::string aside;
    for (int attempt = 0;; ++attempt) {
        if (attempt == 64) {
            return NameTakenError(path);
        }
        aside = folder + ".kavendrum-removing-" + std::to_string(::getpid()) + "-" +
                std::to_string(attempt);
        auto moved = RenameIfAbsent(path, aside);
        if (!moved.ok()) {
            FileError failure = moved.error();
            failure.path = path;
            return failure;
        }
        if (moved.value()) {
            break;
        }
    }
    const auto found = StampOf(aside);
    const bool same = found && *found == stamp;
    if (same) {
        if (::unlink(aside.c_str()) == 0) {
            return Removal::Removed;
        }
        const FileError failure = ErrnoError(path);
        (void)RenameIfAbsent(aside, path);
        return failure;
    }
    // Not the file that was read: it goes back where it was, unless the name has been taken
    // again meanwhile, and is left as it is.
    (void)RenameIfAbsent(aside, path);
    return Removal::Changed;
}

FileStatus RemoveFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0) {
        return ErrnoError(path);
    }
    return std::nullopt;
}

FileStatus RenameOver(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        return ErrnoError(to);
    }
    return std::nullopt;
}

FileStatus FlushFolderEntries(const std::string& path) {
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int handle = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle < 0) {
        return ErrnoError(folder);
    }
    const int result = ::fsync(handle);
    ::close(handle);
    if (result != 0) {
        return ErrnoError(folder);
    }
    return std::nullopt;
}

FileResult<bool> RenameIfAbsent(const std::string& from, const std::string& to) {
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno == EEXIST) {
        return false;
    }
#endif
    // Where that is not to be had, a second name for the file is made just as exclusively.
    if (::link(from.c_str(), to.c_str()) != 0) {
        if (errno == EEXIST) {
            return false;
        }
        return ErrnoError(to);
    }
    ::unlink(from.c_str());
    return true;
}

bool FolderHasEntries(const std::string& folder) {
    DIR* search = ::opendir(folder.c_str());
    if (search == nullptr) {
        return false;
    }
    const bool found = ::readdir(search) != nullptr;
    ::closedir(search);
    return found;
}

FileStatus ListFolder(const std::string& folder,
                      const std::function<void(const std::string& name)>& visit) {
    const std::string path = folder.empty() ? std::string(".") : folder;
    DIR* search = ::opendir(path.c_str());
    if (search == nullptr) {
        return ErrnoError(path);
    }
    errno = 0;
    while (const dirent* entry = ::readdir(search)) {
        visit(entry->d_name);
        errno = 0;
    }
    FileStatus status;
    if (errno != 0) {
        status = ErrnoError(path);
    }
    ::closedir(search);
    return status;
}

FileStatus CreateOneFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) != 0) {
        return ErrnoError(path);
    }
    return std::nullopt;
}

FileStatus FlushFolder(const std::string& folder) {
    const int handle = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle < 0) {
        return ErrnoError(folder);
    }
    // One call covers every file written there, however many pieces a split made.
#ifdef __linux__
    int result = ::syncfs(handle);
#else
    ::sync();
    int result = 0;
#endif
    if (result == 0) {
        result = ::fsync(handle);
    }
    FileStatus status;
    if (result != 0) {
        status = ErrnoError(folder);
    }
    ::close(handle);
    return status;
}

bool FlushFolderCoversItsFiles() {
    return true;
}

bool FolderIsWritable(const std::string& folder) {
    return ::access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) == 0;
}

bool FolderIsUsersOwn(const std::string& folder) {
    struct stat status {};
    return ::stat(folder.empty() ? "." : folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode) &&
           status.st_uid == ::geteuid();
}

FileResult<std::string> ProgramPath() {
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof buffer) {
        return ErrnoError("/proc/self/exe");
    }
    return std::string(buffer, static_cast<std::size_t>(length));
}

FileResult<std::uint64_t> FreeSpaceOf(const std::string& folder) {
    const std::string where = folder.empty() ? "." : folder;
    struct statvfs info {};
    if (::statvfs(where.c_str(), &info) != 0) {
        return ErrnoError(where);
    }
    // f_bavail, not f_bfree: the blocks kept for root are not ours to fill.
    return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

}  // namespace kavendrum
