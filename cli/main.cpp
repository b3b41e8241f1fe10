// kavendrum-cli: splits, verifies and merges from a terminal, over the same engines as the
// desktop program. Each command lives in a file of its own (split_command, verify_command,
// merge_command, repair_command, options_command); command_line reads the line and picks one.

#include <csignal>
#include <cstdio>
#include <exception>
#include <new>

#include "cli/command_line.h"
#include "cli/run_settings.h"

#ifdef _WIN32
#include "cli/console_win32.h"
#endif

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

int SayAndFail(const char* what) {
    std::fflush(stdout);
    std::fprintf(stderr, "kavendrum-cli: %s\n", what);
    return kFailed;
}

// The command line's run, with anything it throws said in one line and turned into a failure, so
// that nothing ends the program with an abort and a core dump.
int MainSayingWhatWentWrong(int argc, char** argv) {
    try {
        return RunCommandLine(argc, argv, &g_stopSignal);
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
#ifdef _WIN32
    const kavendrum::ConsoleCodePage consoleCodePage;
#else
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
