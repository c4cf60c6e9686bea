// Other programs the simulator runs: the Camera app, the settings editor,
// the device's package tools.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace camera {

// How a process ended, from its waitpid status: "exited with status 0",
// "ended by SIGTERM".
std::string describeStatus(int status);

struct SpawnOptions {
    pid_t (*fork)() = nullptr; // ::fork when null; replaceable to test its failure
    int outputFd = -1;         // the child's standard output, when given
    int errorFd = -1;          // and its standard error
    // NAME=VALUE settings that replace or add to this process's environment.
    std::vector<std::string> environment = {};
};

// The command that runs one of this build's own programs (the Camera app,
// the settings editor): the program itself, or, on a device build, the
// program under the emulator that the build runs its programs with.
std::vector<std::string> ownProgram(std::string path);

// Starts arguments[0] (looked up on PATH when it has no slash) in a process
// of its own; returns its pid, or -1 with errno set when no process could
// be made. A program that cannot be run ends with status 127.
pid_t spawn(const std::vector<std::string>& arguments, const SpawnOptions& options = {});

// A program run to its end.
struct ProgramRun {
    std::string error;  // why no process could be made; empty when one ran
    int status = 0;     // as waitpid gives it
    std::string output; // what it wrote to its standard output, when captured
    std::string errors; // and to its standard error
    bool succeeded() const;
};
// Runs a program and waits for it, collecting what it writes to its
// standard error, and to its standard output when captureOutput is set
// (otherwise it goes where this process's goes).
ProgramRun runProgram(const std::vector<std::string>& arguments, SpawnOptions options = {}, bool captureOutput = false);

} // namespace camera
