// Finding and ending a running quorvo, so that renova can replace its files.
//
// renova looks for the quorvo of its own folder: a process of the same user
// whose executable (/proc/PID/exe) is that folder's quorvo. It asks it to
// end with SIGTERM; quorvo calls InstallStopHandler() at start, so that it
// then saves what it holds and exits with status 4 within a second. A
// process that has not ended after a few seconds is killed. Callable from
// any thread.
#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace quorvo {

// The lowest process id whose executable's file name equals name, compared
// without regard to letter case, among the processes accept lets through
// (all when empty); -1 when there is none. Zombies are passed over.
int FindProcessByName(const std::string& name, const std::function<bool(int pid)>& accept = {});

// True when pid runs as this user and its executable is appFolder's quorvo
// (appFolder + "/" + kWordAppExe, compared by real path; also when that file
// has been replaced on disk since the process started). Zombies do not
// count.
bool IsWordAppOf(int pid, const std::string& appFolder);

// The lowest process id for which IsWordAppOf(pid, appFolder) holds, or -1.
int FindWordAppProcess(const std::string& appFolder);

// How long StopWordApp waits for quorvo to save and end before it kills it.
inline constexpr std::chrono::milliseconds kStopPatience{3000};

// Ends appFolder's quorvo: nothing is sent unless IsWordAppOf(pid,
// appFolder). SIGTERM, then up to patience for the process to end, then
// SIGKILL (and a short wait for that to take effect). True when the process
// is gone (ended or a zombie) on return; false for any other process, for -1
// and 0.
bool StopWordApp(int pid, const std::string& appFolder, std::chrono::milliseconds patience = kStopPatience);

// Called once by quorvo's main, early. Without onStop, SIGTERM ends the
// process at once with status 4. With it, SIGTERM calls onStop once, on a
// thread of its own (not in the signal handler): it should have the program
// save and end itself with status 4. If the process still runs grace after
// the signal, it ends with status 4 regardless.
void InstallStopHandler(std::function<void()> onStop = {},
                        std::chrono::milliseconds grace = std::chrono::milliseconds(800));

// The executable file name of a process (from /proc/<pid>/exe, without its
// folder); empty when it cannot be read.
std::string ExecutableNameOf(int pid);

}  // namespace quorvo
