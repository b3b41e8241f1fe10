#include "engine/io/win32_error.h"

#include <windows.h>

namespace kavendrum {

FileErrorCause CauseFromWin32Error(unsigned long error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
            return FileErrorCause::FileNotFound;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_DIRECTORY:
        case ERROR_INVALID_DRIVE:
            return FileErrorCause::BadPath;
        case ERROR_TOO_MANY_OPEN_FILES:
            return FileErrorCause::TooManyOpenFiles;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
            return FileErrorCause::AccessDenied;
        case ERROR_INVALID_HANDLE:
            return FileErrorCause::InvalidFile;
        case ERROR_CANNOT_MAKE:
            return FileErrorCause::DirectoryFull;
        case ERROR_SEEK:
        case ERROR_NEGATIVE_SEEK:
            return FileErrorCause::SeekFailed;
        case ERROR_CRC:
        case ERROR_READ_FAULT:
        case ERROR_WRITE_FAULT:
        case ERROR_GEN_FAILURE:
            return FileErrorCause::HardwareIo;
        case ERROR_SHARING_VIOLATION:
            return FileErrorCause::SharingViolation;
        case ERROR_LOCK_VIOLATION:
            return FileErrorCause::LockViolation;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return FileErrorCause::DiskFull;
        case ERROR_HANDLE_EOF:
            return FileErrorCause::EndOfFile;
        default:
            return FileErrorCause::Generic;
    }
}

FileError FolderInTheWay(const std::string& path) {
    // No system code says it plainly; the cause's own words do.
    return FileError{FileErrorCause::BadPath, path};
}

bool ReportSaysItAll(const FileError& error) {
    switch (error.systemCode) {
        case 0:
        case ERROR_FILE_NOT_FOUND:
        case ERROR_ACCESS_DENIED:
        case ERROR_TOO_MANY_OPEN_FILES:
        case ERROR_INVALID_HANDLE:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
        case ERROR_HANDLE_EOF:
            return true;
        default:
            return false;
    }
}

FileError LastWin32Error(const std::string& path) {
    const DWORD error = GetLastError();
    return FileError{CauseFromWin32Error(error), path, static_cast<int>(error)};
}

}  // namespace kavendrum
