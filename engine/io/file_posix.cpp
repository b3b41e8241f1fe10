#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "engine/io/file.h"
#include "engine/io/posix_error.h"

namespace kavendrum {

namespace {

int OpenRetrying(const char* path, int flags) {
    int handle;
    do {
        handle = ::open(path, flags | O_CLOEXEC, 0666);
    } while (handle < 0 && errno == EINTR);
    return handle;
}

// Another holder of the lock makes the open fail as a sharing violation would.
bool LockExclusive(int handle) {
    int result;
    do {
        result = ::flock(handle, LOCK_EX | LOCK_NB);
    } while (result < 0 && errno == EINTR);
    return result == 0;
}

}  // namespace

FileResult<File> File::OpenForReading(const std::string& path) {
    const int handle = OpenRetrying(path.c_str(), O_RDONLY);
    if (handle < 0) {
        return ErrnoError(path);
    }
    File file(handle, path);
    // A folder opens for reading here but is no file to read, as on other platforms.
    struct stat info {};
    if (::fstat(handle, &info) != 0) {
        return ErrnoError(path);
    }
    if (S_ISDIR(info.st_mode)) {
        return FileError{FileErrorCause::BadPath, path};
    }
    if (!LockExclusive(handle)) {
        return ErrnoError(path);
    }
    return file;
}

FileResult<File> File::CreateNew(const std::string& path) {
    const int handle = OpenRetrying(path.c_str(), O_WRONLY | O_CREAT | O_EXCL);
    if (handle < 0) {
        return ErrnoError(path);
    }
    File file(handle, path);
    if (!LockExclusive(handle)) {
        return ErrnoError(path);
    }
    return file;
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
    if (exclusive && !LockExclusive(handle)) {
        return ErrnoError(path);
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

FileResult<std::uint64_t> File::Length() const {
    struct stat info {};
    if (::fstat(Fd(), &info) != 0) {
        return ErrnoError(m_path);
    }
    return static_cast<std::uint64_t>(info.st_size);
}

FileResult<FileIdentity> File::Identity() const {
    struct stat info {};
    if (::fstat(Fd(), &info) != 0) {
        return ErrnoError(m_path);
    }
    return FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                        static_cast<std::uint64_t>(info.st_ino)};
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
