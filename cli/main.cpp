// kavendrum-cli: splits, verifies and merges from a terminal, over the same engines as the
// desktop program.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>

#include "cli/console_host.h"
#include "engine/content_verification.h"
#include "engine/head_file.h"
#include "engine/io/file.h"
#include "engine/io/file_system.h"
#include "engine/merge_operation.h"
#include "engine/object_file_name.h"
#include "engine/paths.h"
#include "engine/split_operation.h"
#include "engine/verification.h"
#include "options/option_file.h"

namespace kavendrum {
namespace {

enum ExitStatus { kSucceeded = 0, kFailed = 1, kUsage = 2, kCancelled = 3 };

int ExitFor(Outcome outcome) {
    switch (outcome) {
        case Outcome::Succeeded:
            return kSucceeded;
        case Outcome::Cancelled:
            return kCancelled;
        case Outcome::Failed:
            break;
    }
    return kFailed;
}

struct Settings {
    bool yes = false;
    bool no = false;
    bool quiet = false;
    std::string optionsFile;

    Answering answering() const {
        return yes ? Answering::AlwaysOk : no ? Answering::AlwaysCancel : Answering::Ask;
    }
    std::string optionFilePath() const {
        return optionsFile.empty() ? DefaultOptionFilePath() : optionsFile;
    }
};

const char* MarkText(PieceMark mark) {
    switch (mark) {
        case PieceMark::Good:
            return "Good";
        case PieceMark::Bad:
            return "Bad";
        case PieceMark::Unchecked:
            break;
    }
    return "Unchecked";
}

// The option set is loaded before any command, as at the desktop program's start.
std::optional<OptionSet> LoadOptionSet(const std::string& path, OperationHost& host) {
    OptionSet options;
    const LoadResult loaded = LoadOptions(path, options);
    switch (loaded.status) {
        case LoadStatus::Loaded:
            return options;
        case LoadStatus::Failed:
            host.ShowMessage("Init failed!", "Error");
            break;
        case LoadStatus::Aborted:
            host.ReportFileError(loaded.error);
            break;
    }
    return std::nullopt;
}

std::optional<HeadFileInfo> PeekHeadFile(const std::string& headPath) {
    if (!IsHeadFileName(headPath)) {
        return std::nullopt;
    }
    auto head = File::OpenForReading(headPath);
    if (!head.ok()) {
        return std::nullopt;
    }
    const HeadRead read = ReadHeadFile(head.value());
    if (read.status != HeadReadStatus::Read) {
        return std::nullopt;
    }
    return read.info;
}

void PrintRows(std::FILE* out, const std::vector<PieceEntry>& pieces, bool onlyBad) {
    for (const auto& entry : pieces) {
        if (!onlyBad || entry.mark == PieceMark::Bad) {
            std::fprintf(out, "%s\t%s\t%s\n", MarkText(entry.mark), entry.sizeText.c_str(),
                         entry.path.c_str());
        }
    }
}

// Why each Bad row is bad, on standard error, so that the three columns stay as scripts read them.
void PrintReasons(const ContentVerification& checked) {
    if (!checked.verification.pieces) {
        return;
    }
    std::uint64_t next = 1;  // the first piece of the next row; a row may stand for a run
    for (const auto& entry : *checked.verification.pieces) {
        const std::uint64_t number = next;
        next += entry.count;
        if (entry.mark != PieceMark::Bad) {
            continue;
        }
        const bool content = std::find(checked.contentBad.begin(), checked.contentBad.end(),
                                       number) != checked.contentBad.end();
        std::error_code ignored;
        const char* why = content                                         ? "content differs"
                          : !std::filesystem::exists(entry.path, ignored) ? "missing"
                                                                          : "size differs";
        std::fprintf(stderr, "%s: %s\n", entry.path.c_str(), why);
    }
}

int Split(const Settings& settings, const SplitRequest& request) {
    ConsoleHost host(settings.answering(), !settings.quiet);
    const auto options = LoadOptionSet(settings.optionFilePath(), host);
    if (!options) {
        return kFailed;
    }
    std::error_code ignored;
    const auto size = std::filesystem::file_size(request.sourcePath, ignored);
    host.SetTotalBytes(ignored ? 0 : size);
    if (KindOf(request.sourcePath) == FileKind::Stream) {
        host.ExplainError("File doesn't existed or can not be open!",
                          request.sourcePath + ": not a regular file");
    }
    return ExitFor(RunSplit(request, &*options, host));
}

int Verify(const Settings& settings, const std::string& headPath) {
    ConsoleHost host(settings.answering(), !settings.quiet);
    if (!LoadOptionSet(settings.optionFilePath(), host)) {
        return kFailed;
    }
    if (const auto info = PeekHeadFile(headPath)) {
        host.SetTotalBytes(WholeFileSize(*info));
    }
    const ContentVerification checked = VerifyWithChecksums(headPath, host);
    const Verification& verification = checked.verification;
    if (!verification.pieces) {
        return kFailed;
    }
    PrintRows(stdout, *verification.pieces, false);
    PrintReasons(checked);
    const bool passed = verification.outcome == VerifyOutcome::Passed;
    std::puts(passed ? "Passed" : "Failed");
    return passed ? kSucceeded : kFailed;
}

int Merge(const Settings& settings, const std::string& headPath,
          const std::optional<std::string>& destination, const std::optional<std::string>& prefix) {
    ConsoleHost host(settings.answering(), !settings.quiet);
    const auto options = LoadOptionSet(settings.optionFilePath(), host);
    if (!options) {
        return kFailed;
    }
    MergeRequest request;
    request.headPath = headPath;
    request.destinationFolder = destination ? *destination : GetFolderPart(headPath);
    if (const auto info = PeekHeadFile(headPath)) {
        // A prefix that names no file of its own leaves the output empty: nothing is created.
        request.outputPath =
            FormObjectFileName(request.destinationFolder, headPath, prefix.has_value(),
                               prefix.value_or(""), info->extension)
                .value_or(std::string());
        host.SetTotalBytes(WholeFileSize(*info));
    }
    // A failed verification shows no message of its own; the rows that failed tell why.
    const MergeVerifier verify = [&] {
        const ContentVerification checked = VerifyWithChecksums(headPath, host);
        const Verification& verification = checked.verification;
        if (verification.pieces && verification.outcome == VerifyOutcome::Failed) {
            PrintRows(stderr, *verification.pieces, true);
            PrintReasons(checked);
        }
        return verification.outcome;
    };
    return ExitFor(RunMerge(request, &*options, host, verify));
}

using FieldMap = std::map<std::string, std::int32_t OptionSet::*>;

const FieldMap& OptionFields() {
    static const FieldMap fields = {
        {"splitFolderMode", &OptionSet::splitFolderMode},
        {"deleteAfterSplit", &OptionSet::deleteAfterSplit},
        {"mergeFolderMode", &OptionSet::mergeFolderMode},
        {"deleteAfterMerge", &OptionSet::deleteAfterMerge},
        {"verifyBeforeMerge", &OptionSet::verifyBeforeMerge},
        {"overwriteMode", &OptionSet::overwriteMode},
    };
    return fields;
}

void ShowOptions(const OptionSet& options) {
    for (const char* name : {"splitFolderMode", "deleteAfterSplit", "mergeFolderMode",
                             "deleteAfterMerge", "verifyBeforeMerge", "overwriteMode"}) {
        std::printf("%s=%d\n", name, options.*OptionFields().at(name));
    }
}

// FIELD=VALUE pairs onto the set; false for an unknown field or a value that is no integer.
bool ApplyAssignments(const std::vector<std::string>& assignments, OptionSet& options) {
    for (const auto& assignment : assignments) {
        const auto equals = assignment.find('=');
        const auto field = OptionFields().find(assignment.substr(0, equals));
        if (equals == std::string::npos || field == OptionFields().end()) {
            std::fprintf(stderr, "Error: unknown option field in '%s'\n", assignment.c_str());
            return false;
        }
        const char* begin = assignment.data() + equals + 1;
        const char* end = assignment.data() + assignment.size();
        std::int32_t value = 0;
        const auto parsed = std::from_chars(begin, end, value);
        if (begin == end || parsed.ec != std::errc() || parsed.ptr != end) {
            std::fprintf(stderr, "Error: '%s' is not a 32-bit integer\n", begin);
            return false;
        }
        options.*field->second = value;
    }
    return true;
}

int ReportStore(const StoreResult& stored, ConsoleHost& host, const char* successText) {
    switch (stored.status) {
        case StoreStatus::Stored:
            if (successText != nullptr) {
                host.ShowMessage(successText, "Message");
            }
            return kSucceeded;
        case StoreStatus::OpenFailed:
            host.ShowMessage("Save to option file error!", "Error");
            break;
        case StoreStatus::WriteFailed:
            host.ReportFileError(stored.error);
            break;
    }
    return kFailed;
}

int Options(const Settings& settings, const std::string& action,
            const std::vector<std::string>& assignments) {
    ConsoleHost host(settings.answering(), false);
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
        if (!host.AskOkCancel("Do you really want to reset option?", "Message")) {
            return kCancelled;
        }
        return ReportStore(StoreOptions(path, OptionSet{}, *options), host, nullptr);
    }
    OptionSet values = *options;
    if (!ApplyAssignments(assignments, values)) {
        return kUsage;
    }
    return ReportStore(StoreOptions(path, values, *options), host, "Change options successfully!");
}

int Main(int argc, char** argv) {
    CLI::App app{"Kavendrum: cuts a file into pieces of a chosen size and joins them again."};
    app.require_subcommand(1);
    Settings settings;
    auto* yes = app.add_flag("--yes", settings.yes, "Answer OK to every question");
    app.add_flag("--no", settings.no, "Answer Cancel to every question")->excludes(yes);
    app.add_flag("--quiet", settings.quiet, "Show no progress");
    app.add_option("--options-file", settings.optionsFile,
                   "Use this option file instead of the one beside the program");

    SplitRequest split;
    auto* splitCommand = app.add_subcommand("split", "Cut a file into pieces");
    splitCommand->add_option("SOURCE", split.sourcePath, "File to split")->required();
    splitCommand->add_option("DESTINATION", split.destinationFolder, "Folder for the pieces")
        ->required();
    splitCommand->add_option("--size", split.pieceSize, "Bytes per piece")
        ->check(CLI::Range(std::uint32_t{1}, kLargestCustomPieceSize))
        ->capture_default_str();
    splitCommand->add_flag("--checksums", split.writeChecksums,
                           "Also write base.sha256, which sha256sum -c can check");

    std::string headPath;
    auto* verifyCommand = app.add_subcommand("verify", "Check the pieces a head file names");
    verifyCommand->add_option("HEAD", headPath, "Head file (.kdh)")->required();

    std::optional<std::string> destination;
    std::optional<std::string> prefix;
    auto* mergeCommand = app.add_subcommand("merge", "Join the pieces a head file names");
    mergeCommand->add_option("HEAD", headPath, "Head file (.kdh)")->required();
    mergeCommand->add_option("--dest", destination,
                             "Folder for the rebuilt file (default: the head file's folder)");
    mergeCommand->add_option("--prefix", prefix, "Name the rebuilt file after this instead");

    std::string action = "show";
    std::vector<std::string> assignments;
    auto* optionsCommand = app.add_subcommand("options", "Show, reset or set the options");
    optionsCommand->add_option("ACTION", action, "show, reset or set")
        ->check(CLI::IsMember({"show", "reset", "set"}));
    optionsCommand->add_option("FIELD=VALUE", assignments, "With set: the fields to change");

    try {
        app.parse(argc, argv);
        if (action != "set" && !assignments.empty()) {
            throw CLI::ValidationError("FIELD=VALUE", "only 'set' takes field assignments");
        }
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kUsage;
    }

    if (*splitCommand) {
        return Split(settings, split);
    }
    if (*verifyCommand) {
        return Verify(settings, headPath);
    }
    if (*mergeCommand) {
        return Merge(settings, headPath, destination, prefix);
    }
    return Options(settings, action, assignments);
}

}  // namespace
}  // namespace kavendrum

int main(int argc, char** argv) {
#ifndef _WIN32
    // A reader that went away (as `| head -1` does) must not end an operation half way: output
    // to it is dropped, and the exit status still tells how the operation ended.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    return kavendrum::Main(argc, argv);
}
