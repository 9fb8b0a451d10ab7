#include "cli/StampCommand.h"

#include <charconv>
#include <cstdio>

#include "base/ParseInteger.h"
#include "cli/ExitCode.h"
#include "cli/UsageError.h"
#include "image/IntelImage.h"
#include "platform/files/FileExists.h"
#include "serialize/SeqNumForm.h"
#include "serialize/SeqNumStamp.h"

namespace velmorin::cli {

namespace {
std::uint32_t ParseHex(const std::string& text, bool& ok) {
  std::string_view digits = text;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    digits.remove_prefix(2);
  }
  std::uint32_t value = 0;
  const auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
  ok = !digits.empty() && error == std::errc() && end == digits.data() + digits.size();
  return value;
}
}  // namespace

std::uint32_t StampCommand::ParseAddress(const std::string& text) {
  bool ok = false;
  const std::uint32_t address = ParseHex(text, ok);
  if (!ok) throw EUsageError("--at \"" + text + "\" is no 32-bit address in hexadecimal");
  return address;
}

void StampCommand::Declare(CLI::App& app) {
  FCommand = app.add_subcommand(
      "stamp", "Stamp one number into one image, with no profile, no INI file and no counter");
  FCommand->add_option("SKELETON", FRequest.Skeleton, "The Intel HEX image to read")->required();
  FCommand->add_option("OUTPUT", FRequest.Output, "The Intel HEX file to write")->required();
  FCommand->add_option("--serial", FRequest.Serial, "The number (decimal, or hexadecimal after 0x)")
      ->type_name("N")
      ->required();
  FCommand->add_option("--size", FRequest.Size, "Bytes to write (default 2)")->type_name("BYTES");
  FCommand->add_flag("--lsb", FRequest.LsbFirst, "LSB first (default MSB first)");
  FCommand->add_option("--at", FRequest.At, "Address in hexadecimal; one to four of them")
      ->type_name("ADDR")
      ->allow_extra_args(false)
      ->required();
}

int StampCommand::Run(const CommandContext& context) {
  if (context.Ini) throw EUsageError("stamp uses no INI file; --ini is not for it");
  const std::optional<std::int32_t> serial = TryParseInteger(FRequest.Serial);
  if (!serial) {
    throw EUsageError("--serial \"" + FRequest.Serial +
                      "\" is no 32-bit number (decimal, or hexadecimal after 0x)");
  }
  const std::optional<std::int32_t> size = TryParseInteger(FRequest.Size);
  if (!size || *size < 1 || *size > kMaxSeqNumSize) {
    char limit[16];
    std::snprintf(limit, sizeof limit, "%X", static_cast<unsigned>(kMaxSeqNumSize));
    throw EUsageError("--size \"" + FRequest.Size + "\" is outside 1 to " + limit + " hex");
  }
  if (FRequest.At.empty() || FRequest.At.size() > 4) {
    throw EUsageError("stamp takes one to four --at addresses");
  }
  std::vector<std::uint32_t> addresses;
  for (const std::string& at : FRequest.At) addresses.push_back(ParseAddress(at));
  // Bytes past 0xFFFFFFFF would wrap to address 0, as the window's road refuses.
  for (std::size_t k = 0; k < addresses.size(); ++k) {
    const auto bytes = static_cast<std::uint64_t>(*size);
    if (const auto past = PastTopAddress("Slot " + std::to_string(k + 1), addresses[k], bytes)) {
      throw EUsageError(*past);
    }
  }
  // A number too wide for its bytes would be cut to bytes that another number
  // also has, so it is refused as the window's road refuses it.
  if (const auto misfit = SeqNumMisfit(*serial, SeqNumFormat::Binary, *size)) {
    throw EUsageError(*misfit);
  }

  // The same refusal as the window's road for a skeleton that isn't there.
  if (!FileExists(FRequest.Skeleton)) throw Exception("Skeleton file not found.");
  TIntelImage image;
  image.LoadFromFile(FRequest.Skeleton);
  // The slots in the order given, as the road stamps slots 1 to 4.
  for (const std::uint32_t address : addresses) {
    StampSerialBytes(image, *serial, *size, address, FRequest.LsbFirst);
  }
  image.SaveToFile(FRequest.Output);
  return kExitDone;
}

}  // namespace velmorin::cli
