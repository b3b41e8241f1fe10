#pragma once

#include <csignal>
#include <optional>
#include <string>

#include "cli/console_host.h"
#include "engine/operation_host.h"
#include "engine/option_set.h"
#include "engine/outcome.h"

namespace kavendrum {

enum ExitStatus { kSucceeded = 0, kFailed = 1, kUsage = 2, kCancelled = 3 };

// The status a run ends with for how its operation ended.
int ExitFor(Outcome outcome);

// The options every command takes, as the command line gave them.
struct Settings {
    bool yes = false;
    bool no = false;
    int quiet = 0;  // -q once hides progress, twice also the success messages
    bool silent = false;
    bool progress = false;  // the progress line also when standard error is no terminal
    std::string optionsFile;
    // Set by the signal handler when the user asks the run to stop; the hosts watch it.
    const volatile std::sig_atomic_t* stopSignal = nullptr;

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
    std::string optionFilePath() const;
};

// The option set is loaded before any command, as at the desktop program's start; nothing, after
// telling the host, when it cannot be.
std::optional<OptionSet> LoadOptionSet(const std::string& path, OperationHost& host);

}  // namespace kavendrum
