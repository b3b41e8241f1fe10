#pragma once

#include <string>

#include "engine/io/file_error.h"

namespace kavendrum {

FileErrorCause CauseFromWin32Error(unsigned long error);
FileError LastWin32Error(const std::string& path);  // from GetLastError

}  // namespace kavendrum
