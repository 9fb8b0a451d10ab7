#include "server/PgConnectionString.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cctype>

#include "profiles/SerialSource.h"
#include "server/PgConnection.h"

namespace velmorin {

namespace {

// The two schemes libpq takes as a URI, in the letter case it takes them:
// it compares them exactly.
const char* const kSchemes[] = {"postgresql://", "postgres://"};

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

[[noreturn]] void Refuse(const std::string& why) {
  throw ESerialServerError(SerialServerMessage("the connection string " + why +
                                               " (it is not shown, as it may hold a password)"));
}

// libpq's own reason names the piece it could not read; only its kind is
// told here.
std::string KindOfParseError(const std::string& reason) {
  struct Kind {
    const char* Start;
    const char* Said;
  };
  static const Kind kinds[] = {
      {"missing \"=\" after", "holds a word without \"=\"; it must be key=value pairs or a URI"},
      {"unterminated quoted string", "holds a quote that is not closed"},
      {"invalid connection option", "names an option libpq does not know"},
      {"invalid percent-encoded token", "holds a \"%\" that is not followed by two hex digits"},
      {"forbidden value %00", "holds %00, which libpq refuses"},
      {"invalid URI query parameter", "holds a URI query parameter libpq does not know"},
      {"extra key/value separator", "holds a URI query parameter with two \"=\""},
      {"missing key/value separator", "holds a URI query parameter without \"=\""},
  };
  for (const Kind& kind : kinds)
    if (StartsWith(reason, kind.Start)) return kind.Said;
  return "can't be read as libpq reads it";
}

// In a URI, libpq ends the user information at the first "@" and, when a
// "/" comes first, takes no user information at all. A password holding "@",
// "/" or "?" unencoded then lands in the host, port or database name.
void CheckUserInformation(const std::string& rest) {
  const std::size_t at = rest.find('@');
  if (at == std::string::npos) return;
  if (rest.find('@', at + 1) != std::string::npos || rest.find_first_of("/?#") < at)
    Refuse(
        "is a URI whose \"@\" does not end its user name and password alone; write \"@\" as "
        "%40, \"/\" as %2F and \"?\" as %3F in them");
}

bool IsPortList(const std::string& ports) {
  return std::all_of(ports.begin(), ports.end(), [](char c) {
    return c == ',' || std::isdigit(static_cast<unsigned char>(c));
  });
}

}  // namespace

PgConnectionString::PgConnectionString(const std::string& text) {
  bool uri = false;
  for (const char* scheme : kSchemes) {
    if (StartsWith(text, scheme)) {
      uri = true;
      CheckUserInformation(text.substr(std::char_traits<char>::length(scheme)));
    } else if (StartsWith(Lower(text), scheme)) {
      Refuse(std::string("begins like a URI, which must begin with ") + scheme + " in lower case");
    }
  }
  if (!uri && !text.empty() && text.find('=') == std::string::npos)
    Refuse("is neither key=value pairs nor a URI");

  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(text.c_str(), &error);
  if (!options) {
    const std::string reason = error ? error : "";
    PQfreemem(error);
    if (reason.empty()) throw ESerialServerError(SerialServerMessage("out of memory"));
    Refuse(KindOfParseError(reason));
  }
  for (const PQconninfoOption* o = options; o->keyword; ++o) {
    if (!o->val) continue;
    FOptions.emplace_back(o->keyword, o->val);
    const std::string keyword = o->keyword;
    if ((keyword == "password" || keyword == "sslpassword") && *o->val != '\0')
      FSecrets.emplace_back(o->val);
  }
  PQconninfoFree(options);
  if (!IsPortList(Value("port"))) Refuse("names a port that is not a number");
}

std::string PgConnectionString::Value(const std::string& keyword) const {
  for (const auto& [key, value] : FOptions)
    if (key == keyword) return value;
  return {};
}

std::string PgConnectionString::Description() const {
  std::string host = Value("host");
  if (host.empty()) host = Value("hostaddr");
  std::string text;
  const auto add = [&text](const char* what, const std::string& value) {
    if (value.empty()) return;
    text += (text.empty() ? "" : ", ") + std::string(what) + " " + value;
  };
  add("host", host);
  add("port", Value("port"));
  add("database", Value("dbname"));
  return text.empty() ? "the default server" : Redacted(text);
}

std::string PgConnectionString::Redacted(std::string text) const {
  static const std::string kHidden = "(password)";
  for (const std::string& secret : FSecrets) {
    for (std::size_t at = text.find(secret); at != std::string::npos;
         at = text.find(secret, at + kHidden.size()))
      text.replace(at, secret.size(), kHidden);
  }
  return text;
}

}  // namespace velmorin
