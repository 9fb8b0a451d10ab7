// How the core talks to the operator: message boxes and a text prompt. The
// window supplies the real boxes; tests supply a scripted operator.
#pragma once

#include <cstdint>
#include <string>

namespace velmorin {

// The result of a modal box.
using TModalResult = std::int32_t;
inline constexpr TModalResult mrNone = 0;
inline constexpr TModalResult mrOk = 1;
inline constexpr TModalResult mrCancel = 2;
inline constexpr TModalResult mrAbort = 3;
inline constexpr TModalResult mrRetry = 4;
inline constexpr TModalResult mrIgnore = 5;
inline constexpr TModalResult mrYes = 6;
inline constexpr TModalResult mrNo = 7;
inline constexpr TModalResult mrAll = 8;
inline constexpr TModalResult mrNoToAll = 9;
inline constexpr TModalResult mrYesToAll = 10;

// Sets a message box's title and icon.
enum class BoxKind : std::uint8_t {
  Warning = 0,
  Error = 1,
  Information = 2,
  Confirm = 3,
  Custom = 4
};

// A set of buttons; flag i is bit i, and bit order is the left-to-right order in the box.
using BoxButtons = std::uint16_t;
namespace box_button {
inline constexpr BoxButtons Yes = 1 << 0;
inline constexpr BoxButtons No = 1 << 1;
inline constexpr BoxButtons OK = 1 << 2;
inline constexpr BoxButtons Cancel = 1 << 3;
inline constexpr BoxButtons Abort = 1 << 4;
inline constexpr BoxButtons Retry = 1 << 5;
inline constexpr BoxButtons Ignore = 1 << 6;
inline constexpr BoxButtons All = 1 << 7;
inline constexpr BoxButtons NoToAll = 1 << 8;
inline constexpr BoxButtons YesToAll = 1 << 9;
inline constexpr BoxButtons Help = 1 << 10;
inline constexpr int Count = 11;
}  // namespace box_button

class Operator {
 public:
  virtual ~Operator() = default;
  // Shows `text` (8-bit, may hold CR LF) and returns the button that closed the box.
  virtual TModalResult ShowMessageBox(const std::string& text, BoxKind kind,
                                      BoxButtons buttons) = 0;
  // Asks for a text; returns the typed text on OK, `defaultText` otherwise.
  virtual std::string PromptText(const std::string& title, const std::string& prompt,
                                 const std::string& defaultText) = 0;
};

}  // namespace velmorin
