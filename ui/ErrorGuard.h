// The guard every window handler runs its body through, so that no exception
// ever unwinds through a Qt frame: an EAbort ends the handler silently, every
// other error ends it with the error box, and the program goes on running.
#pragma once

#include <functional>
#include <string>
#include <utility>

namespace velmorin {

// Reports the exception being handled; call only from inside a catch block.
void ReportCurrentException() noexcept;

// Runs `body`; returns true when it ran to its end, false when an exception
// ended it (after the error, if any, was shown).
template <class Body>
bool RunGuarded(Body&& body) noexcept {
  try {
    std::forward<Body>(body)();
    return true;
  } catch (...) {
    ReportCurrentException();
    return false;
  }
}

// What shows a caught error's message: ShowErrorBox, unless replaced (tests
// record the messages instead of opening boxes). Returns the one replaced; an
// empty reporter restores ShowErrorBox.
using ErrorReporter = std::function<void(const std::string& message)>;
ErrorReporter SetErrorReporter(ErrorReporter reporter);

}  // namespace velmorin
