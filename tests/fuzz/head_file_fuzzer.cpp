// Feeds arbitrary head files to the reader, to the verification and to the merge, and checks that
// an accepted head file never leads the merge's output out of its destination folder.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "engine/head_file.h"
#include "engine/io/file.h"
#include "engine/merge_operation.h"
#include "engine/object_file_name.h"
#include "engine/paths.h"
#include "engine/verification.h"
#include "fuzz_support.h"

namespace {

using namespace kavendrum;
using namespace kavendrum::fuzz;

// A folder with a few pieces of assorted sizes beside the head file x.kdh, and the folder "out"
// that the merges write into.
const std::string& Folder() {
    static const std::string folder = [] {
        const std::string made = MakeFolder("kavendrum-fuzz-XXXXXX");
        const std::string bytes(3000, 'p');
        WriteFile(made + "/x_1.skf", bytes.data(), 1000);
        WriteFile(made + "/x_2.skf", bytes.data(), 3000);
        WriteFile(made + "/x_3.skf", bytes.data(), 7);
        std::filesystem::create_directory(made + "/out");
        return made;
    }();
    return folder;
}

// The output must be a file right inside the destination, never the folder itself, its parent
// or anything a NUL would cut the path short to.
void CheckStaysInside(const std::optional<std::string>& output, const std::string& destination) {
    if (!output) {
        return;
    }
    const std::string folder = WithTrailingSeparator(destination);
    const std::string leaf = output->substr(folder.size());
    if (output->compare(0, folder.size(), folder) != 0 || LeafName(*output) != leaf ||
        leaf.empty() || leaf == "." || leaf == ".." || leaf.find('\0') != std::string::npos) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string head = Folder() + "/x.kdh";
    const std::string destination = Folder() + "/out";
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
    std::optional<std::string> output;
    if (read.status == HeadReadStatus::Read) {
        output = FormObjectFileName(destination, head, false, "", read.info.extension);
        CheckStaysInside(output, destination);
        CheckStaysInside(FormObjectFileName(destination, head, true, "", read.info.extension),
                         destination);
    }
    // However many pieces the record names, neither may take longer or more memory than the
    // three pieces that are there call for.
    SilentHost host;
    VerifyPieces(head, host);
    OptionSet options;
    options.verifyBeforeMerge = size % 2;
    options.overwriteMode = 0;
    RunMerge({head, destination, output.value_or(destination + "/out.bin")}, &options, host);
    for (const auto& entry : std::filesystem::directory_iterator(destination)) {
        std::filesystem::remove_all(entry.path());
    }
    return 0;
}
