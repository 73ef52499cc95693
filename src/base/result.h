// A value or an error, for operations that can fail on bad input or I/O.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace hw {

// A name as messages quote it: 'x.pcx'.
std::string Quoted(std::string_view name);

// What went wrong, in parts: why, and what could not be done to which file. The
// text is put together where it is shown.
struct Error {
  explicit Error(std::string why = {}, std::string what = {}, std::string name = {})
      : cause(std::move(why)), action(std::move(what)), file(std::move(name)) {}

  std::string cause;   // why, e.g. "pixel data ends early"
  std::string action;  // what could not be done ("load", "save"); empty for a bare cause
  std::string file;    // the file it concerns; empty when none
  std::string to;      // a conversion's output

  // "cannot load 'x.pcx': pixel data ends early"; without an action "'x.pcx': cause",
  // and the cause alone when no file is named either.
  std::string Text() const;
  bool NamesFile() const { return !file.empty(); }
};

inline Error Failure(std::string action, std::string file, std::string cause) {
  return Error(std::move(cause), std::move(action), std::move(file));
}
inline Error CannotLoad(std::string file, std::string cause) {
  return Failure("load", std::move(file), std::move(cause));
}
inline Error CannotSave(std::string file, std::string cause) {
  return Failure("save", std::move(file), std::move(cause));
}
// The error as a failure to `action` `file`, unless it already names a file.
inline Error Within(Error error, std::string action, std::string file) {
  if (error.NamesFile()) return error;
  return Failure(std::move(action), std::move(file), std::move(error.cause));
}

// The error as concerning `file` ("'x.pcx': cause"), unless it already names a file.
inline Error About(Error error, std::string file) {
  return Within(std::move(error), {}, std::move(file));
}

template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : v_(std::move(value)) {}
  Result(Error error) : v_(std::move(error)) {}
  bool ok() const { return v_.index() == 0; }
  explicit operator bool() const { return ok(); }
  T& value() { return std::get<0>(v_); }
  const T& value() const { return std::get<0>(v_); }
  T& operator*() { return value(); }
  const T& operator*() const { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  const Error& error() const { return std::get<1>(v_); }

 private:
  std::variant<T, Error> v_;
};

struct Ok {};
using Status = Result<Ok>;

}  // namespace hw
