#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef __linux__
#include <linux/fs.h>
#endif

#include <cerrno>
#include <limits>
#include <optional>
#include <string>

#include "engine/io/file.h"
#include "engine/io/file_system.h"
#include "engine/io/posix_error.h"

namespace kavendrum {

namespace {

// Without O_NONBLOCK, opening a FIFO waits until somebody opens its other end.
int OpenRetrying(const char* path, int flags) {
    int handle;
    do {
        handle = ::open(path, flags | O_NONBLOCK | O_CLOEXEC, 0666);
    } while (handle < 0 && errno == EINTR);
    return handle;
}

// Reads and writes then wait for the data as usual.
bool ClearNonBlocking(int handle) {
    const int flags = ::fcntl(handle, F_GETFL);
    return flags >= 0 && ::fcntl(handle, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

// What can be split whole: something with a size.
bool HasSize(mode_t mode) {
    return S_ISREG(mode) || S_ISBLK(mode);
}

// Another holder of the lock makes the open fail as a sharing violation would.
bool TakeFileLock(int handle, bool shared) {
    int result;
    do {
        result = ::flock(handle, (shared ? LOCK_SH : LOCK_EX) | LOCK_NB);
    } while (result < 0 && errno == EINTR);
    return result == 0;
}

// flock and record locks do not see each other, and programs that lock files with lockf or fcntl
// take record locks; so one is taken as well, on the whole file. It belongs to the open file
// description, as flock's lock does, and goes when the file is closed.
bool TakeRecordLock(int handle, short type) {
#ifdef F_OFD_SETLK
    struct flock range {};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    int result;
    do {
        result = ::fcntl(handle, F_OFD_SETLK, &range);
    } while (result < 0 && errno == EINTR);
    // A file system that keeps no record locks has only flock's to go by.
    return result == 0 || (errno != EAGAIN && errno != EACCES);
#else
    (void)handle;
    (void)type;
    return true;
#endif
}

// A read lock lets other readers' locks in; held exclusively, a file must have none besides ours.
bool NoOtherRecordLock(int handle) {
#ifdef F_OFD_GETLK
    struct flock range {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    if (::fcntl(handle, F_OFD_GETLK, &range) != 0) {
        return true;
    }
    return range.l_type == F_UNLCK;
#else
    (void)handle;
    return true;
#endif
}

FileStatus HoldForReading(int handle, bool shared, const std::string& path) {
    if (!TakeFileLock(handle, shared)) {
        return ErrnoError(path);
    }
    if (!TakeRecordLock(handle, F_RDLCK) || (!shared && !NoOtherRecordLock(handle))) {
        return FileError{FileErrorCause::SharingViolation, path};
    }
    return std::nullopt;
}

FileStatus HoldForWriting(int handle, const std::string& path) {
    if (!TakeFileLock(handle, false)) {
        return ErrnoError(path);
    }
    if (!TakeRecordLock(handle, F_WRLCK)) {
        return FileError{FileErrorCause::SharingViolation, path};
    }
    return std::nullopt;
}

}  // namespace

FileResult<File> File::OpenForReadingImpl(const std::string& path, bool shared) {
    // The type is looked at before the open, since opening some devices already acts on them.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !HasSize(info.st_mode)) {
        return S_ISDIR(info.st_mode) ? FolderInTheWay(path)
                                     : FileError{FileErrorCause::BadPath, path};
    }
    const int handle = OpenRetrying(path.c_str(), O_RDONLY);
    if (handle < 0) {
        return ErrnoError(path);
    }
    File file(handle, path);
    // Again for what was opened, which may not be what was looked at. A folder also opens for
    // reading here but is no file to read, as on other platforms.
    if (::fstat(handle, &info) != 0) {
        return ErrnoError(path);
    }
    if (!HasSize(info.st_mode)) {
        return S_ISDIR(info.st_mode) ? FolderInTheWay(path)
                                     : FileError{FileErrorCause::BadPath, path};
    }
    if (!ClearNonBlocking(handle)) {
        return ErrnoError(path);
    }
    if (auto failure = HoldForReading(handle, shared, path)) {
        return *failure;
    }
    return file;
}

FileResult<File> File::OpenForUpdate(const std::string& path) {
    // Only a regular file is taken up: nothing else keeps what was written to it.
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        return FileError{FileErrorCause::BadPath, path};
    }
    const int handle = OpenRetrying(path.c_str(), O_RDWR | O_NOFOLLOW);
    if (handle < 0) {
        return ErrnoError(path);
    }
    File file(handle, path);
    if (::fstat(handle, &info) != 0) {
        return ErrnoError(path);
    }
    if (!S_ISREG(info.st_mode)) {
        return FileError{FileErrorCause::BadPath, path};
    }
    if (!ClearNonBlocking(handle)) {
        return ErrnoError(path);
    }
    if (auto failure = HoldForWriting(handle, path)) {
        return *failure;
    }
    return file;
}

FileResult<File> File::CreateNew(const std::string& path) {
    // O_EXCL already refuses any link at the name; O_NOFOLLOW says so where it is read.
    const int handle = OpenRetrying(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW);
    if (handle < 0) {
        return ErrnoError(path);
    }
    File file(handle, path);
    if (!ClearNonBlocking(handle)) {
        return ErrnoError(path);
    }
    if (auto failure = HoldForWriting(handle, path)) {
        return *failure;
    }
    return file;
}

FileResult<File> File::CreateTransient(const std::string& path) {
    return CreateNew(path);
}

namespace {

// The folder part of `path`, as open takes it.
std::string FolderPartOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash + 1);
}

// Without the CAP_DAC_READ_SEARCH capability, an unnamed file is named through its entry in
// /proc; where /proc is not mounted it could not be named at all.
bool CanNameUnnamedFiles() {
    return ::access("/proc/self/fd", X_OK) == 0;
}

}  // namespace

FileResult<std::optional<File>> File::CreateUnnamed(const std::string& pathInFolder) {
#ifdef O_TMPFILE
    int handle;
    do {
        handle = ::open(FolderPartOf(pathInFolder).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    } while (handle < 0 && errno == EINTR);
    if (handle < 0) {
        // A kernel without O_TMPFILE takes it for O_DIRECTORY (EISDIR); a file system without
        // unnamed files refuses them.
        if (errno == EOPNOTSUPP || errno == ENOTSUP || errno == EISDIR || errno == EINVAL) {
            return std::optional<File>();
        }
        return ErrnoError(pathInFolder);
    }
    File file(handle, pathInFolder);
    if (!CanNameUnnamedFiles()) {
        return std::optional<File>();
    }
    if (auto failure = HoldForWriting(handle, pathInFolder)) {
        return *failure;
    }
    return std::optional<File>(std::move(file));
#else
    (void)pathInFolder;
    return std::optional<File>();
#endif
}

FileResult<File> File::Duplicate() const {
    const int handle = ::fcntl(Fd(), F_DUPFD_CLOEXEC, 0);
    if (handle < 0) {
        return ErrnoError(m_path);
    }
    return File(handle, m_path);
}

FileResult<bool> File::LinkAs(const std::string& path) {
#ifdef __linux__
    // linkat never replaces what stands at the new name and never follows a link there.
    int result = ::linkat(Fd(), "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH);
    if (result != 0 && (errno == ENOENT || errno == EPERM)) {
        // AT_EMPTY_PATH wants a capability most users lack; the path in /proc does not.
        const std::string own = "/proc/self/fd/" + std::to_string(Fd());
        result = ::linkat(AT_FDCWD, own.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW);
    }
    if (result == 0) {
        return true;
    }
    if (errno == EEXIST) {
        return false;
    }
    return ErrnoError(path);
#else
    return FileError{FileErrorCause::BadPath, path, EOPNOTSUPP};
#endif
}

FileStatus File::KeepWhenClosed() {
    return std::nullopt;
}

FileResult<File> File::CreateAtFirstFree(const std::vector<std::string>& names,
                                         std::size_t& chosen) {
    FileError taken{FileErrorCause::BadPath, names.empty() ? std::string() : names.front()};
    for (std::size_t at = 0; at < names.size(); ++at) {
        auto made = CreateNew(names[at]);
        if (made.ok()) {
            chosen = at;
            return made;
        }
        if (made.error().systemCode != EEXIST) {
            return made;
        }
        taken = made.error();
    }
    return taken;
}

FileResult<File> File::OpenForWritingImpl(const std::string& path, bool exclusive,
                                          const FileIdentity* keepOut) {
    // A file made just now is nobody else's and empty: it needs no check and no truncation.
    int handle = OpenRetrying(path.c_str(), O_WRONLY | O_CREAT | O_EXCL);
    const bool created = handle >= 0;
    if (!created && errno == EEXIST) {
        // No O_TRUNC: the file is emptied only once it is known that nobody else holds it.
        handle = OpenRetrying(path.c_str(), O_WRONLY | O_CREAT);
    }
    if (handle < 0) {
        return ErrnoError(path);
    }
    File file(handle, path);
    if (!ClearNonBlocking(handle)) {
        return ErrnoError(path);
    }
    if (exclusive) {
        if (auto failure = HoldForWriting(handle, path)) {
            return *failure;
        }
    }
    if (created) {
        return file;
    }
    struct stat info {};
    if (::fstat(handle, &info) != 0) {
        return ErrnoError(path);
    }
    if (keepOut != nullptr && FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                                           static_cast<std::uint64_t>(info.st_ino)} == *keepOut) {
        return FileError{FileErrorCause::SharingViolation, path};
    }
    if (info.st_size != 0 && ::ftruncate(handle, 0) != 0) {
        return ErrnoError(path);
    }
    return file;
}

FileResult<File> File::OpenStandard(Standard stream, const std::string& name) {
    const int handle =
        ::fcntl(stream == Standard::Input ? STDIN_FILENO : STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
    if (handle < 0) {
        return ErrnoError(name);
    }
    return File(handle, name);
}

FileResult<std::uint64_t> File::Length() const {
    struct stat info {};
    if (::fstat(Fd(), &info) != 0) {
        return ErrnoError(m_path);
    }
    if (!S_ISBLK(info.st_mode)) {
        return static_cast<std::uint64_t>(info.st_size);
    }
    // A device tells its size only when asked, or by where its end is.
#ifdef BLKGETSIZE64
    std::uint64_t size = 0;
    if (::ioctl(Fd(), BLKGETSIZE64, &size) == 0) {
        return size;
    }
#endif
    const off_t at = ::lseek(Fd(), 0, SEEK_CUR);
    const off_t end = at < 0 ? -1 : ::lseek(Fd(), 0, SEEK_END);
    if (end < 0 || ::lseek(Fd(), at, SEEK_SET) != at) {
        return ErrnoError(m_path);
    }
    return static_cast<std::uint64_t>(end);
}

FileResult<FileIdentity> File::Identity() const {
    struct stat info {};
    if (::fstat(Fd(), &info) != 0) {
        return ErrnoError(m_path);
    }
    return FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                        static_cast<std::uint64_t>(info.st_ino)};
}

namespace {

// The file handle the kernel gives for `path` under `folder`, as bytes: its type and contents.
std::string HandleText(int folder, const char* path, int flags) {
#ifdef __linux__
    struct Handle {
        file_handle head;
        unsigned char bytes[MAX_HANDLE_SZ];
    } handle{};
    handle.head.handle_bytes = MAX_HANDLE_SZ;
    int mount = 0;
    if (::name_to_handle_at(folder, path, &handle.head, &mount, flags) != 0 ||
        handle.head.handle_bytes > MAX_HANDLE_SZ) {
        return {};
    }
    std::string text(reinterpret_cast<const char*>(&handle.head.handle_type),
                     sizeof handle.head.handle_type);
    text.append(reinterpret_cast<const char*>(handle.head.f_handle), handle.head.handle_bytes);
    return text;
#else
    (void)folder;
    (void)path;
    (void)flags;
    return {};
#endif
}

}  // namespace

std::string File::Generation() const {
    return HandleText(Fd(), "", AT_EMPTY_PATH);
}

std::string GenerationOfEntry(const std::string& path) {
    return HandleText(AT_FDCWD, path.c_str(), 0);
}

std::string GenerationOf(const std::string& path) {
    return HandleText(AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW);
}

FileResult<std::size_t> File::Read(void* buffer, std::size_t size) {
    auto* at = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(Fd(), at + done, size - done);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return ErrnoError(m_path);
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return done;
}

FileStatus File::SeekTo(std::uint64_t offset) {
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()) ||
        ::lseek(Fd(), static_cast<off_t>(offset), SEEK_SET) < 0) {
        return ErrnoError(m_path);
    }
    return {};
}

FileStatus File::Write(const void* buffer, std::size_t size) {
    const auto* at = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t put = ::write(Fd(), at + done, size - done);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            return ErrnoError(m_path);
        }
        if (put == 0) {
            return FileError{FileErrorCause::DiskFull, m_path};
        }
        done += static_cast<std::size_t>(put);
    }
    return std::nullopt;
}

RangeCopy File::CopyRangeTo(File& destination, std::size_t size) {
    RangeCopy result;
#ifdef __linux__
    while (result.copied < size) {
        const ssize_t moved =
            ::copy_file_range(Fd(), nullptr, destination.Fd(), nullptr, size - result.copied, 0);
        if (moved < 0 && errno == EINTR) {
            continue;
        }
        if (moved <= 0) {
            const int error = moved < 0 ? errno : 0;
            result.stopped = true;
            result.unsupported = error == EXDEV || error == EINVAL || error == ENOSYS ||
                                 error == EOPNOTSUPP || error == ENOTSUP || error == EBADF;
            return result;
        }
        result.copied += static_cast<std::size_t>(moved);
    }
#else
    (void)destination;
    result.stopped = size > 0;
    result.unsupported = true;
#endif
    return result;
}

void File::AdviseSequential() {
#ifdef POSIX_FADV_SEQUENTIAL
    ::posix_fadvise(Fd(), 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
}

FileStatus File::CutAt(std::uint64_t length) {
    if (::ftruncate(Fd(), static_cast<off_t>(length)) != 0 ||
        ::lseek(Fd(), static_cast<off_t>(length), SEEK_SET) < 0) {
        return ErrnoError(m_path);
    }
    return std::nullopt;
}

FileStatus File::Flush() {
    if (::fdatasync(Fd()) != 0) {
        return ErrnoError(m_path);
    }
    return std::nullopt;
}

FileStatus File::Close() {
    if (m_handle == -1) {
        return std::nullopt;
    }
    const int handle = Fd();
    m_handle = -1;
    // The descriptor is gone even when close reports an error, so it is never retried.
    if (::close(handle) != 0 && errno != EINTR) {
        return ErrnoError(m_path);
    }
    return std::nullopt;
}

}  // namespace kavendrum
