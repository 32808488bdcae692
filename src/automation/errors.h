// Errors inside the core are exceptions that carry a message and a class name. The
// class name is what the call trace and the host's exception record show; the
// dispatcher is the one place where these errors become result codes.
#pragma once

#include <stdexcept>
#include <string>

namespace eqd {

class EDriverError : public std::runtime_error {
 public:
  explicit EDriverError(const std::string& message, std::string className = "EDriverError")
      : std::runtime_error(message), message_(message), className_(std::move(className)) {}
  const std::string& ClassName() const { return className_; }
  // The whole message; what() ends at its first NUL, which a server's text may hold.
  const std::string& Message() const { return message_; }

 private:
  std::string message_;
  std::string className_;
};

// A value that does not convert to the requested type.
class EConvertError : public EDriverError {
 public:
  explicit EConvertError(const std::string& message) : EDriverError(message, "EConvertError") {}
};

// An array index outside the array's bounds, or an array of the wrong shape.
class ERangeError : public EDriverError {
 public:
  explicit ERangeError(const std::string& message) : EDriverError(message, "ERangeError") {}
};

// A file that cannot be created, opened, written or read.
class EInOutError : public EDriverError {
 public:
  explicit EInOutError(const std::string& message) : EDriverError(message, "EInOutError") {}
};

// An operating-system call that failed, with the system's own message.
class EOSError : public EDriverError {
 public:
  explicit EOSError(const std::string& message) : EDriverError(message, "EOSError") {}
};

// The whole message of any exception.
inline std::string ErrorMessage(const std::exception& e) {
  if (const auto* d = dynamic_cast<const EDriverError*>(&e)) return d->Message();
  return e.what();
}

// The class name the trace shows for any exception.
inline std::string ErrorClassName(const std::exception& e) {
  if (const auto* d = dynamic_cast<const EDriverError*>(&e)) return d->ClassName();
  return "Exception";
}

}  // namespace eqd
