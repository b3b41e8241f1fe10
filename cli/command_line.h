#pragma once

#include <csignal>

namespace kavendrum {

// Reads the command line and runs the command it names; the exit status. Usage errors are told
// on standard error with status 2. `stopSignal` is what the signal handler sets when the user
// asks the run to stop.
int RunCommandLine(int argc, char** argv, const volatile std::sig_atomic_t* stopSignal);

}  // namespace kavendrum
