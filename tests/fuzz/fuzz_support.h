#pragma once

// What every fuzzer here needs around the reader it feeds: a host that answers everything and
// shows nothing, a way to write a file, and a folder of its own made once per process.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/operation_host.h"

namespace kavendrum::fuzz {

// Answers OK to every question; a file error's text is still made, so that its formatting runs.
class SilentHost : public OperationHost {
  public:
    void ShowMessage(const std::string&, const std::string&) override {}
    bool AskOkCancel(const std::string&, const std::string&) override { return true; }
    void ReportFileError(const FileError& error) override { (void)FileErrorText(error); }
    bool ShowInPane(const std::string&, int, int, int) override { return true; }
    bool SetWidthPercent(int) override { return true; }
    bool SetStepRange(int, int, int) override { return true; }
    int SetPosition(int) override { return 0; }
    int Advance() override { return 0; }
};

inline void WriteFile(const std::string& path, const void* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// A new folder under the temporary folder, named from `pattern` (ending in XXXXXX); a fuzzer that
// cannot have one stops at once.
inline std::string MakeFolder(const char* pattern) {
    std::string made = (std::filesystem::temp_directory_path() / pattern).string();
    if (::mkdtemp(made.data()) == nullptr) {
        std::abort();
    }
    return made;
}

}  // namespace kavendrum::fuzz
