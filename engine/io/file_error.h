#pragma once

#include <optional>
#include <string>
#include <utility>

namespace kavendrum {

// Why a file operation failed, in the terms the user is shown.
enum class FileErrorCause {
    Generic,
    FileNotFound,
    BadPath,
    TooManyOpenFiles,
    AccessDenied,
    InvalidFile,
    DirectoryFull,
    SeekFailed,
    HardwareIo,
    SharingViolation,
    LockViolation,
    DiskFull,
    EndOfFile,
};

struct FileError {
    FileErrorCause cause = FileErrorCause::Generic;
    std::string path;
    // The system's own code (errno, or GetLastError on Windows); 0 when there is none. Kept for
    // front ends that give the system's wording beside the report's.
    int systemCode = 0;
};

// A folder stands where a file is wanted: a bad path, with the system's own code for it, so that
// a front end that gives the system's words says "Is a directory".
FileError FolderInTheWay(const std::string& path);
// Whether the report's text for the error already says all the system's code does; where it
// does not (a read-only file system reported as "Access to … was denied"), a front end that can
// says the system's words beside it.
bool ReportSaysItAll(const FileError& error);

// The file-error report's text for the cause, with the file's full path filled in.
std::string FileErrorText(const FileError& error);

// No value on success; the error otherwise.
using FileStatus = std::optional<FileError>;

// A value, or the error that kept it from being had.
template <class T>
class FileResult {
  public:
    FileResult(T value) : m_value(std::move(value)) {}
    FileResult(FileError error) : m_error(std::move(error)) {}

    bool ok() const { return m_value.has_value(); }
    T& value() { return *m_value; }
    const T& value() const { return *m_value; }
    const FileError& error() const { return m_error; }

  private:
    std::optional<T> m_value;
    FileError m_error;
};

}  // namespace kavendrum
