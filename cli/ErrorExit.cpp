#include "cli/ErrorExit.h"

#include <cstdio>
#include <new>
#include <string>

#include "base/Exceptions.h"
#include "cli/ExitCode.h"
#include "cli/UsageError.h"
#include "profiles/ProfileKeys.h"
#include "profiles/SerialSource.h"
#include "serialize/ErrorBoxText.h"

namespace velmorin::cli {

void PrintError(const std::string& text) {
  const std::string line = "velmorin-cli: " + text + "\n";
  std::fflush(stdout);
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

int RunReportingErrors(const std::function<int()>& command) {
  try {
    return command();
  } catch (const EUsageError& e) {
    PrintError(ErrorBoxText(e.Message()));
    return kExitUsage;
  } catch (const EProfileValueError& e) {
    PrintError(ErrorBoxText(e.Message()));
    return kExitUsage;
  } catch (const EIniFileInUse& e) {
    PrintError(ErrorBoxText(e.Message()));
    return kExitInUse;
  } catch (const EAbort&) {
    // The window drops a silent stop without a box; here it still is no success.
    return kExitError;
  } catch (const Exception& e) {
    PrintError(ErrorBoxText(e.Message()));
  } catch (const std::bad_alloc&) {
    PrintError(ErrorBoxText("Out of memory"));
  } catch (const std::exception& e) {
    PrintError(ErrorBoxText(e.what()));
  }
  return kExitError;
}

}  // namespace velmorin::cli
