// Finding and ending a running quorvo, so that renova can replace its files.
//
// renova looks for the word application by the file name of each process's
// executable ("quorvo", letter case ignored) and ends the first one with
// SIGTERM; quorvo calls InstallStopHandler() at start, so that signal ends it
// at once with exit status 4. Nothing here waits or reports a failure.
// Callable from any thread.
#pragma once

#include <functional>
#include <string>

namespace quorvo {

// The lowest process id whose executable's file name equals name, compared
// without regard to letter case, among the processes accept lets through
// (all when empty); -1 when there is none. Zombies are passed over.
int FindProcessByName(const std::string& name, const std::function<bool(int pid)>& accept = {});

// FindProcessByName(kWordAppExe): the first running quorvo, or -1.
int FindWordAppProcess();

// Ends the process: SIGTERM, which quorvo turns into an immediate exit with
// status 4. Does not wait. Ignores -1 and 0.
void StopWordApp(int pid);

// Called once by quorvo's main: SIGTERM ends the process at once with exit
// status 4, saving nothing.
void InstallStopHandler();

// The executable file name of a process (from /proc/<pid>/exe, without its
// folder); empty when it cannot be read.
std::string ExecutableNameOf(int pid);

}  // namespace quorvo
