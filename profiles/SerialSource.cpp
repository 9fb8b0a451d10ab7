#include "profiles/SerialSource.h"

#include "platform/ini/IniFile.h"
#include "profiles/ProfileKeys.h"

namespace velmorin {

void RequirePoolName(const std::string& name) {
  if (name.empty()) throw EProfileValueError("The pool name is empty");
  if (name.find_first_of("\r\n") != std::string::npos) {
    throw EProfileValueError("The pool name \"" + name +
                             "\" holds a line break, which no profile could name");
  }
}

std::string NamedSerialServer(const std::string& iniPath) {
  const IniFile file(iniPath);
  // Read whole: a connection string may be longer than other values, and a
  // cut one would connect without its last options.
  const std::string connection = file.Read().ReadWholeString(kOptionsSection, kSerialServerKey, "");
  if (connection.empty()) {
    throw Exception("No serial server is set in " + file.FileName() + ": its section [" +
                    kOptionsSection + "] has no " + kSerialServerKey +
                    "=<libpq connection string>");
  }
  return connection;
}

}  // namespace velmorin
