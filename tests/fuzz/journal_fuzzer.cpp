// Feeds arbitrary journals to the reader, to the search for an interrupted merge, to the
// verification that counts the pieces a journal vouches for, and to a merge that may take one up.
// A journal that decodes is also pointed at the file the merge would take up, so that the checks
// behind the file's identity are reached too.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/content_verification.h"
#include "engine/head_file.h"
#include "engine/io/file_system.h"
#include "engine/merge_journal.h"
#include "engine/merge_operation.h"
#include "fuzz_support.h"

namespace {

using namespace kavendrum;
using namespace kavendrum::fuzz;

// x.kdh for 4007 bytes in pieces of 2000, its three pieces, and the folder "out" that the merges
// write into.
const std::string& Folder() {
    static const std::string folder = [] {
        const std::string made = MakeFolder("kavendrum-journal-fuzz-XXXXXX");
        const auto head = EncodeHeadFile(MakeHeadFileInfo(4007, 3, 2000, "bin"));
        WriteFile(made + "/x.kdh", head.data(), head.size());
        const std::string bytes(2000, 'p');
        WriteFile(made + "/x_1.skf", bytes.data(), 2000);
        WriteFile(made + "/x_2.skf", bytes.data(), 2000);
        WriteFile(made + "/x_3.skf", bytes.data(), 7);
        std::filesystem::create_directory(made + "/out");
        return made;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string journalPath = Folder() + "/x.kdj";
    const std::string output = Folder() + "/out/x.bin";
    auto journal = DecodeJournal(text);
    if (journal) {
        // Whatever decodes says the same once written again, and never vouches for nothing.
        if (DecodeJournal(EncodeJournal(*journal)) != journal || journal->piecesMerged == 0 ||
            journal->startLength == 0) {
            std::abort();
        }
        const std::string partial = PartialPath(output, journal->partial);
        const std::string kept(static_cast<std::size_t>(std::min<std::uint64_t>(
                                   journal->outputLength, std::uint64_t{1} << 16)),
                               'p');
        WriteFile(partial, kept.data(), kept.size());
        if (const auto identity = IdentityOf(partial)) {
            journal->output = *identity;
        }
        const std::string encoded = EncodeJournal(*journal);
        WriteFile(journalPath, encoded.data(), encoded.size());
    } else {
        WriteFile(journalPath, data, size);
    }
    const HeadFileInfo info = MakeHeadFileInfo(4007, 3, 2000, "bin");
    (void)ReadJournal(journalPath, info);
    const PieceSet set = *PieceSet::OfHeadFile(Folder() + "/x.kdh");
    (void)FindInterruptedMerge(set, info, output, PiecesOnDisk::Find(set, info.pieceCount));
    SilentHost host;
    (void)VerifyWithChecksums(Folder() + "/x.kdh", host, output);
    // Pieces are never removed here, whatever the journal says, so every input meets the same set.
    OptionSet options;
    options.deleteAfterMerge = 0;
    options.overwriteMode = 0;
    options.verifyBeforeMerge = size % 2;
    RunMerge({Folder() + "/x.kdh", Folder() + "/out", output}, &options, host);
    for (const auto& entry : std::filesystem::directory_iterator(Folder() + "/out")) {
        std::filesystem::remove_all(entry.path());
    }
    std::filesystem::remove(journalPath);
    return 0;
}
