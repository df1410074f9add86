#include "testing/scoped_mount.h"

#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace quorvo::testing {

ScopedMount ScopedMount::ReadOnly(const std::string& folder) {
  ScopedMount m;
  m.folder_ = folder;
  if (mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0) {
    m.why_ = std::string("cannot bind-mount a folder here: ") + std::strerror(errno);
    return m;
  }
  m.mounted_ = true;
  if (mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
    m.why_ = std::string("cannot make a bind mount read-only here: ") + std::strerror(errno);
    umount2(folder.c_str(), MNT_DETACH);
    m.mounted_ = false;
  }
  return m;
}

ScopedMount ScopedMount::Tmpfs(const std::string& folder, size_t bytes) {
  ScopedMount m;
  m.folder_ = folder;
  std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
  if (mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
    m.why_ = std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
    return m;
  }
  m.mounted_ = true;
  return m;
}

ScopedMount::ScopedMount(ScopedMount&& other) noexcept
    : folder_(std::move(other.folder_)), mounted_(std::exchange(other.mounted_, false)), why_(std::move(other.why_)) {}

ScopedMount::~ScopedMount() {
  if (mounted_) umount2(folder_.c_str(), MNT_DETACH);
}

}  // namespace quorvo::testing
