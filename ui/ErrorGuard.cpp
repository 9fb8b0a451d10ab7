#include "ui/ErrorGuard.h"

#include <cstdio>
#include <new>
#include <utility>

#include "base/Exceptions.h"
#include "ui/ErrorBox.h"

namespace velmorin {

namespace {
ErrorReporter& CurrentReporter() {
  static ErrorReporter reporter;
  return reporter;
}
}  // namespace

ErrorReporter SetErrorReporter(ErrorReporter reporter) {
  return std::exchange(CurrentReporter(), std::move(reporter));
}

void ReportCurrentException() noexcept {
  try {
    std::string message;
    try {
      throw;
    } catch (const EAbort&) {
      return;
    } catch (const Exception& e) {
      message = e.Message();
    } catch (const std::bad_alloc&) {
      message = "Out of memory";
    } catch (const std::exception& e) {
      message = e.what();
    } catch (...) {
      message = "Unknown error";
    }
    if (const ErrorReporter& reporter = CurrentReporter()) {
      reporter(message);
    } else {
      ShowErrorBox(message);
    }
  } catch (...) {
    // Showing the error failed too (out of memory, most likely); the handler
    // still must not let anything escape into Qt.
    std::fputs("Velmorin: an error occurred and could not be shown\n", stderr);
  }
}

}  // namespace velmorin
