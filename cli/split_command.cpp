#include "cli/split_command.h"

#include <cstdio>

#include "cli/earlier_pieces_note.h"
#include "cli/rejoin_command.h"
#include "engine/io/file.h"
#include "engine/paths.h"
#include "engine/split_operation.h"
#include "engine/stream_split.h"

namespace kavendrum {

namespace {

// After a split that wrote its pieces and its head file: the shell command that rebuilds the
// file without this program.
void PrintRejoinCommand(const Settings& settings, const std::string& destination,
                        const std::string& name, const SplitResult& split) {
#ifdef _WIN32
    (void)settings, (void)destination, (void)name, (void)split;
#else
    if (split.pieceCount == 0 || !settings.Speaks()) {
        return;
    }
    const BaseName names = SplitBaseName(GetFileName(name));
    std::printf(
        "To rejoin without Kavendrum: %s\n",
        RejoinCommandFrom(destination, names.base, names.extension, split.pieceCount).c_str());
#endif
}

// The default piece size is the desktop form's, made for floppy disks; a split into more pieces
// than anyone would want to handle says so, and how to choose fewer. The split still runs.
void WarnOfManyPieces(const Settings& settings, ConsoleHost& host, const std::string& source,
                      std::uint32_t pieceSize) {
    constexpr std::uint64_t kManyPieces = 1000;
    const auto size = SourceSize(source);
    if (!size || !settings.Speaks()) {
        return;
    }
    const std::uint64_t count = *size / pieceSize + 1;
    if (count > kManyPieces) {
        host.Complain("this split makes " + std::to_string(count) +
                      " pieces; --size (such as --size 100M) or --pieces N makes fewer");
    }
}

SplitResult SplitStandardInput(const SplitArguments& arguments, const SplitChoice& plan,
                               const OptionSet& options, ConsoleHost& host) {
    auto input = File::OpenStandard(File::Standard::Input, "standard input");
    if (!input.ok()) {
        host.ReportFileError(input.error());
        return {};
    }
    // As mkdir -p would: the missing parents of the destination are made too.
    StreamSplitRequest request{*arguments.name, arguments.destination, plan.pieceSize,
                               arguments.checksums, FolderCreation::WithParents};
    request.recovery = plan.recovery;
    // Replacing an earlier set, its pieces beyond the new count go too.
    request.removeEarlierPieces = true;
    return SplitStream(request, input.value(), &options, host);
}

SplitResult SplitNamedFile(const Settings& settings, const SplitArguments& arguments,
                           const SplitChoice& plan, const OptionSet& options, ConsoleHost& host) {
    host.SetTotalBytes(SourceSize(arguments.source).value_or(0));
    WarnOfManyPieces(settings, host, arguments.source, plan.pieceSize);
    SplitRequest request{arguments.source, arguments.destination, plan.pieceSize};
    request.writeChecksums = arguments.checksums;
    request.creation = FolderCreation::WithParents;
    request.removeEarlierPieces = true;
    request.recovery = plan.recovery;
    return SplitFile(request, &options, host);
}

}  // namespace

std::optional<std::uint64_t> SourceSize(const std::string& path) {
    auto source = File::OpenForReading(path);
    if (!source.ok()) {
        return std::nullopt;
    }
    const auto length = source.value().Length();
    return length.ok() ? std::optional(length.value()) : std::nullopt;
}

int SplitCommand(const Settings& settings, const SplitArguments& arguments,
                 const SplitChoice& plan) {
    ConsoleHost host(settings.answering(), settings.voice());
    host.WatchStopSignal(settings.stopSignal);
    const auto options = LoadOptionSet(settings.optionFilePath(), host);
    if (!options) {
        return kFailed;
    }
    const bool fromInput = arguments.FromStandardInput();
    const SplitResult split = fromInput ? SplitStandardInput(arguments, plan, *options, host)
                                        : SplitNamedFile(settings, arguments, plan, *options, host);
    // Also after a failure that came later, such as the batch file's: the pieces are complete.
    if (host.ReportedSuccess()) {
        PrintRejoinCommand(settings, arguments.destination,
                           fromInput ? *arguments.name : arguments.source, split);
    }
    PrintEarlierPieces(split.earlier, settings.Speaks(), host);
    return ExitFor(split.outcome);
}

}  // namespace kavendrum
