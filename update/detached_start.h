// Starting a program as a separate, detached process.
#pragma once

#include <string>

namespace quorvo {

// Starts the executable at path (no arguments, the caller's environment and
// current folder) in a session of its own and returns at once; the child is
// reaped in the background when it ends. False when it could not be started.
bool StartDetached(const std::string& path);

}  // namespace quorvo
