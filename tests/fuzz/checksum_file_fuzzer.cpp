// Feeds arbitrary checksum files to the reader, to the verification and to the merge beside a
// small set of pieces: nothing may crash, hang or grow with the file, and what the reader keeps
// must be one sound digest per piece at most.

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/checksum_file.h"
#include "engine/content_verification.h"
#include "engine/head_file.h"
#include "engine/merge_operation.h"
#include "fuzz_support.h"

namespace {

using namespace kavendrum;
using namespace kavendrum::fuzz;

constexpr std::uint32_t kPieceCount = 3;

// x.kdh for 2500 bytes in three pieces, the pieces beside it, and the folder "out" that the
// merges write into.
const std::string& Folder() {
    static const std::string folder = [] {
        const std::string made = MakeFolder("kavendrum-fuzz-XXXXXX");
        const auto head = EncodeHeadFile(MakeHeadFileInfo(2500, kPieceCount, 1000, "bin"));
        WriteFile(made + "/x.kdh", head.data(), head.size());
        const std::string bytes(1000, 'p');
        WriteFile(made + "/x_1.skf", bytes.data(), 1000);
        WriteFile(made + "/x_2.skf", bytes.data(), 1000);
        WriteFile(made + "/x_3.skf", bytes.data(), 500);
        std::filesystem::create_directory(made + "/out");
        return made;
    }();
    return folder;
}

// One digest per piece, in order, each for a piece of the set, and no piece both agreed and
// disputed.
void CheckSound(const PieceChecksums& checksums) {
    const auto& pieces = checksums.Pieces();
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const std::uint32_t number = pieces[i].first;
        if (number < 1 || number > kPieceCount || (i > 0 && pieces[i - 1].first >= number) ||
            checksums.Disputed(number) || checksums.ForPiece(number) != pieces[i].second) {
            std::abort();
        }
    }
    for (std::uint32_t number = 0; number <= kPieceCount + 1; ++number) {
        const bool listed = std::any_of(pieces.begin(), pieces.end(), [number](const auto& entry) {
            return entry.first == number;
        });
        if (checksums.ForPiece(number).has_value() != listed) {
            std::abort();
        }
    }
    if (checksums.WholeFileDisputed() && checksums.ForWholeFile()) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string sums = Folder() + "/x.sha256";
    WriteFile(sums, data, size);
    const ChecksumRead read = ReadChecksumFile(sums, {"x", kPieceCount, "x.bin"});
    if (read.error || !read.checksums) {
        std::abort();  // the file is there and readable
    }
    CheckSound(*read.checksums);

    SilentHost host;
    VerifyWithChecksums(Folder() + "/x.kdh", host);
    OptionSet options;
    options.verifyBeforeMerge = size % 2;
    options.overwriteMode = 0;
    RunMerge({Folder() + "/x.kdh", Folder() + "/out", Folder() + "/out/x.bin"}, &options, host);
    for (const auto& entry : std::filesystem::directory_iterator(Folder() + "/out")) {
        std::filesystem::remove_all(entry.path());
    }
    return 0;
}
