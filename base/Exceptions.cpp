#include "base/Exceptions.h"

namespace velmorin {

EInOutError::EInOutError(int errorCode) : Exception(MessageFor(errorCode)), FErrorCode(errorCode) {}

std::string EInOutError::MessageFor(int errorCode) {
  switch (errorCode) {
    case io_code::FileNotFound:
      return "File not found";
    case io_code::InvalidFilename:
      return "Invalid filename";
    case io_code::TooManyOpenFiles:
      return "Too many open files";
    case io_code::AccessDenied:
      return "File access denied";
    case io_code::ReadBeyondEnd:
      return "Read beyond end of file";
    case io_code::DiskFull:
      return "Disk full";
    case io_code::InvalidNumericInput:
      return "Invalid numeric input";
    default:
      return "I/O error " + std::to_string(errorCode);
  }
}

}  // namespace velmorin
