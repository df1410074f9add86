// Status and Result<T>: what an engine operation did, told to its caller.
//
// Every engine folder (the word store, the lookups, reviews, updates) says
// how an operation went through these two types instead of integer codes,
// booleans or lines on stdout: a code the windows turn into words for the
// learner, and a message with the detail (a path, the library's own text),
// in UTF-8, for a log or a tooltip. The caller checks it; [[nodiscard]]
// makes the compiler say so when it does not.
//
// A Status is a value: copy it freely; const members may be used from any
// thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace quorvo {

enum class StatusCode : uint8_t {
  kOk = 0,
  kDiskFull,   // the disk has no room left
  kReadOnly,   // the file (or its folder) may not be written
  kBusy,       // another program holds the file
  kDamaged,    // not a database, cut short or corrupt
  kNotFound,   // the file, table or row is not there
  kRejected,   // the file rejected the statement: a missing table, a duplicate, a bad statement
  kRefused,    // our own checks refused the request (a bad name, no value); whoever refused told the learner
  kIoError,    // any other failure of the disk, the network or the library
  kCancelled,  // given up by the learner or by the program's end
};

class [[nodiscard]] Status {
 public:
  Status() = default;
  Status(StatusCode code, std::string message) : code_(code), message_(std::move(message)) {}
  static Status Ok() { return Status(); }

  bool ok() const { return code_ == StatusCode::kOk; }
  StatusCode code() const { return code_; }
  const std::string& message() const { return message_; }

  // Marks a status as looked at where dropping it is the right thing to do.
  void IgnoreError() const {}

  friend bool operator==(const Status& a, const Status& b) { return a.code_ == b.code_; }

 private:
  StatusCode code_ = StatusCode::kOk;
  std::string message_;
};

// A value, or the Status that says why there is none.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)) {}         // NOLINT(google-explicit-constructor): a value is a result
  Result(Status status) : status_(std::move(status)) {  // NOLINT(google-explicit-constructor)
    if (status_.ok()) status_ = Status(StatusCode::kIoError, "a result without its value");
  }

  bool ok() const { return value_.has_value(); }
  const Status& status() const { return status_; }
  T& value() & { return *value_; }
  const T& value() const& { return *value_; }
  T&& value() && { return std::move(*value_); }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }
  T& operator*() & { return *value_; }
  const T& operator*() const& { return *value_; }
  T value_or(T fallback) const& { return value_ ? *value_ : std::move(fallback); }

 private:
  std::optional<T> value_;
  Status status_;
};

}  // namespace quorvo
