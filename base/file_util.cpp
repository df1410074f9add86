#include "base/file_util.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace quorvo {

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool SyncFile(const std::string& path) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return false;
  return fsync(fd.get()) == 0;
}

void SyncFolderOf(const std::string& path) {
  size_t cut = path.rfind('/');
  std::string folder = cut == std::string::npos ? "" : path.substr(0, cut);
  UniqueFd fd(open(folder.empty() ? (path.rfind('/', 0) == 0 ? "/" : ".") : folder.c_str(),
                   O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd) fsync(fd.get());  // a folder that cannot be flushed changes nothing
}

Status ErrnoStatus(int error, std::string_view what) {
  StatusCode code;
  switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      code = StatusCode::kDiskFull;
      break;
    case EROFS:
    case EACCES:
    case EPERM:
    case ETXTBSY:
      code = StatusCode::kReadOnly;
      break;
    case ENOENT:
    case ENOTDIR:
      code = StatusCode::kNotFound;
      break;
    case EISDIR:
    case EINVAL:
    case ENAMETOOLONG:
      code = StatusCode::kRejected;
      break;
    default:
      code = StatusCode::kIoError;
      break;
  }
  return Status(code, std::string(what) + ": " + std::strerror(error));
}

Status ReplaceFileAtomically(const std::string& path, std::string_view content, mode_t mode) {
  std::string pattern = path + ".XXXXXX";
  std::vector<char> temp(pattern.begin(), pattern.end());
  temp.push_back('\0');
  UniqueFd fd(mkostemp(temp.data(), O_CLOEXEC));
  if (!fd) return ErrnoStatus(errno, path);
  std::string tempPath = temp.data();
  // The first failure is the one told: a short write on a full disk, a
  // flush that reports it late, a close that reports it last.
  int error = 0;
  if (!WriteAll(fd.get(), content.data(), content.size()) || fchmod(fd.get(), mode) != 0 || fsync(fd.get()) != 0)
    error = errno;
  if (!fd.Close() && error == 0) error = errno;
  if (error == 0 && rename(tempPath.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    unlink(tempPath.c_str());
    return ErrnoStatus(error == 0 ? EIO : error, path);
  }
  SyncFolderOf(path);
  return Status::Ok();
}

int ReadSmallFile(const std::string& path, long long maxBytes, std::string* content) {
  content->clear();
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
  if (!fd) return errno;
  struct stat st;
  if (fstat(fd.get(), &st) != 0) return errno;
  if (!S_ISREG(st.st_mode)) return EINVAL;
  if (st.st_size > maxBytes) return EFBIG;
  std::vector<char> buffer(static_cast<size_t>(maxBytes) + 1);
  size_t used = 0;
  for (;;) {
    ssize_t n = read(fd.get(), buffer.data() + used, buffer.size() - used);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) break;
    used += static_cast<size_t>(n);
    if (used > static_cast<size_t>(maxBytes)) return EFBIG;  // grew while read
  }
  content->assign(buffer.data(), used);
  return 0;
}

bool RemoveStagingFolder(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return errno == ENOENT;
  if (!S_ISDIR(st.st_mode)) return unlink(path.c_str()) == 0;
  int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  DIR* dir = fdopendir(fd);
  if (!dir) {
    close(fd);
    return false;
  }
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    // Entries are the run's own files; a folder in there is not, and stays
    // (the rmdir below then fails and the run does not start).
    unlinkat(fd, name.c_str(), 0);
  }
  closedir(dir);
  return rmdir(path.c_str()) == 0;
}

bool MakeStagingFolder(const std::string& path) {
  if (!RemoveStagingFolder(path)) return false;
  return mkdir(path.c_str(), 0700) == 0;
}

mode_t InstallMode(const std::string& path, mode_t defaultMode) {
  struct stat st;
  if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return st.st_mode & 07777;
  return defaultMode;
}

bool SetModeNoFollow(const std::string& path, mode_t mode) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  return fd && fchmod(fd.get(), mode) == 0;
}

bool SyncFileSystemOf(const std::string& path) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  return fd && syncfs(fd.get()) == 0;
}

}  // namespace quorvo
