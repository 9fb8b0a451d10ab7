// JSON as the command line prints it. Text that is not valid UTF-8 (a path or
// a pool name in another encoding) is shown with replacement characters
// rather than refused, so that what a file or the server holds can always be
// listed.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace velmorin::cli {

// `indent` -1: one line.
inline std::string JsonText(const nlohmann::ordered_json& value, int indent = -1) {
  return value.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace velmorin::cli
