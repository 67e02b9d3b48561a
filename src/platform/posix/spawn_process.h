#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace qm::posix {

// How a started program stands to this one.
enum class ChildSession {
    Attached,  // same process group: a Ctrl-C in the terminal reaches it too
    Detached,  // its own process group: it outlives this program and its terminal's Ctrl-C
};

// Starts the program argv[0] (looked up on PATH when it holds no slash) with exactly these arguments.
// No shell sees them: spaces, quotes and semicolons reach the program as they are. Whatever this process
// blocks or ignores, the child starts with an empty signal mask and the default handling of the stop
// signals, and with its standard input on /dev/null. Returns the process id, or -1 when the program
// could not be started (errno tells why); the caller waits for the child or hands it to ReapInBackground.
pid_t SpawnProgram(const std::vector<std::string>& argv, ChildSession session);

// A descriptor of this program that the child gets as descriptor `childFd` (0 replaces the /dev/null
// standard input).
struct InheritedFd {
    int fd;
    int childFd;
};
// The same, handing the child the descriptors `inherited` as well; none of this program's other
// descriptors that are close-on-exec reach it.
pid_t SpawnProgram(const std::vector<std::string>& argv,
                   ChildSession session,
                   const std::vector<InheritedFd>& inherited);

// The end of a program run to completion.
struct ProgramResult {
    bool started = false;  // false: not found, not executable, or no process could be made
    int exitCode = -1;     // its exit status; -1 when a signal ended it
};

// Starts the program attached and waits until it ends. An exit status of 127 is how a child that could
// not run its program reports it on older C libraries, so it counts as "not started".
ProgramResult RunProgram(const std::vector<std::string>& argv);

// Collects the child's exit on a thread of its own, so that a program started and left to run never
// stays behind as a zombie.
void ReapInBackground(pid_t pid);

}  // namespace qm::posix
