// Small file helpers of the update road: the crash-safe ways of putting a
// file in place.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

#include "unique_fd.h"

namespace quorvo {

// Writes every byte, going on after short writes and interruptions.
bool WriteAll(int fd, const char* data, size_t size);

// Flushes the file's content to the disk.
bool SyncFile(const std::string& path);

// Flushes the folder that holds path, so a rename in it survives a crash.
void SyncFolderOf(const std::string& path);

// Writes content to a temporary file beside path, flushes it, gives it the
// permission bits mode and renames it over path. On failure path is
// untouched and the temporary file is removed.
bool ReplaceFileAtomically(const std::string& path, std::string_view content, mode_t mode);

// Puts the complete file from over to: flushes it, gives it to's permission
// bits and renames it over to in one step. to must exist; false (and from
// left as it is) when to is missing or the rename fails.
bool RenameOverExisting(const std::string& from, const std::string& to);

}  // namespace quorvo
