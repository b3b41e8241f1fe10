#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace kavendrum::testing {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Waits (boundedly, ten seconds) until the process `child` has a file in `folder` open, as a run
// has while it writes there, whether or not that file has a name yet. False when it never had.
inline bool HasAFileOpenIn(pid_t child, const std::string& folder) {
    const std::string fds = "/proc/" + std::to_string(child) + "/fd";
    for (int tries = 0; tries < 20000; ++tries) {
        std::error_code ignored;
        for (std::filesystem::directory_iterator entry(fds, ignored), end; entry != end;
             entry.increment(ignored)) {
            const auto target = std::filesystem::read_symlink(entry->path(), ignored);
            if (target.string().rfind(folder + "/", 0) == 0) {
                return true;
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    return false;
}

// Runs the program in a folder of its own, with an option file of its own and no terminal.
class CliTest : public ::testing::Test {
  protected:
    // Starts the program on `arguments`, answering OK to every question and showing no progress,
    // with standard input from `input` and standard error into `errors`; standard output is
    // dropped. The child's id, or 0 when it could not start.
    pid_t StartCli(std::vector<std::string> arguments, const std::string& input = "/dev/null",
                   const std::string& errors = "/dev/null") {
        static const std::string program = KAVENDRUM_CLI_PATH;
        const std::string options = temp / "k.opt";
        arguments.insert(arguments.begin(),
                         {program, "--yes", "--quiet", "--options-file", options});
        std::vector<char*> argv;
        for (auto& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        pid_t child = 0;
        const int spawned =
            posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        return spawned == 0 ? child : 0;
    }

    // `arguments` is a shell word list; `before` comes first on the command line (a pipe into the
    // program, or an exec with limits), `after` last (a redirection or a pipe out of it, which
    // then takes standard output).
    CliRun Cli(const std::string& arguments, const std::string& before = "",
               const std::string& after = "") {
        const std::string in = before.find('|') == std::string::npos ? " </dev/null" : "";
        std::string command = "'" KAVENDRUM_CLI_PATH "' --options-file '" + (temp / "k.opt") +
                              "' " + arguments + in + " 2>'" + (temp / "stderr") + "'";
        std::remove((temp / "stdout").c_str());
        std::remove((temp / "status").c_str());
        if (after.empty()) {
            const int raw = Run(before + command + " >'" + (temp / "stdout") + "'");
            return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(temp / "stdout"),
                    Slurp(temp / "stderr")};
        }
        // A pipeline's status is its last command's, so the program's own is kept aside.
        Run(before + "{ " + command + "; echo $? >'" + (temp / "status") + "'; } " + after);
        const std::string status = Slurp(temp / "status");
        return {status.empty() ? -1 : std::stoi(status), "", Slurp(temp / "stderr")};
    }

    // Runs a shell command line in the folder; its exit status.
    int Shell(const std::string& command) {
        const int raw = Run(command);
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }

    int Run(const std::string& command) {
        return std::system(("cd '" + temp.path() + "' && " + command).c_str());
    }

    // Runs the program with its standard output a pipe that nobody reads any more; the raw
    // wait status, so that a death by a signal shows.
    int RunWithStdoutClosed(const std::string& arguments) {
        const std::string command = "exec '" KAVENDRUM_CLI_PATH "' --options-file '" +
                                    (temp / "k.opt") + "' " + arguments + " </dev/null 2>'" +
                                    (temp / "stderr") + "'";
        int ends[2];
        if (::pipe(ends) != 0) {
            return -1;
        }
        ::close(ends[0]);
        const pid_t child = ::fork();
        if (child == 0) {
            // As a shell's pipeline would start it, whatever this test program ignores.
            std::signal(SIGPIPE, SIG_DFL);
            ::dup2(ends[1], 1);
            ::close(ends[1]);
            if (::chdir(temp.path().c_str()) == 0) {
                ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            }
            ::_exit(127);
        }
        ::close(ends[1]);
        int raw = -1;
        ::waitpid(child, &raw, 0);
        return raw;
    }

    TempFolder temp;
};

}  // namespace kavendrum::testing
