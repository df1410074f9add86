// Small file helpers of the update road: an owner for file descriptors and
// the crash-safe ways of putting a file in place.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

namespace quorvo {

// Owns one file descriptor and closes it when it goes.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = other.Release();
    }
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  explicit operator bool() const { return fd_ >= 0; }
  int get() const { return fd_; }
  int Release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset();
  // Closes now and says whether the close reported no error.
  bool Close();

 private:
  int fd_ = -1;
};

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
