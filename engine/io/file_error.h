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
