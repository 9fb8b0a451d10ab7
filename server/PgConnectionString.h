// A libpq connection string, read once and checked before anything is
// connected. The station connects with exactly the options read here (libpq
// is handed them one by one and expands nothing), and every text about the
// connection is built from them:
//  - a string libpq can't read is refused without quoting it, since the piece
//    libpq would quote may be part of a password;
//  - only "key=value" pairs and URIs beginning with "postgresql://" or
//    "postgres://" are taken (libpq itself would take anything else, a
//    mistyped scheme with its password too, as a database's name and send it
//    to the server);
//  - a URI whose user name or password holds an unencoded "@", "/" or "?"
//    is refused, since libpq would split it into host, port and database
//    names that messages then show;
//  - a port that is not a number is refused before libpq quotes it;
//  - Redacted() removes the passwords from any text, such as libpq's errors.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace velmorin {

class PgConnectionString {
 public:
  // Raises ESerialServerError "Unable to reach the serial server: <why>"
  // when the string is refused; <why> never quotes it.
  explicit PgConnectionString(const std::string& text);

  // The options the string names, in libpq's order, each with its value.
  const std::vector<std::pair<std::string, std::string>>& Options() const { return FOptions; }
  // The value of `keyword`; empty when the string does not name it.
  std::string Value(const std::string& keyword) const;

  // "host db1,db2, port 5433, database production": what the string names,
  // for people to read ("the default server" when it names none of them),
  // with the passwords removed even there.
  std::string Description() const;

  // `text` with every password the string holds (the password keyword, the
  // URI's user information or query, the key file's sslpassword) replaced.
  std::string Redacted(std::string text) const;

 private:
  std::vector<std::pair<std::string, std::string>> FOptions;
  std::vector<std::string> FSecrets;
};

}  // namespace velmorin
