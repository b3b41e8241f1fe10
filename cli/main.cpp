// kavendrum-cli: splits, verifies and merges from a terminal, over the same engines as the
// desktop program.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <map>
#include <new>
#include <optional>

#include "cli/command_hint.h"
#include "cli/console_host.h"
#include "cli/earlier_pieces_note.h"
#include "cli/help_text.h"
#include "cli/namesake_hint.h"
#include "cli/piece_plan.h"
#include "cli/piece_rows.h"
#include "cli/rejoin_command.h"
#include "cli/repair_command.h"
#include "cli/size_text.h"
#include "engine/checksum_file.h"
#include "engine/content_verification.h"
#include "engine/head_file.h"
#include "engine/io/file.h"
#include "engine/io/file_system.h"
#include "engine/merge_operation.h"
#include "engine/object_file_name.h"
#include "engine/paths.h"
#include "engine/piece_set.h"
#include "engine/recovery_operation.h"
#include "engine/split_operation.h"
#include "engine/stream_split.h"
#include "engine/verification.h"
#include "options/option_fields.h"
#include "options/option_file.h"

namespace kavendrum {
namespace {

// The signal that asked the run to stop, or 0. Set only by the handler below, which may touch
// nothing else; the host reads it between blocks.
volatile std::sig_atomic_t g_stopSignal = 0;

void AskToStop(int signal) {
    g_stopSignal = signal;
}

// SIGINT and SIGTERM ask the run to stop and remove what it made; the handler goes with the first
// signal, so a second one ends the program at once. A write past the file size limit fails as a
// write and is reported, instead of killing the program.
void HandleSignals() {
#ifdef _WIN32
    // The runtime's handler goes by itself once it has run.
    std::signal(SIGINT, AskToStop);
    std::signal(SIGTERM, AskToStop);
#else
    struct sigaction action {};
    action.sa_handler = AskToStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

enum ExitStatus { kSucceeded = 0, kFailed = 1, kUsage = 2, kCancelled = 3 };

int ExitFor(Outcome outcome) {
    switch (outcome) {
        case Outcome::Succeeded:
            return kSucceeded;
        case Outcome::Cancelled:
            return kCancelled;
        case Outcome::Failed:
        case Outcome::Interrupted:
            break;
    }
    return kFailed;
}

// The largest piece a head file can state, and the largest file FAT32 holds.
constexpr std::uint32_t kLargestCliPieceSize = std::numeric_limits<std::uint32_t>::max();

struct Settings {
    bool yes = false;
    bool no = false;
    int quiet = 0;  // -q once hides progress, twice also the success messages
    bool silent = false;
    bool progress = false;  // the progress line also when standard error is no terminal
    std::string optionsFile;

    // Whether success messages and the lines that go with them are shown.
    bool Speaks() const { return !silent && quiet < 2; }
    Voice voice() const {
        Voice voice;
        voice.progress = !silent && quiet == 0;
        voice.progressAlways = progress;
        voice.successMessages = Speaks();
        return voice;
    }

    Answering answering() const {
        return yes ? Answering::AlwaysOk : no ? Answering::AlwaysCancel : Answering::Ask;
    }
    std::string optionFilePath() const {
        return optionsFile.empty() ? DefaultOptionFilePath() : optionsFile;
    }
};

// The option set is loaded before any command, as at the desktop program's start.
std::optional<OptionSet> LoadOptionSet(const std::string& path, OperationHost& host) {
    OptionSet options;
    const LoadResult loaded = LoadOptions(path, options);
    switch (loaded.status) {
        case LoadStatus::Loaded:
            return options;
        case LoadStatus::Failed:
            host.Notify(NoticeOf(NoticeId::InitFailed, path));
            break;
        case LoadStatus::Aborted:
            host.ReportFileError(loaded.error);
            break;
    }
    return std::nullopt;
}

// What a command shows before it runs; the engines report whatever is wrong with the file.
std::optional<HeadFileInfo> PeekNamedHeadFile(const std::string& headPath) {
    return IsHeadFileName(headPath) ? PeekHeadFile(headPath) : std::nullopt;
}

// What the split command was given, before it is turned into a request.
struct SplitArguments {
    std::string source;
    std::string destination;
    std::optional<std::string> size;
    std::optional<std::uint32_t> pieces;
    std::optional<std::string> name;
    bool checksums = true;  // --no-checksums leaves the checksum file out
    std::optional<std::string> recovery;
    std::optional<std::string> memory;

    bool FromStandardInput() const { return source == "-"; }
};

// The piece size that --size asks for; a text that is no size, or one out of range, is a usage
// error.
std::uint32_t PieceSizeFromText(const std::string& text) {
    const auto size = ReadSize(text);
    if (!size) {
        throw CLI::ValidationError("--size", SizeRefusal(text));
    }
    if (*size < 1 || *size > kLargestCliPieceSize) {
        throw CLI::ValidationError("--size", "'" + text + "' is not a piece size from 1 to " +
                                                 std::to_string(kLargestCliPieceSize) +
                                                 " bytes (--size fat32)");
    }
    return static_cast<std::uint32_t>(*size);
}

// The recovery data held at once that --memory asks for; a usage error when it is no size.
std::uint64_t MemoryLimitFromText(const std::optional<std::string>& text) {
    if (!text) {
        return kDefaultRecoveryMemory;
    }
    const auto size = ReadSize(*text);
    if (!size || *size < 1) {
        throw CLI::ValidationError(
            "--memory", size ? "'" + *text + "' is no amount of memory" : SizeRefusal(*text));
    }
    return *size;
}

// What --recovery and --memory ask a split for.
RecoveryChoice RecoveryFromArguments(const SplitArguments& arguments) {
    RecoveryChoice choice;
    choice.memoryLimit = MemoryLimitFromText(arguments.memory);
    if (arguments.recovery) {
        const auto amount = ReadRecoveryAmount(*arguments.recovery);
        if (!amount) {
            throw CLI::ValidationError("--recovery", "'" + *arguments.recovery +
                                                         "' is neither a count of pieces (3) "
                                                         "nor a percentage from 1% to 100%");
        }
        choice.amount = *amount;
    }
    return choice;
}

// The size of a source as a split finds it, a disk's too; nothing when it cannot be read, for the
// split itself to say why.
std::optional<std::uint64_t> SourceSize(const std::string& path) {
    auto source = File::OpenForReading(path);
    if (!source.ok()) {
        return std::nullopt;
    }
    const auto length = source.value().Length();
    return length.ok() ? std::optional(length.value()) : std::nullopt;
}

// Checks what the parser cannot and works out the piece size; usage errors are thrown.
std::uint32_t PlanSplit(const SplitArguments& arguments) {
    if (arguments.FromStandardInput()) {
        if (!arguments.name) {
            throw CLI::ValidationError("--name", "splitting standard input needs --name NAME");
        }
        if (arguments.pieces) {
            throw CLI::ValidationError("--pieces",
                                       "standard input's size is not known until its end; "
                                       "use --size");
        }
        const std::string& name = *arguments.name;
        if (name.empty() || name == "." || name == ".." || LeafName(name) != name) {
            throw CLI::ValidationError("--name", "'" + name + "' is not a file name");
        }
    } else if (arguments.name) {
        throw CLI::ValidationError("--name", "only standard input (SOURCE -) takes a name");
    }
    if (arguments.size) {
        return PieceSizeFromText(*arguments.size);
    }
    if (!arguments.pieces) {
        return kDefaultPieceSize;
    }
    const auto fileSize = SourceSize(arguments.source);
    if (!fileSize) {
        return kDefaultPieceSize;
    }
    const auto size = PieceSizeForCount(*fileSize, *arguments.pieces);
    if (!size) {
        throw CLI::ValidationError("--pieces", "a file of " + std::to_string(*fileSize) +
                                                   " bytes cannot be cut into " +
                                                   std::to_string(*arguments.pieces) + " pieces");
    }
    return *size;
}

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

// Verification without a checksum file compares sizes alone: a changed byte would pass.
void NoteSizesOnly(const Settings& settings, ConsoleHost& host, const std::string& headPath) {
    const auto set = PieceSet::OfHeadFile(headPath);
    if (!settings.Speaks() || !set) {
        return;
    }
    const std::string checksums = set->ChecksumPath();
    if (!FileExists(checksums)) {
        host.Complain("no checksum file " + checksums +
                      ": only the pieces' sizes were checked, not their content");
    }
}

int Split(const Settings& settings, const SplitArguments& arguments, std::uint32_t pieceSize,
          const RecoveryChoice& recovery) {
    ConsoleHost host(settings.answering(), settings.voice());
    host.WatchStopSignal(&g_stopSignal);
    const auto options = LoadOptionSet(settings.optionFilePath(), host);
    if (!options) {
        return kFailed;
    }
    SplitResult split;
    std::string name = arguments.source;
    if (arguments.FromStandardInput()) {
        name = *arguments.name;
        auto input = File::OpenStandard(File::Standard::Input, "standard input");
        if (!input.ok()) {
            host.ReportFileError(input.error());
            return kFailed;
        }
        // As mkdir -p would: the missing parents of the destination are made too.
        StreamSplitRequest request{name, arguments.destination, pieceSize, arguments.checksums,
                                   FolderCreation::WithParents};
        request.recovery = recovery;
        // Replacing an earlier set, its pieces beyond the new count go too.
        request.removeEarlierPieces = true;
        split = SplitStream(request, input.value(), &*options, host);
    } else {
        host.SetTotalBytes(SourceSize(arguments.source).value_or(0));
        WarnOfManyPieces(settings, host, arguments.source, pieceSize);
        SplitRequest request{arguments.source, arguments.destination, pieceSize};
        request.writeChecksums = arguments.checksums;
        request.creation = FolderCreation::WithParents;
        request.removeEarlierPieces = true;
        request.recovery = recovery;
        split = SplitFile(request, &*options, host);
    }
    // Also after a failure that came later, such as the batch file's: the pieces are complete.
    if (host.ReportedSuccess()) {
        PrintRejoinCommand(settings, arguments.destination, name, split);
    }
    PrintEarlierPieces(split.earlier, settings.Speaks(), host);
    return ExitFor(split.outcome);
}
int Verify(const Settings& settings, const std::string& headPath) {
    ConsoleHost host(settings.answering(), settings.voice());
    if (!LoadOptionSet(settings.optionFilePath(), host)) {
        return kFailed;
    }
    // Pieces an interrupted merge has removed count only when that merge, into the file a merge
    // would write by default, can be taken up.
    std::string output;
    if (const auto info = PeekNamedHeadFile(headPath)) {
        host.SetTotalBytes(WholeFileSize(*info));
        std::string folder = GetFolderPart(headPath);
        if (folder.empty()) {
            folder = std::string(".") + kPathSeparator;
        }
        output = FormObjectFileName(folder, headPath, false, "", info->extension)
                     .value_or(std::string());
    }
    const RecoveryVerification verified = VerifyWithRecovery(headPath, host, output);
    const ContentVerification& checked = verified.checked;
    const Verification& verification = checked.verification;
    if (!verification.pieces) {
        return kFailed;
    }
    PrintRows(stdout, *verification.pieces, false);
    PrintReasons(checked);
    PrintBadSummary(verification, headPath);
    if (verification.outcome == VerifyOutcome::Failed) {
        PrintNamesakeHints(headPath, host);
    }
    PrintRecoverySummary(verified, headPath);
    NoteSizesOnly(settings, host, headPath);
    const bool passed = verification.outcome == VerifyOutcome::Passed;
    std::puts(passed ? "Passed" : "Failed");
    return passed ? kSucceeded : kFailed;
}

// The command line as the host of a merge. It prints the rows of the verification run first as
// soon as it ends: only the rows that failed, on standard error, since standard output may carry
// the rebuilt file.
class MergeConsoleHost : public ConsoleHost {
  public:
    MergeConsoleHost(const Settings& settings, Voice voice, const std::string& headPath)
        : ConsoleHost(settings.answering(), voice), m_settings(settings), m_headPath(headPath) {}

    void PiecesChecked(const ContentVerification& checked) override {
        m_verified = true;
        const Verification& verification = checked.verification;
        if (verification.pieces && verification.outcome == VerifyOutcome::Failed) {
            PrintRows(stderr, *verification.pieces, true);
            PrintReasons(checked);
            PrintBadSummary(verification, m_headPath);
            PrintNamesakeHints(m_headPath, *this);
        }
        if (verification.pieces) {
            NoteSizesOnly(m_settings, *this, m_headPath);
        }
    }

    // Whether the merge verified its pieces before it began.
    bool Verified() const { return m_verified; }

  private:
    const Settings& m_settings;
    std::string m_headPath;
    bool m_verified = false;
};

struct MergeArguments {
    std::string head;
    std::optional<std::string> destination;
    std::optional<std::string> prefix;
    std::optional<std::string> memory;
    bool toStandardOutput = false;
};

int Merge(const Settings& settings, const MergeArguments& arguments) {
    // With the rebuilt file on standard output, everything else goes to standard error.
    Voice voice = settings.voice();
    if (arguments.toStandardOutput) {
        voice.messages = stderr;
    }
    MergeConsoleHost host(settings, voice, arguments.head);
    host.WatchStopSignal(&g_stopSignal);
    const auto options = LoadOptionSet(settings.optionFilePath(), host);
    if (!options) {
        return kFailed;
    }
    const std::string& headPath = arguments.head;
    MergeRequest request;
    request.headPath = headPath;
    // A bare name is a file in the current folder, which is where the rebuilt file goes too.
    request.destinationFolder = arguments.destination.value_or(GetFolderPart(headPath));
    if (request.destinationFolder.empty()) {
        request.destinationFolder = std::string(".") + kPathSeparator;
    }
    // Without verification the engine would go on to an output without a name; the name is what
    // is wrong, so say that.
    if (!IsHeadFileName(headPath) && File::OpenForReading(headPath).ok()) {
        host.Notify(NoticeOf(NoticeId::HeadFileNameInvalid, headPath));
        return kFailed;
    }
    if (const auto info = PeekNamedHeadFile(headPath)) {
        // A prefix that names no file of its own leaves the output empty: nothing is created.
        request.outputPath =
            FormObjectFileName(request.destinationFolder, headPath, arguments.prefix.has_value(),
                               arguments.prefix.value_or(""), info->extension)
                .value_or(std::string());
        host.SetTotalBytes(WholeFileSize(*info));
    }
    std::optional<File> output;
    if (arguments.toStandardOutput) {
        auto opened = File::OpenStandard(File::Standard::Output, "standard output");
        if (!opened.ok()) {
            host.ReportFileError(opened.error());
            return kFailed;
        }
        output.emplace(std::move(opened.value()));
        request.stream = &*output;
    }
    // Pieces that the recovery files can rebuild are rebuilt first, when the user agrees.
    if (!OfferRepairBeforeMerge(host, headPath, MemoryLimitFromText(arguments.memory))) {
        return kFailed;
    }
    // A failed verification shows no message of its own; the rows that failed tell why. The
    // engines name each phase of the run for the progress line.
    const Outcome outcome = RunMerge(request, &*options, host).outcome;
    // Without a verification first, a missing piece ends the merge half-way.
    if (outcome == Outcome::Failed && !host.Verified()) {
        PrintNamesakeHints(headPath, host);
    }
    return ExitFor(outcome);
}
// FIELD=NUMBER, then the value's name: the part before the blank reads back as it is.
void ShowOptions(const OptionSet& options) {
    for (const auto& field : OptionFields()) {
        const std::int32_t value = options.*field.member;
        std::printf("%s=%d (%s)\n", std::string(field.name).c_str(), value,
                    std::string(field.NameOf(value).name).c_str());
    }
}

std::string FieldNames() {
    std::string names;
    for (const auto& field : OptionFields()) {
        names += (names.empty() ? "" : ", ") + std::string(field.name);
    }
    return names;
}

// FIELD=VALUE pairs onto the set, VALUE a name or a number; false for an unknown field or a
// value that is neither.
bool ApplyAssignments(const std::vector<std::string>& assignments, OptionSet& options) {
    for (const auto& assignment : assignments) {
        const auto equals = assignment.find('=');
        const OptionField* field =
            equals == std::string::npos ? nullptr : FindOptionField(assignment.substr(0, equals));
        if (field == nullptr && FindOptionField(assignment) != nullptr) {
            const OptionField& named = *FindOptionField(assignment);
            std::fprintf(stderr, "kavendrum-cli: '%s' needs a value, such as %s=%s or %s=%s\n",
                         assignment.c_str(), assignment.c_str(),
                         std::string(named.off.name).c_str(), assignment.c_str(),
                         std::string(named.on.name).c_str());
            return false;
        }
        if (field == nullptr) {
            std::fprintf(stderr, "kavendrum-cli: unknown option field in '%s'\n",
                         assignment.c_str());
            std::fprintf(stderr, "kavendrum-cli: the fields are %s\n", FieldNames().c_str());
            return false;
        }
        const std::string text = assignment.substr(equals + 1);
        const auto value = ReadOptionValue(*field, text);
        if (!value) {
            std::fprintf(stderr, "kavendrum-cli: '%s' is neither %s, %s nor a 32-bit integer\n",
                         text.c_str(), std::string(field->off.name).c_str(),
                         std::string(field->on.name).c_str());
            return false;
        }
        options.*field->member = *value;
    }
    return true;
}

// A reset says nothing when it is done; a change of values says so.
int ReportStore(const StoreResult& stored, const std::string& path, ConsoleHost& host,
                bool sayDone) {
    switch (stored.status) {
        case StoreStatus::Stored:
            if (sayDone) {
                host.Notify(NoticeOf(NoticeId::OptionsChanged));
            }
            return kSucceeded;
        case StoreStatus::OpenFailed:
            host.Notify(NoticeOf(NoticeId::OptionFileNotSaved, path));
            break;
        case StoreStatus::WriteFailed:
            host.ReportFileError(stored.error);
            break;
    }
    return kFailed;
}

int Repair(const Settings& settings, const std::string& headPath, std::uint64_t memoryLimit) {
    ConsoleHost host(settings.answering(), settings.voice());
    if (!LoadOptionSet(settings.optionFilePath(), host)) {
        return kFailed;
    }
    return RepairCommand(host, headPath, memoryLimit) ? kSucceeded : kFailed;
}

int Options(const Settings& settings, const std::string& action,
            const std::vector<std::string>& assignments) {
    Voice voice = settings.voice();
    voice.progress = false;
    ConsoleHost host(settings.answering(), voice);
    const std::string path = settings.optionFilePath();
    auto options = LoadOptionSet(path, host);
    if (!options) {
        return kFailed;
    }
    if (action == "show") {
        ShowOptions(*options);
        return kSucceeded;
    }
    if (action == "reset") {
        if (!host.Ask({.id = QuestionId::ResetOptions, .path = path})) {
            return kCancelled;
        }
        return ReportStore(StoreOptions(path, OptionSet{}, *options), path, host, false);
    }
    OptionSet values = *options;
    if (!ApplyAssignments(assignments, values)) {
        return kUsage;
    }
    return ReportStore(StoreOptions(path, values, *options), path, host, true);
}

// A line that names no command gets a better answer than the parser's: what was probably meant.
bool RefusedWithHint(int argc, char** argv) {
    const auto hint = CommandHint(std::vector<std::string>(argv + 1, argv + argc));
    if (hint) {
        std::fprintf(stderr, "kavendrum-cli: %s\nRun with --help for more information.\n",
                     hint->c_str());
    }
    return hint.has_value();
}

// What the options command was given.
struct OptionsArguments {
    std::string action = "show";
    std::vector<std::string> assignments;
};

// The options every command takes, before or after it: `split a b --yes`.
void AddGlobalOptions(CLI::App& app, Settings& settings) {
    app.name("kavendrum-cli");
    app.require_subcommand(1);
    app.fallthrough();
    app.footer(MainHelpFooter());
    app.set_version_flag("--version", std::string("kavendrum-cli ") + KAVENDRUM_VERSION,
                         "Show the version and stop");
    auto* yes = app.add_flag("--yes", settings.yes, "Answer OK to every question");
    app.add_flag("--no", settings.no, "Answer Cancel to every question")->excludes(yes);
    app.add_flag("-q,--quiet", settings.quiet, "Show no progress; given twice, as --silent");
    app.add_flag("--silent", settings.silent,
                 "Show neither progress nor success messages; errors are always shown");
    app.add_flag("--progress", settings.progress,
                 "Show progress also when standard error is no terminal, a line a second");
    app.add_option("--options-file", settings.optionsFile,
                   "Use this option file instead of the one beside the program");
}

CLI::App* AddSplitCommand(CLI::App& app, SplitArguments& split) {
    auto* command = app.add_subcommand("split", "Cut a file into pieces");
    command->footer(SplitHelpFooter());
    command->add_option("SOURCE", split.source, "File to split, or - for standard input")
        ->required();
    command->add_option("DESTINATION", split.destination, "Folder for the pieces")->required();
    auto* sizeOption = command->add_option(
        "--size", split.size,
        "Bytes per piece, such as 25M, 650MB, 1.5G, fat32 or email (default 1457664)");
    sizeOption->type_name("SIZE");
    command->add_option("--pieces", split.pieces, "Cut into exactly this many pieces")
        ->type_name("N")
        ->check(CLI::Range(std::uint32_t{1}, std::numeric_limits<std::uint32_t>::max()))
        ->excludes(sizeOption);
    command
        ->add_option("--name", split.name,
                     "With SOURCE -: the file's name, giving base name and extension")
        ->type_name("NAME");
    auto* checksumsFlag =
        command->add_flag("--checksums", split.checksums,
                          "Also write base.sha256, which sha256sum -c can check (the default)");
    command
        ->add_flag_callback(
            "--no-checksums", [&split] { split.checksums = false; }, "Leave base.sha256 out")
        ->excludes(checksumsFlag);
    command
        ->add_option("--recovery", split.recovery,
                     "Also write recovery files (base.par2) that can rebuild N lost pieces, or "
                     "P% of them")
        ->type_name("N|P%");
    command
        ->add_option("--memory", split.memory,
                     "Recovery data held in memory at once, such as 512M (default 256M)")
        ->type_name("SIZE");
    return command;
}

CLI::App* AddVerifyCommand(CLI::App& app, std::string& headPath) {
    auto* command = app.add_subcommand("verify", "Check the pieces a head file names");
    command->footer(VerifyHelpFooter());
    command->add_option("HEAD", headPath, "Head file (.kdh)")->required();
    return command;
}

CLI::App* AddMergeCommand(CLI::App& app, MergeArguments& merge) {
    auto* command = app.add_subcommand("merge", "Join the pieces a head file names");
    command->footer(MergeHelpFooter());
    command->add_option("HEAD", merge.head, "Head file (.kdh)")->required();
    auto* stdoutFlag = command->add_flag("--stdout", merge.toStandardOutput,
                                         "Write the rebuilt file to standard output");
    command
        ->add_option("--dest", merge.destination,
                     "Folder for the rebuilt file (default: the head file's folder)")
        ->excludes(stdoutFlag);
    command->add_option("--prefix", merge.prefix, "Name the rebuilt file after this instead")
        ->excludes(stdoutFlag);
    command
        ->add_option("--memory", merge.memory,
                     "Recovery data held in memory at once while repairing (default 256M)")
        ->type_name("SIZE");
    return command;
}

struct RepairArguments {
    std::string head;
    std::optional<std::string> memory;
};

CLI::App* AddRepairCommand(CLI::App& app, RepairArguments& repair) {
    auto* command = app.add_subcommand(
        "repair", "Rebuild missing or damaged pieces from the recovery files beside them");
    command->footer(RepairHelpFooter());
    command->add_option("HEAD", repair.head, "Head file (.kdh)")->required();
    command
        ->add_option("--memory", repair.memory,
                     "Recovery data held in memory at once (default 256M)")
        ->type_name("SIZE");
    return command;
}

CLI::App* AddOptionsCommand(CLI::App& app, OptionsArguments& options) {
    auto* command = app.add_subcommand("options", "Show, reset or set the options");
    command->footer(OptionsHelpFooter());
    command->add_option("ACTION", options.action, "show, reset or set")
        ->check(CLI::IsMember({"show", "reset", "set"}));
    command->add_option("FIELD=VALUE", options.assignments, "With set: the fields to change");
    return command;
}

// The command line as the parser and this program's own checks read it.
struct CommandLine {
    Settings settings;
    SplitArguments split;
    std::string headPath;
    MergeArguments merge;
    OptionsArguments options;
    CLI::App* splitCommand = nullptr;
    CLI::App* verifyCommand = nullptr;
    CLI::App* mergeCommand = nullptr;
    std::uint32_t pieceSize = kDefaultPieceSize;
    RepairArguments repair;
    CLI::App* repairCommand = nullptr;
    RecoveryChoice recovery;
    std::uint64_t repairMemoryLimit = kDefaultRecoveryMemory;
};

// What the parser cannot check; usage errors are thrown.
void CheckBeyondTheParser(CommandLine& line) {
    if (line.options.action != "set" && !line.options.assignments.empty()) {
        throw CLI::ValidationError("FIELD=VALUE", "only 'set' takes field assignments");
    }
    if (*line.splitCommand) {
        line.pieceSize = PlanSplit(line.split);
        line.recovery = RecoveryFromArguments(line.split);
    }
    if (*line.mergeCommand) {
        MemoryLimitFromText(line.merge.memory);
    }
    if (*line.repairCommand) {
        line.repairMemoryLimit = MemoryLimitFromText(line.repair.memory);
    }
    // Binary data is not for the screen; a pipe or a file is what --stdout is for.
    if (*line.mergeCommand && line.merge.toStandardOutput && IsTerminal(stdout)) {
        throw CLI::ValidationError("--stdout", "standard output is a terminal");
    }
}

int RunCommand(const CommandLine& line) {
    if (*line.splitCommand) {
        return Split(line.settings, line.split, line.pieceSize, line.recovery);
    }
    if (*line.repairCommand) {
        return Repair(line.settings, line.repair.head, line.repairMemoryLimit);
    }
    if (*line.verifyCommand) {
        return Verify(line.settings, line.headPath);
    }
    if (*line.mergeCommand) {
        return Merge(line.settings, line.merge);
    }
    return Options(line.settings, line.options.action, line.options.assignments);
}

int Main(int argc, char** argv) {
    if (RefusedWithHint(argc, argv)) {
        return kUsage;
    }
    CLI::App app{"Kavendrum: cuts a file into pieces of a chosen size and joins them again."};
    CommandLine line;
    AddGlobalOptions(app, line.settings);
    line.splitCommand = AddSplitCommand(app, line.split);
    line.verifyCommand = AddVerifyCommand(app, line.headPath);
    line.mergeCommand = AddMergeCommand(app, line.merge);
    line.repairCommand = AddRepairCommand(app, line.repair);
    AddOptionsCommand(app, line.options);
    try {
        app.parse(argc, argv);
        CheckBeyondTheParser(line);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kUsage;
    }
    return RunCommand(line);
}

int SayAndFail(const char* what) {
    std::fflush(stdout);
    std::fprintf(stderr, "kavendrum-cli: %s\n", what);
    return kFailed;
}

// Main, with anything it throws said in one line and turned into a failure, so that nothing ends
// the program with an abort and a core dump.
int MainSayingWhatWentWrong(int argc, char** argv) {
    try {
        return Main(argc, argv);
    } catch (const std::bad_alloc&) {
        return SayAndFail("out of memory");
    } catch (const std::exception& error) {
        return SayAndFail(error.what());
    } catch (...) {
        return SayAndFail("an unexpected error");
    }
}

}  // namespace
}  // namespace kavendrum

int main(int argc, char** argv) {
#ifndef _WIN32
    // A reader that went away (as `| head -1` does) must not end an operation half way: output
    // to it is dropped, and the exit status still tells how the operation ended.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    kavendrum::HandleSignals();
    const int status = kavendrum::MainSayingWhatWentWrong(argc, argv);
    // Stopped by a signal: the shell's convention, 128 and the signal's number.
    if (const int signal = kavendrum::g_stopSignal; signal != 0) {
        std::fflush(stdout);
        std::fprintf(stderr, "kavendrum-cli: stopped by a signal\n");
        return 128 + signal;
    }
    return status;
}
