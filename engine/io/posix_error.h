#pragma once

#include <string>

#include "engine/io/file_error.h"

namespace kavendrum {

FileErrorCause CauseFromErrno(int error);
FileError ErrnoError(const std::string& path);  // from the current errno

}  // namespace kavendrum
