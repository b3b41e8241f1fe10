// Feeds arbitrary recovery files to verify and repair as the command line and the merge run
// them: a head file, three pieces of which the second is missing, a checksum file with every
// piece's line, and the input cut in two as base.par2 and base.vol0+1.par2. Nothing may appear
// in the folder but the set's own files, a piece that is there must be its own bytes (a rebuilt
// piece is checked against its line before it takes its place), and verification must never
// call the missing piece good.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "engine/checksum_file.h"
#include "engine/head_file.h"
#include "engine/io/sha256.h"
#include "engine/recovery_operation.h"
#include "fuzz_support.h"

namespace {

using namespace kavendrum;
using namespace kavendrum::fuzz;

constexpr std::uint32_t kPieceSize = 2000;

std::string PieceBytes(int piece) {
    std::string bytes(piece == 2 ? 700 : kPieceSize, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 13 + piece * 5);
    }
    return bytes;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

const std::string& Folder() {
    static const std::string folder = MakeFolder("kavendrum-set-fuzz-XXXXXX");
    return folder;
}

std::string PiecePath(int piece) {
    return Folder() + "/x_" + std::to_string(piece + 1) + ".skf";
}

// The head file and the checksum file, once per process.
void WriteSetFiles() {
    const auto head = EncodeHeadFile(MakeHeadFileInfo(2 * kPieceSize + 700, 3, kPieceSize, "bin"));
    WriteFile(Folder() + "/x.kdh", head.data(), head.size());
    std::string lines;
    for (int piece = 0; piece < 3; ++piece) {
        const std::string bytes = PieceBytes(piece);
        Sha256 sha;
        sha.Update(bytes.data(), bytes.size());
        lines += ChecksumLine(*sha.Finish(), "x_" + std::to_string(piece + 1) + ".skf");
    }
    WriteFile(Folder() + "/x.sha256", lines.data(), lines.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool once = (WriteSetFiles(), true);
    (void)once;
    for (const int piece : {0, 2}) {
        const std::string bytes = PieceBytes(piece);
        WriteFile(PiecePath(piece), bytes.data(), bytes.size());
    }
    const std::size_t cut = size / 2;
    WriteFile(Folder() + "/x.par2", data, cut);
    WriteFile(Folder() + "/x.vol0+1.par2", data + cut, size - cut);
    const std::string head = Folder() + "/x.kdh";

    SilentHost host;
    const RecoveryVerification verified = VerifyWithRecovery(head, host);
    if (!verified.checked.verification.pieces ||
        (*verified.checked.verification.pieces)[1].mark == PieceMark::Good) {
        std::abort();  // the missing piece passed
    }
    RepairOptions options;
    options.memoryLimit = 1 << 20;
    ReportRepair(RepairSet(head, options), head, host);

    const std::set<std::string> allowed = {"x.kdh",   "x.sha256", "x.par2", "x.vol0+1.par2",
                                           "x_1.skf", "x_2.skf",  "x_3.skf"};
    for (const auto& entry : std::filesystem::directory_iterator(Folder())) {
        if (allowed.count(entry.path().filename().string()) == 0) {
            std::abort();
        }
    }
    for (const int piece : {0, 1, 2}) {
        if (std::filesystem::exists(PiecePath(piece)) &&
            ReadFile(PiecePath(piece)) != PieceBytes(piece)) {
            std::abort();  // a piece that is not its own bytes
        }
    }
    std::filesystem::remove(PiecePath(1));
    return 0;
}
