// RenovaFolderLock: one renova at a time works on a folder. Whoever fetches
// the manifest into a folder, finishes or undoes an interrupted run there,
// or runs an update there holds the folder's lock file (kRenovaLockFile,
// with an advisory flock on it) for as long as that takes, and removes the
// file when done. The kernel drops the flock when its holder ends, however
// it ends, so a file left by a killed renova never blocks the next one.
//
// Move-only; the lock is released when the object goes. Any thread; two
// objects in one process exclude each other like two processes do.
#pragma once

#include <string>

#include "base/status.h"
#include "base/unique_fd.h"

namespace quorvo {

class RenovaFolderLock {
 public:
  // Takes folder's lock without waiting: kBusy when another holds it, the
  // file's own failure (kReadOnly, kNotFound, ...) when it cannot be made.
  static Result<RenovaFolderLock> Take(const std::string& folder);

  RenovaFolderLock(RenovaFolderLock&& other) noexcept = default;
  RenovaFolderLock& operator=(RenovaFolderLock&& other) noexcept;
  ~RenovaFolderLock();

 private:
  RenovaFolderLock(UniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}
  void Release();

  UniqueFd fd_;
  std::string path_;
};

}  // namespace quorvo
