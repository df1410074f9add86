// AppFolder and the update server's address: where both programs find their
// version files and where they fetch updates from.
#pragma once

#include <string>

namespace quorvo {

// The folder that holds the running executable (from /proc/self/exe), with
// forward slashes and no trailing separator; empty when it cannot be read.
std::string AppFolder();

// Cuts a path at its last "/" (or "\"), keeping the folder, and turns every
// "\" into "/". "/a/b/renova" gives "/a/b"; "/renova" gives "".
std::string FolderOfPath(const std::string& path);

// The update server's base address ("http://host[:port]", no trailing "/"):
// the environment variable QUORVO_UPDATE_SERVER when set and not empty,
// otherwise the address the build was configured with.
std::string UpdateServerBase();

}  // namespace quorvo
