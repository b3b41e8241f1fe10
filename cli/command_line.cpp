#include "cli/command_line.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "cli/argument_checks.h"
#include "cli/command_hint.h"
#include "cli/console_host.h"
#include "cli/folder_hint.h"
#include "cli/help_text.h"
#include "cli/merge_command.h"
#include "cli/options_command.h"
#include "cli/repair_command.h"
#include "cli/run_settings.h"
#include "cli/split_command.h"
#include "cli/verify_command.h"

namespace kavendrum {

namespace {

struct RepairArguments {
    std::string head;
    std::optional<std::string> memory;
};

// The command line as the parser and this program's own checks read it.
struct CommandLine {
    Settings settings;
    SplitArguments split;
    std::string headPath;
    MergeArguments merge;
    OptionsArguments options;
    RepairArguments repair;
    CLI::App* splitCommand = nullptr;
    CLI::App* verifyCommand = nullptr;
    CLI::App* mergeCommand = nullptr;
    CLI::App* repairCommand = nullptr;
    SplitChoice splitChoice;
    std::uint64_t mergeMemoryLimit = kDefaultRecoveryMemory;
    std::uint64_t repairMemoryLimit = kDefaultRecoveryMemory;
};

// A line that names no command gets a better answer than the parser's: what was probably meant.
bool RefusedWithHint(int argc, char** argv) {
    const auto hint = CommandHint(std::vector<std::string>(argv + 1, argv + argc));
    if (hint) {
        std::fprintf(stderr, "kavendrum-cli: %s\nRun with --help for more information.\n",
                     hint->c_str());
    }
    return hint.has_value();
}

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

// --checksums, --no-checksums, --recovery and --memory: what a split writes besides its pieces.
void AddSplitExtras(CLI::App& command, SplitArguments& split) {
    auto* checksumsFlag =
        command.add_flag("--checksums", split.checksums,
                         "Also write base.sha256, which sha256sum -c can check (the default)");
    command
        .add_flag_callback(
            "--no-checksums", [&split] { split.checksums = false; }, "Leave base.sha256 out")
        ->excludes(checksumsFlag);
    command
        .add_option("--recovery", split.recovery,
                    "Also write recovery files (base.par2) that can rebuild N lost pieces, or "
                    "P% of them")
        ->type_name("N|P%");
    command
        .add_option("--memory", split.memory,
                    "Recovery data held in memory at once, such as 512M (default 256M)")
        ->type_name("SIZE");
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
    AddSplitExtras(*command, split);
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

// What the parser cannot check; usage errors are thrown.
void CheckBeyondTheParser(CommandLine& line) {
    if (line.options.action != "set" && !line.options.assignments.empty()) {
        throw CLI::ValidationError("FIELD=VALUE", "only 'set' takes field assignments");
    }
    if (*line.splitCommand) {
        line.splitChoice = PlanSplit(line.split);
    }
    if (*line.mergeCommand) {
        line.mergeMemoryLimit = MemoryLimitFromText(line.merge.memory);
    }
    if (*line.repairCommand) {
        line.repairMemoryLimit = MemoryLimitFromText(line.repair.memory);
    }
    // Binary data is not for the screen; a pipe or a file is what --stdout is for.
    if (*line.mergeCommand && line.merge.toStandardOutput && IsTerminal(stdout)) {
        throw CLI::ValidationError("--stdout", "standard output is a terminal");
    }
}

// A command that failed on a HEAD naming a folder ends with the head files in that folder.
int WithFolderHint(int status, const Settings& settings, const std::string& head) {
    if (status == kFailed) {
        if (const auto hint = FolderHeadHint(head)) {
            ConsoleHost(settings.answering(), settings.voice()).Complain(*hint);
        }
    }
    return status;
}

int RunCommand(const CommandLine& line) {
    if (*line.splitCommand) {
        return SplitCommand(line.settings, line.split, line.splitChoice);
    }
    if (*line.repairCommand) {
        return WithFolderHint(
            RepairCommand(line.settings, line.repair.head, line.repairMemoryLimit), line.settings,
            line.repair.head);
    }
    if (*line.verifyCommand) {
        return WithFolderHint(VerifyCommand(line.settings, line.headPath), line.settings,
                              line.headPath);
    }
    if (*line.mergeCommand) {
        return WithFolderHint(MergeCommand(line.settings, line.merge, line.mergeMemoryLimit),
                              line.settings, line.merge.head);
    }
    return OptionsCommand(line.settings, line.options);
}

}  // namespace

int RunCommandLine(int argc, char** argv, const volatile std::sig_atomic_t* stopSignal) {
    if (RefusedWithHint(argc, argv)) {
        return kUsage;
    }
    CLI::App app{"Kavendrum: cuts a file into pieces of a chosen size and joins them again."};
    CommandLine line;
    line.settings.stopSignal = stopSignal;
    AddGlobalOptions(app, line.settings);
    line.splitCommand = AddSplitCommand(app, line.split);
    line.verifyCommand = AddVerifyCommand(app, line.headPath);
    line.mergeCommand = AddMergeCommand(app, line.merge);
    line.repairCommand = AddRepairCommand(app, line.repair);
    AddOptionsCommand(app, line.options);
    // The parser's own complaints name the program as every other error does, so that a script
    // running several tools can tell whose they are.
    app.failure_message([](const CLI::App*, const CLI::Error& error) {
        return std::string("kavendrum-cli: ") + error.what() +
               "\nRun with --help for more information.\n";
    });
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

}  // namespace kavendrum
