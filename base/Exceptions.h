// The program's exception hierarchy. Every error the operator can see is one of
// these, carrying a fixed English message; the window's error guard shows it.
#pragma once

#include <exception>
#include <string>

namespace velmorin {

// Root of every error the program raises on purpose.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : FMessage(std::move(message)) {}
  const std::string& Message() const noexcept { return FMessage; }
  const char* what() const noexcept override { return FMessage.c_str(); }

 private:
  std::string FMessage;
};

// A file could not be opened, read or written. Carries the operating system's
// code (or one of the run-time codes 100, 101, 106) and the text chosen by it.
class EInOutError : public Exception {
 public:
  explicit EInOutError(int errorCode);
  // An error whose code is outside the table (an errno that happens to equal a
  // table code, such as EIO = 5, still reads "I/O error 5").
  EInOutError(int errorCode, std::string message)
      : Exception(std::move(message)), FErrorCode(errorCode) {}
  int ErrorCode() const noexcept { return FErrorCode; }

  // The operator-facing text for an error code.
  static std::string MessageFor(int errorCode);

 private:
  int FErrorCode;
};

// Error codes carried by EInOutError.
namespace io_code {
inline constexpr int FileNotFound = 2;
inline constexpr int InvalidFilename = 3;
inline constexpr int TooManyOpenFiles = 4;
inline constexpr int AccessDenied = 5;
inline constexpr int ReadBeyondEnd = 100;
inline constexpr int DiskFull = 101;
inline constexpr int InvalidNumericInput = 106;
}  // namespace io_code

// A text that should have held an integer did not.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// The profile store could not read or write the INI file.
class EIniFileException : public Exception {
 public:
  using Exception::Exception;
};

// Another copy of the program holds the INI file: this one must leave it alone.
class EIniFileInUse : public EIniFileException {
 public:
  using EIniFileException::EIniFileException;
};

// A silent stop: the error guard drops it without a box.
class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
};

}  // namespace velmorin
