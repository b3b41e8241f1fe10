// Feeds arbitrary head files to the reader, to the verification and to the merge.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/head_file.h"
#include "engine/io/file.h"
#include "engine/merge_operation.h"
#include "engine/verification.h"

namespace {

using namespace kavendrum;

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

void WriteFile(const std::string& path, const void* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// A folder with a few pieces of assorted sizes beside the head file x.kdh.
const std::string& Folder() {
    static const std::string folder = [] {
        std::string made =
            (std::filesystem::temp_directory_path() / "kavendrum-fuzz-XXXXXX").string();
        if (::mkdtemp(made.data()) == nullptr) {
            std::abort();
        }
        const std::string bytes(3000, 'p');
        WriteFile(made + "/x_1.skf", bytes.data(), 1000);
        WriteFile(made + "/x_2.skf", bytes.data(), 3000);
        WriteFile(made + "/x_3.skf", bytes.data(), 7);
        return made;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string head = Folder() + "/x.kdh";
    WriteFile(head, data, size);
    auto file = File::OpenForReading(head);
    if (!file.ok()) {
        return 0;
    }
    const HeadRead read = ReadHeadFile(file.value());
    file.value().Close();
    if (read.status == HeadReadStatus::Read && LastPieceSize(read.info) >= read.info.pieceSize) {
        std::abort();  // a sound record's last piece is always shorter than a full one
    }
    // A sound record may name billions of pieces; listing them all is the design, not a fault,
    // but no use to the fuzzer.
    if (read.status == HeadReadStatus::Read && read.info.pieceCount > 64) {
        return 0;
    }
    SilentHost host;
    VerifyPieces(head, host);
    OptionSet options;
    options.verifyBeforeMerge = size % 2;
    options.overwriteMode = 0;
    RunMerge({head, Folder(), Folder() + "/out.bin"}, &options, host);
    return 0;
}
