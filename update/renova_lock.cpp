#include "update/renova_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>

#include "base/file_util.h"
#include "update/update_names.h"

namespace quorvo {

Result<RenovaFolderLock> RenovaFolderLock::Take(const std::string& folder) {
  const std::string path = folder + kRenovaLockFile;
  // A holder removes the file before it lets go: a lock taken on a file that
  // is no longer the one at path is no lock, and is tried again.
  for (int attempt = 0; attempt < 100; ++attempt) {
    // Never through a planted link; a lock file is never written to.
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!fd) return ErrnoStatus(errno, path);
    if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
      if (errno == EINTR) continue;
      if (errno == EWOULDBLOCK) return Status(StatusCode::kBusy, "another renova works on " + folder);
      return ErrnoStatus(errno, path);
    }
    struct stat held, named;
    if (fstat(fd.get(), &held) == 0 && lstat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino)
      return RenovaFolderLock(std::move(fd), path);
  }
  return Status(StatusCode::kBusy, "the lock file " + path + " keeps changing");
}

RenovaFolderLock& RenovaFolderLock::operator=(RenovaFolderLock&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = std::move(other.fd_);
    path_ = std::move(other.path_);
  }
  return *this;
}

RenovaFolderLock::~RenovaFolderLock() { Release(); }

void RenovaFolderLock::Release() {
  if (!fd_) return;
  unlink(path_.c_str());  // while still held: see Take
  fd_.Reset();
}

}  // namespace quorvo
