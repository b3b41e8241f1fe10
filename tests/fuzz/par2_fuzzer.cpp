// Feeds arbitrary recovery files to the packet reader and to the repair of a small set whose
// second piece is missing, and checks that the repair never leaves anything in the folder but
// the set's own pieces, each either untouched or rebuilt whole.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "engine/par2/par2_format.h"
#include "engine/par2/recovery_repair.h"
#include "fuzz_support.h"

namespace {

using namespace kavendrum::par2;
using namespace kavendrum::fuzz;

constexpr int kPieces = 3;

std::string PieceBytes(int piece) {
    std::string bytes(piece == 2 ? 700 : 2000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 31 + piece * 7);
    }
    return bytes;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

const std::string& Folder() {
    static const std::string folder = [] {
        const std::string made = MakeFolder("kavendrum-par2-fuzz-XXXXXX");
        return made;
    }();
    return folder;
}

std::string PiecePath(int piece) {
    return Folder() + "/x_" + std::to_string(piece + 1) + ".skf";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (int piece = 0; piece < kPieces; ++piece) {
        const std::string bytes = PieceBytes(piece);
        if (piece != 1) {
            WriteFile(PiecePath(piece), bytes.data(), bytes.size());
        }
    }
    const std::string recovery = Folder() + "/x.par2";
    WriteFile(recovery, data, size);
    RepairRequest request;
    for (int piece = 0; piece < kPieces; ++piece) {
        request.piecePaths.push_back(PiecePath(piece));
    }
    request.recoveryPaths = {recovery};
    request.memoryLimit = 1 << 20;
    request.threads = 1;
    const RepairResult result = RepairPieces(request);
    // Only the pieces and the recovery file may be there, and a piece that is there is its own
    // bytes: a rebuilt piece is renamed into place only once it matches the set's MD5, which a
    // hostile set can make anything, so only the names and the good pieces are checked.
    const std::set<std::string> allowed = {"x.par2", "x_1.skf", "x_2.skf", "x_3.skf"};
    for (const auto& entry : std::filesystem::directory_iterator(Folder())) {
        if (allowed.count(entry.path().filename().string()) == 0) {
            std::abort();
        }
    }
    for (const int piece : {0, 2}) {
        if (ReadFile(PiecePath(piece)) != PieceBytes(piece) && !result.pieces[piece].rebuilt) {
            std::abort();  // a piece changed without being rebuilt
        }
    }
    std::filesystem::remove(PiecePath(1));
    return 0;
}
