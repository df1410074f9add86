// Small file helpers: the crash-safe ways of putting a file in place, and
// the reading and removing the update road needs.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

#include "base/status.h"
#include "base/unique_fd.h"

namespace quorvo {

// Writes every byte, going on after short writes and interruptions.
bool WriteAll(int fd, const char* data, size_t size);

// Flushes the file's content to the disk.
bool SyncFile(const std::string& path);

// Flushes the folder that holds path, so a rename in it survives a crash.
void SyncFolderOf(const std::string& path);

// The Status of a failed file operation from its errno: a full disk
// (ENOSPC), a file or folder that may not be written (EROFS, EACCES), ...
Status ErrnoStatus(int error, std::string_view what);

// Writes content to a temporary file beside path, flushes it, gives it the
// permission bits mode and renames it over path. On failure path is
// untouched (a file that was there stays whole) and the temporary file is
// removed; the Status says why.
Status ReplaceFileAtomically(const std::string& path, std::string_view content, mode_t mode);

// Reads a whole regular file of at most maxBytes into content without
// following a link. 0 on success; ENOENT when missing, EFBIG when larger
// (refused before its bytes are read), another errno otherwise.
int ReadSmallFile(const std::string& path, long long maxBytes, std::string* content);

// Removes a staging folder left by an earlier run: its plain entries and
// the folder itself. A link or file in its place is removed, never followed.
// True when nothing is left at path.
bool RemoveStagingFolder(const std::string& path);

// Makes a fresh, empty staging folder only this user may enter (after
// removing whatever was there). False when it cannot be made.
bool MakeStagingFolder(const std::string& path);

// The permission bits a new copy of path gets: those of the installed file
// when it is a regular file (a link is never followed), otherwise
// defaultMode.
mode_t InstallMode(const std::string& path, mode_t defaultMode);

// Gives the file at path (never a link's target) the permission bits mode.
bool SetModeNoFollow(const std::string& path, mode_t mode);

// Flushes everything written to the file system that holds path: one call
// for many files, where an fsync of each would cost a disk flush each.
bool SyncFileSystemOf(const std::string& path);

}  // namespace quorvo
