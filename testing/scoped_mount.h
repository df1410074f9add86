// ScopedMount: a file system mounted over a test's own folder for the life of
// the object, for faults no ordinary file can give: a folder that refuses
// every write even to root (a read-only bind mount of itself) and a disk
// that fills up (a small tmpfs).
//
// Mounting needs the right to mount (root, as in CI's container). Where it
// is refused, mounted() is false and why() says so: the test skips.
#pragma once

#include <cstddef>
#include <string>

namespace quorvo::testing {

class ScopedMount {
 public:
  // folder, mounted read-only onto itself: what is in it stays readable.
  static ScopedMount ReadOnly(const std::string& folder);
  // An empty tmpfs of the given size over folder.
  static ScopedMount Tmpfs(const std::string& folder, size_t bytes);

  ScopedMount(ScopedMount&& other) noexcept;
  ScopedMount& operator=(ScopedMount&&) = delete;
  ~ScopedMount();

  bool mounted() const { return mounted_; }
  const std::string& why() const { return why_; }

 private:
  ScopedMount() = default;
  std::string folder_;
  bool mounted_ = false;
  std::string why_;
};

}  // namespace quorvo::testing
