#include "cli/ChecksumCommand.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <ostream>

#include "cli/ExitCode.h"
#include "cli/JsonText.h"
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

void ChecksumCommand::List(std::ostream& out) const {
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
    return;
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
}

int ChecksumCommand::Run(std::ostream& out) const {
  if (FRequest.List) {
    List(out);
    return kExitDone;
  }
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
  out << ChecksumKindName(*kind) << " over " << RangeText(from, to) << " gives "
      << ChecksumValueText(value, width) << "\n";
  if (!at) return kExitDone;

  const std::string place =
      "at " + AddressText(*at) + (FRequest.MsbFirst ? " (msb first)" : " (lsb first)");
  const std::optional<std::vector<std::uint8_t>> stored = HeldBytes(image, *at, width);
  if (!stored) {
    out << place << " the file holds no " << width << " bytes of data\n";
    return kExitError;
  }
  const std::uint32_t storedValue = ChecksumFromBytes(*stored, FRequest.MsbFirst);
  const bool agree = storedValue == value;
  out << place << " the file holds " << ChecksumValueText(storedValue, width) << ": they "
      << (agree ? "agree" : "differ") << "\n";
  return agree ? kExitDone : kExitError;
}

}  // namespace velmorin::cli
