#include "engine/io/file_error.h"

namespace kavendrum {

namespace {

const char* Template(FileErrorCause cause) {
    switch (cause) {
        case FileErrorCause::Generic:
            break;
        case FileErrorCause::FileNotFound:
            return "%1 was not found.";
        case FileErrorCause::BadPath:
            return "%1 contains an invalid path.";
        case FileErrorCause::TooManyOpenFiles:
            return "%1 could not be opened because there are too many open files.";
        case FileErrorCause::AccessDenied:
            return "Access to %1 was denied.";
        case FileErrorCause::InvalidFile:
            return "An invalid file handle was associated with %1.";
        case FileErrorCause::DirectoryFull:
            return "%1 could not be created because the directory is full.";
        case FileErrorCause::SeekFailed:
            return "Seek failed on %1";
        case FileErrorCause::HardwareIo:
            return "A hardware I/O error was reported while accessing %1.";
        case FileErrorCause::SharingViolation:
            return "A sharing violation occurred while accessing %1.";
        case FileErrorCause::LockViolation:
            return "A locking violation occurred while accessing %1.";
        case FileErrorCause::DiskFull:
            return "Disk full while accessing %1.";
        case FileErrorCause::EndOfFile:
            return "An attempt was made to access %1 past its end.";
    }
    return "An unknown error occurred while accessing %1.";
}

}  // namespace

std::string FileErrorText(const FileError& error) {
    std::string text = Template(error.cause);
    const auto at = text.find("%1");
    text.replace(at, 2, error.path);
    return text;
}

}  // namespace kavendrum
