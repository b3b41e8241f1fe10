// A command-line door to the recovery engine, for the checks against another PAR2 tool and for
// the benchmark:
//   par2_tool create FOLDER BASE WANTED PIECE_SIZE NAME...   writes BASE.par2 and BASE.vol*.par2
//   par2_tool repair FOLDER BASE NAME...                     rebuilds bad pieces from BASE*.par2
//   par2_tool check FOLDER BASE NAME...                      says what repair would do
// Memory limit in MiB from KAVENDRUM_PAR2_MEMORY_MIB. Exit status 0 on success, 2 when too few
// recovery slices are left, 1 otherwise.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/io/file_system.h"
#include "engine/par2/recovery_files.h"
#include "engine/par2/recovery_repair.h"
#include "engine/paths.h"

namespace {

using namespace kavendrum;
using namespace kavendrum::par2;

std::uint64_t MemoryLimit() {
    const char* text = std::getenv("KAVENDRUM_PAR2_MEMORY_MIB");
    return (text != nullptr ? std::strtoull(text, nullptr, 10) : 256) << 20;
}

std::string InFolder(const std::string& folder, const std::string& name) {
    return WithTrailingSeparator(folder) + name;
}

int Create(const std::string& folder, const std::string& base, int argc, char** argv) {
    RecoveryRequest request;
    request.folder = folder;
    request.baseName = base;
    request.wantedPieces = static_cast<std::uint32_t>(std::strtoul(argv[0], nullptr, 10));
    request.pieceSize = std::strtoull(argv[1], nullptr, 10);
    request.memoryLimit = MemoryLimit();
    for (int i = 2; i < argc; ++i) {
        request.pieceNames.push_back(argv[i]);
        auto file = File::OpenSharedForReading(InFolder(folder, argv[i]));
        auto length = file.ok() ? file.value().Length() : FileResult<std::uint64_t>(0);
        request.pieceSizes.push_back(length.ok() ? length.value() : 0);
    }
    const RecoveryResult result = CreateRecoveryFiles(request);
    std::printf(
        "slice size %llu, %u input slices, %u recovery slices, %u of at most %u pieces, "
        "%s\n",
        static_cast<unsigned long long>(result.plan.sliceSize), result.plan.inputSlices,
        result.plan.recoverySlices, result.plan.repairablePieces, result.plan.mostRepairable,
        result.plan.describedInEachFile ? "described in each file" : "index only");
    if (result.status == RecoveryStatus::CannotMeet) {
        std::printf("at most %u pieces can be made repairable\n", result.plan.mostRepairable);
    }
    if (result.status == RecoveryStatus::Failed) {
        std::printf("failed: %s\n", FileErrorText(result.error).c_str());
    }
    return result.status == RecoveryStatus::Written ? 0 : 1;
}

int Repair(const std::string& folder, const std::string& base, bool checkOnly, int argc,
           char** argv) {
    RepairRequest request;
    request.checkOnly = checkOnly;
    request.memoryLimit = MemoryLimit();
    for (int i = 0; i < argc; ++i) {
        request.piecePaths.push_back(InFolder(folder, argv[i]));
    }
    ListFolder(folder, [&](const std::string& name) {
        if (name.size() > base.size() + 5 && name.compare(0, base.size() + 1, base + ".") == 0 &&
            name.compare(name.size() - 5, 5, ".par2") == 0) {
            request.recoveryPaths.push_back(InFolder(folder, name));
        }
    });
    const RepairResult result = RepairPieces(request);
    static const char* kConditions[] = {"good", "missing", "damaged", "not in set"};
    for (std::size_t p = 0; p < result.pieces.size(); ++p) {
        std::printf("%s: %s%s\n", argv[p],
                    kConditions[static_cast<int>(result.pieces[p].condition)],
                    result.pieces[p].rebuilt ? ", rebuilt" : "");
    }
    static const char* kStatus[] = {"all good",        "repairable", "repaired", "not enough",
                                    "no recovery set", "unsolvable", "failed"};
    std::printf("%s: %u missing slices, %u recovery slices",
                kStatus[static_cast<int>(result.status)], result.missingSlices,
                result.recoverySlices);
    if (result.status == RepairStatus::NotEnough) {
        std::printf(", %u more needed (%u pieces)", result.moreSlicesNeeded,
                    result.morePiecesNeeded);
    }
    std::printf("\n");
    switch (result.status) {
        case RepairStatus::AllGood:
        case RepairStatus::Repairable:
        case RepairStatus::Repaired:
            return 0;
        case RepairStatus::NotEnough:
            return 2;
        default:
            return 1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4) {
        const std::string command = argv[1];
        if (command == "create" && argc >= 6) {
            return Create(argv[2], argv[3], argc - 4, argv + 4);
        }
        if (command == "repair" || command == "check") {
            return Repair(argv[2], argv[3], command == "check", argc - 4, argv + 4);
        }
    }
    std::fprintf(stderr, "usage: par2_tool create|repair|check FOLDER BASE ...\n");
    return 1;
}
