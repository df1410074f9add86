// Where the running program lies: the full path of its executable and the
// folder that holds it, read from /proc/self/exe. Both programs and the
// dictionary service find their files beside themselves this way. No state;
// any thread.
#pragma once

#include <string>

namespace quorvo {

// The executable's full path; empty when it cannot be read.
std::string ExecutablePath();
// The folder of ExecutablePath(), without a trailing "/" ("/" for a program
// at the root); empty when the path cannot be read.
std::string ExecutableFolder();

}  // namespace quorvo
