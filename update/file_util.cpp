#include "file_util.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "app_folder.h"

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
  std::string folder = FolderOfPath(path);
  UniqueFd fd(open(folder.empty() ? (path.rfind('/', 0) == 0 ? "/" : ".") : folder.c_str(),
                   O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd) fsync(fd.get());  // a folder that cannot be flushed changes nothing
}

bool ReplaceFileAtomically(const std::string& path, std::string_view content, mode_t mode) {
  std::string pattern = path + ".XXXXXX";
  std::vector<char> temp(pattern.begin(), pattern.end());
  temp.push_back('\0');
  UniqueFd fd(mkostemp(temp.data(), O_CLOEXEC));
  if (!fd) return false;
  std::string tempPath = temp.data();
  bool ok = WriteAll(fd.get(), content.data(), content.size()) && fchmod(fd.get(), mode) == 0 && fsync(fd.get()) == 0;
  ok = fd.Close() && ok;
  if (ok) ok = rename(tempPath.c_str(), path.c_str()) == 0;
  if (!ok) {
    unlink(tempPath.c_str());
    return false;
  }
  SyncFolderOf(path);
  return true;
}

bool RenameOverExisting(const std::string& from, const std::string& to) {
  struct stat installed;
  if (stat(to.c_str(), &installed) != 0 || !S_ISREG(installed.st_mode)) return false;
  if (chmod(from.c_str(), installed.st_mode & 07777) != 0) return false;
  if (!SyncFile(from)) return false;
  if (rename(from.c_str(), to.c_str()) != 0) return false;
  SyncFolderOf(to);
  return true;
}

}  // namespace quorvo
