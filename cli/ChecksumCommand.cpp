#include "cli/ChecksumCommand.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/ExitCode.h"
#include "cli/JsonText.h"
#include "cli/StandardOutput.h"
#include "cli/UsageError.h"
#include "image/ChecksumKind.h"
#include "image/ImageChecksum.h"
#include "image/IntelImage.h"
#include "platform/files/FileExists.h"
#include "profiles/ChecksumRegions.h"

namespace velmorin::cli {

namespace {

std::uint32_t Number(const std::string& option, const std::string& text) {
  const std::optional<std::uint32_t> value = ParseChecksumNumber(text);
  if (!value) {
    throw EUsageError(option + " \"" + text +
                      "\" is no 32-bit number (decimal, or hexadecimal after 0x)");
  }
  return *value;
}

// A CRC parameter at the register's width: 0x04C11DB7, 0x1021, 0x07.
std::string Parameter(std::uint32_t value, unsigned bits) {
  return ChecksumValueText(value, bits / 8);
}

std::string Pad(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

}  // namespace

void ChecksumCommand::Declare(CLI::App& app) {
  FCommand = app.add_subcommand(
      "checksum",
      "List the checksum kinds, or compute one over a range of an Intel HEX file and compare it "
      "with the value the file holds");
  FCommand->add_option("FILE", FRequest.File, "The Intel HEX file to read");
  FCommand->add_flag("--list", FRequest.List, "Print the catalogue of checksum kinds");
  FCommand->add_flag("--json", FRequest.Json, "With --list: print JSON");
  FCommand->add_option("--kind", FRequest.Kind, "A kind of the catalogue (--list names them)")
      ->type_name("K");
  FCommand->add_option("--from", FRequest.From, "The range's first address")->type_name("A");
  FCommand->add_option("--to", FRequest.To, "The range's last address, included")->type_name("B");
  FCommand
      ->add_option("--fill", FRequest.Fill,
                   "The byte that addresses without data count as (default 0xFF)")
      ->type_name("F");
  FCommand->add_option("--at", FRequest.At, "Compare with the value stored here; exit 1 if not")
      ->type_name("ADDR");
  FCommand->add_flag("--msb", FRequest.MsbFirst,
                     "The value at --at is stored most significant byte first (default lsb)");
}

int ChecksumCommand::Run(const CommandContext& context) {
  if (context.Ini) throw EUsageError("checksum uses no INI file; --ini is not for it");
  std::string text;
  int code = kExitDone;
  if (FRequest.Json && !FRequest.List) throw EUsageError("--json goes with --list");
  if (FRequest.List) {
    text = List();
  } else {
    code = Compute(text);
  }
  WriteOutput(context.Out, text);
  return code;
}

std::string ChecksumCommand::List() const {
  std::ostringstream out;
  if (FRequest.Json) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const ChecksumKindInfo& info : ChecksumCatalogue()) {
      nlohmann::ordered_json j;
      j["name"] = info.Name;
      j["width"] = info.Width;
      if (info.Crc) {
        const CrcParameters& crc = *info.Crc;
        j["catalogue"] = crc.CatalogueName;
        j["polynomial"] = Parameter(crc.Poly, crc.Bits);
        j["init"] = Parameter(crc.Init, crc.Bits);
        j["reflect_in"] = crc.RefIn;
        j["reflect_out"] = crc.RefOut;
        j["xorout"] = Parameter(crc.XorOut, crc.Bits);
        j["check"] = crc.Check ? nlohmann::ordered_json(Parameter(*crc.Check, crc.Bits))
                               : nlohmann::ordered_json(nullptr);
        j["little_endian_words"] = info.LittleEndianWords;
      }
      j["description"] = info.Description;
      list.push_back(std::move(j));
    }
    out << JsonText(list, 2) << "\n";
    return out.str();
  }
  out << Pad("kind", 19) << Pad("width", 7) << Pad("polynomial", 12) << Pad("init", 12)
      << Pad("reflect", 9) << Pad("xorout", 12) << Pad("check", 12) << "catalogue\n";
  for (const ChecksumKindInfo& info : ChecksumCatalogue()) {
    out << Pad(info.Name, 19) << Pad(std::to_string(info.Width), 7);
    if (info.Crc) {
      const CrcParameters& crc = *info.Crc;
      const char* reflect =
          crc.RefIn ? (crc.RefOut ? "in+out" : "in") : (crc.RefOut ? "out" : "no");
      out << Pad(Parameter(crc.Poly, crc.Bits), 12) << Pad(Parameter(crc.Init, crc.Bits), 12)
          << Pad(reflect, 9) << Pad(Parameter(crc.XorOut, crc.Bits), 12)
          << Pad(crc.Check ? Parameter(*crc.Check, crc.Bits) : "-", 12) << crc.CatalogueName;
      if (info.LittleEndianWords) out << ", over 32-bit little-endian words";
    } else {
      out << info.Description;
    }
    out << "\n";
  }
  return out.str();
}

int ChecksumCommand::Compute(std::string& text) const {
  if (FRequest.File.empty()) throw EUsageError("checksum needs a FILE, or --list");
  const std::optional<ChecksumKind> kind = FindChecksumKind(FRequest.Kind);
  if (!kind) {
    throw EUsageError("--kind \"" + FRequest.Kind + "\" is no checksum kind; the kinds are " +
                      ChecksumKindNames());
  }
  const std::uint32_t from = Number("--from", FRequest.From);
  const std::uint32_t to = Number("--to", FRequest.To);
  const std::uint32_t fill = Number("--fill", FRequest.Fill);
  if (fill > 0xFF) throw EUsageError("--fill \"" + FRequest.Fill + "\" is above 0xFF");
  try {
    RequireChecksumRange(*kind, from, to);
  } catch (const EChecksumRangeError& error) {
    throw EUsageError(error.Message());
  }
  const std::uint32_t width = ChecksumWidth(*kind);
  std::optional<std::uint32_t> at;
  if (FRequest.At) {
    at = Number("--at", *FRequest.At);
    if (std::uint64_t{*at} + width > std::uint64_t{1} << 32) {
      throw EUsageError("--at " + AddressText(*at) + ": the " + std::to_string(width) +
                        "-byte result would run past 0xFFFFFFFF");
    }
  } else if (FRequest.MsbFirst) {
    throw EUsageError("--msb tells how the value at --at is stored; give --at too");
  }

  if (!FileExists(FRequest.File)) throw Exception("Skeleton file not found.");
  TIntelImage image;
  image.LoadFromFile(FRequest.File);
  const std::uint32_t value =
      ComputeChecksum(image, *kind, from, to, static_cast<std::uint8_t>(fill));
  text = std::string(ChecksumKindName(*kind)) + " over " + RangeText(from, to) + " gives " +
         ChecksumValueText(value, width) + "\n";
  if (!at) return kExitDone;

  const std::string place =
      "at " + AddressText(*at) + (FRequest.MsbFirst ? " (msb first)" : " (lsb first)");
  const std::optional<std::vector<std::uint8_t>> stored = HeldBytes(image, *at, width);
  if (!stored) {
    text += place + " the file holds no " + std::to_string(width) + " bytes of data\n";
    return kExitError;
  }
  const std::uint32_t storedValue = ChecksumFromBytes(*stored, FRequest.MsbFirst);
  const bool agree = storedValue == value;
  text += place + " the file holds " + ChecksumValueText(storedValue, width) + ": they " +
          (agree ? "agree" : "differ") + "\n";
  return agree ? kExitDone : kExitError;
}

}  // namespace velmorin::cli
