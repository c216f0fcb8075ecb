// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace vz {

// How our own layers report failure: success, or one line a user can read (on stderr or in a
// message box), never a bare code. The graph operations keep their HRESULT-style codes; this is
// for everything below and beside them.
class [[nodiscard]] Status {
 public:
  Status() = default;  // success
  static Status failure(std::string message) {
    Status s;
    s.failed_ = true;
    s.message_ = std::move(message);
    return s;
  }

  bool ok() const { return !failed_; }
  explicit operator bool() const { return ok(); }
  const std::string& message() const { return message_; }  // empty on success

 private:
  bool failed_ = false;
  std::string message_;
};

// A value, or the line that says why there is none.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value)
      : value_(std::move(value)) {}  // NOLINT: implicit so `return value;` reads plainly
  Result(Status failure)  // NOLINT: implicit so `return Status::failure(...);` reads plainly
      : message_(failure.ok() ? "no value was produced" : failure.message()) {}
  static Result failure(std::string message) { return Result(Status::failure(std::move(message))); }

  bool ok() const { return value_.has_value(); }
  explicit operator bool() const { return ok(); }
  const std::string& message() const { return message_; }
  Status status() const { return ok() ? Status() : Status::failure(message_); }

  T& value() & { return *value_; }
  const T& value() const& { return *value_; }
  T&& value() && { return std::move(*value_); }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }
  T& operator*() & { return *value_; }
  const T& operator*() const& { return *value_; }

 private:
  std::optional<T> value_;
  std::string message_;
};

}  // namespace vz
