#include "engine/io/posix_error.h"

#include <cerrno>

namespace kavendrum {

FileErrorCause CauseFromErrno(int error) {
    switch (error) {
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return FileErrorCause::DiskFull;
        case EACCES:
        case EPERM:
        case EROFS:
            return FileErrorCause::AccessDenied;
        case ENOENT:
            return FileErrorCause::FileNotFound;
        case ENAMETOOLONG:
        case ENOTDIR:
        case EISDIR:
            return FileErrorCause::BadPath;
        case EMFILE:
        case ENFILE:
            return FileErrorCause::TooManyOpenFiles;
        case EBADF:
            return FileErrorCause::InvalidFile;
        case EIO:
            return FileErrorCause::HardwareIo;
        case EWOULDBLOCK:
            return FileErrorCause::SharingViolation;
        case ENOLCK:
        case EDEADLK:
            return FileErrorCause::LockViolation;
        case ESPIPE:
            return FileErrorCause::SeekFailed;
        default:
            return FileErrorCause::Generic;
    }
}

FileError FolderInTheWay(const std::string& path) {
    return FileError{FileErrorCause::BadPath, path, EISDIR};
}

bool ReportSaysItAll(const FileError& error) {
    switch (error.systemCode) {
        case 0:
        case ENOSPC:
        case EACCES:
        case ENOENT:
        case EMFILE:
        case ENFILE:
        case EBADF:
        case EIO:
        case ESPIPE:
        case EWOULDBLOCK:
        case ENOLCK:
        case EDEADLK:
            return true;
        default:
            return false;
    }
}

FileError ErrnoError(const std::string& path) {
    const int error = errno;
    return FileError{CauseFromErrno(error), path, error};
}

}  // namespace kavendrum
