#include "profiles/ChecksumRegions.h"

#include <charconv>
#include <cstdio>

#include "base/ParseInteger.h"
#include "profiles/ProfileKeys.h"

namespace velmorin {

namespace {

// The six keys of a region, without its number, in file order.
enum class Field { Kind, From, To, At, ByteOrder, Fill };
constexpr std::array<std::pair<Field, const char*>, 6> kFields{{
    {Field::Kind, "ChecksumKind"},
    {Field::From, "ChecksumFrom"},
    {Field::To, "ChecksumTo"},
    {Field::At, "ChecksumAt"},
    {Field::ByteOrder, "ChecksumByteOrder"},
    {Field::Fill, "ChecksumFill"},
}};

std::string KeyName(Field field, int number) {
  for (const auto& [f, stem] : kFields) {
    if (f == field) return stem + std::to_string(number);
  }
  return {};
}

std::string Hex(std::uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value));
  return text;
}

// Reads `text` into `keys` as `field`; returns why the text is refused, or an
// empty text when it is taken.
std::string ReadField(ChecksumRegionKeys& keys, Field field, const std::string& text) {
  switch (field) {
    case Field::Kind:
      if (text.empty()) {
        keys.Kind.reset();
        keys.KindCleared = true;
        return {};
      }
      if (const std::optional<ChecksumKind> kind = FindChecksumKind(text)) {
        keys.Kind = kind;
        keys.KindCleared = false;
        return {};
      }
      return "is no checksum kind; the kinds are " + ChecksumKindNames();
    case Field::From:
    case Field::To:
    case Field::At: {
      const std::optional<std::uint32_t> address = ParseChecksumNumber(text);
      if (!address) return "is no 32-bit address";
      (field == Field::From ? keys.From : field == Field::To ? keys.To : keys.At) = address;
      return {};
    }
    case Field::ByteOrder:
      if (IniFile::SameName(text, "lsb") || IniFile::SameName(text, "msb")) {
        keys.MsbFirst = IniFile::SameName(text, "msb");
        return {};
      }
      return "is neither lsb nor msb";
    case Field::Fill: {
      const std::optional<std::uint32_t> fill = ParseChecksumNumber(text);
      if (!fill || *fill > 0xFF) return "is no byte value from 0 to 0xFF";
      keys.Fill = static_cast<std::uint8_t>(*fill);
      return {};
    }
  }
  return {};
}

// The key named `key` in stored spelling: its region's index and field.
struct KeyRef {
  const std::string* Name;
  std::size_t Index;
  Field FieldOf;
};

std::optional<KeyRef> FindKey(std::string_view key) {
  const std::vector<std::string>& names = ChecksumRegions::KeyNames();
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (IniFile::SameName(names[i], key)) {
      return KeyRef{&names[i], i / kFields.size(), kFields[i % kFields.size()].first};
    }
  }
  return std::nullopt;
}

// Address ranges [Lo, Hi) in 64 bits; one that wraps past 0xFFFFFFFF is two.
struct Span {
  std::uint64_t Lo;
  std::uint64_t Hi;
};
constexpr std::uint64_t kTop = std::uint64_t{1} << 32;

std::vector<Span> Spans(std::uint32_t first, std::uint64_t count) {
  const std::uint64_t end = std::uint64_t{first} + count;
  if (count == 0) return {};
  if (end <= kTop) return {{first, end}};
  return {{first, kTop}, {0, end - kTop}};
}

bool Overlap(const std::vector<Span>& a, const std::vector<Span>& b) {
  for (const Span& x : a) {
    for (const Span& y : b) {
      if (x.Lo < y.Hi && y.Lo < x.Hi) return true;
    }
  }
  return false;
}

[[noreturn]] void Refuse(const std::string& message) {
  throw EProfileValueError(message);
}

}  // namespace

std::optional<std::uint32_t> ParseChecksumNumber(std::string_view text) {
  std::size_t blanks = 0;
  while (blanks < text.size() && text[blanks] == ' ') ++blanks;
  const std::string_view number = text.substr(blanks);
  if (number.empty() || number[0] == '-' || number[0] == '+') return std::nullopt;
  if (const std::optional<std::int32_t> value = TryParseInteger(number)) {
    return static_cast<std::uint32_t>(*value);
  }
  std::uint32_t value = 0;  // decimal above 0x7FFFFFFF
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (error != std::errc() || end != number.data() + number.size()) return std::nullopt;
  return value;
}

std::vector<NumberedChecksumRegion> ChecksumRegions::InForce() const {
  std::vector<NumberedChecksumRegion> regions;
  for (std::size_t i = 0; i < Keys.size(); ++i) {
    const ChecksumRegionKeys& keys = Keys[i];
    if (!keys.Kind || !keys.From || !keys.To || !keys.At) continue;
    ChecksumRegion region;
    region.Kind = *keys.Kind;
    region.From = *keys.From;
    region.To = *keys.To;
    region.At = *keys.At;
    region.MsbFirst = keys.MsbFirst.value_or(false);
    region.Fill = keys.Fill.value_or(0xFF);
    regions.push_back({static_cast<int>(i) + 1, region});
  }
  return regions;
}

const std::vector<std::string>& ChecksumRegions::KeyNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> list;
    for (int number = 1; number <= kChecksumRegionCount; ++number) {
      for (const auto& [field, stem] : kFields) list.push_back(KeyName(field, number));
    }
    return list;
  }();
  return names;
}

std::string ChecksumRegions::Read(const std::string& key, const std::string& text) {
  const std::optional<KeyRef> ref = FindKey(key);
  if (!ref) return "is no checksum region key";
  return ReadField(Keys[ref->Index], ref->FieldOf, text);
}

void ChecksumRegions::Encode(ProfileKeyValues& values) const {
  for (std::size_t i = 0; i < Keys.size(); ++i) {
    const ChecksumRegionKeys& keys = Keys[i];
    const int number = static_cast<int>(i) + 1;
    if (keys.Kind) {
      values.emplace_back(KeyName(Field::Kind, number), ChecksumKindName(*keys.Kind));
    } else if (keys.KindCleared) {
      values.emplace_back(KeyName(Field::Kind, number), "");
    }
    if (keys.From) values.emplace_back(KeyName(Field::From, number), Hex(*keys.From, 8));
    if (keys.To) values.emplace_back(KeyName(Field::To, number), Hex(*keys.To, 8));
    if (keys.At) values.emplace_back(KeyName(Field::At, number), Hex(*keys.At, 8));
    if (keys.MsbFirst) {
      values.emplace_back(KeyName(Field::ByteOrder, number), *keys.MsbFirst ? "msb" : "lsb");
    }
    if (keys.Fill) values.emplace_back(KeyName(Field::Fill, number), Hex(*keys.Fill, 2));
  }
}

void ChecksumRegions::Show(ShownValues& shown) const {
  for (std::size_t i = 0; i < Keys.size(); ++i) {
    const ChecksumRegionKeys& keys = Keys[i];
    const int number = static_cast<int>(i) + 1;
    if (keys.Kind) {
      shown.push_back({KeyName(Field::Kind, number), std::string(ChecksumKindName(*keys.Kind))});
    } else if (keys.KindCleared) {
      shown.push_back({KeyName(Field::Kind, number), std::string()});
    }
    if (keys.From) shown.push_back({KeyName(Field::From, number), std::int64_t{*keys.From}});
    if (keys.To) shown.push_back({KeyName(Field::To, number), std::int64_t{*keys.To}});
    if (keys.At) shown.push_back({KeyName(Field::At, number), std::int64_t{*keys.At}});
    if (keys.MsbFirst) {
      shown.push_back(
          {KeyName(Field::ByteOrder, number), std::string(*keys.MsbFirst ? "msb" : "lsb")});
    }
    if (keys.Fill) shown.push_back({KeyName(Field::Fill, number), std::int64_t{*keys.Fill}});
  }
}

std::vector<SerialSlotBytes> SwitchedOnSerialSlots(const ProfileSettings& settings,
                                                   const SeqNumRules& rules) {
  std::vector<SerialSlotBytes> slots;
  const std::uint32_t count = SeqNumSlotBytes(rules.FormatOrDefault(), settings.SeqNumSize);
  for (std::size_t i = 0; i < settings.SetSeqNumOfs.size(); ++i) {
    if (!settings.SetSeqNumOfs[i] || count == 0) continue;
    slots.push_back(
        {static_cast<int>(i) + 1, static_cast<std::uint32_t>(settings.SeqNumOfs[i]), count});
  }
  return slots;
}

void RequireValidChecksumRegions(const ChecksumRegions& regions,
                                 std::span<const SerialSlotBytes> switchedOnSlots) {
  // Each region's range and result, once its own keys are found sound.
  struct Checked {
    int Number;
    std::uint32_t From;
    std::uint32_t To;
    std::uint32_t At;
    std::vector<Span> Range;
    std::vector<Span> Result;
  };
  std::vector<Checked> checked;
  for (std::size_t i = 0; i < regions.Keys.size(); ++i) {
    const ChecksumRegionKeys& keys = regions.Keys[i];
    if (!keys.Kind) continue;
    const int n = static_cast<int>(i) + 1;
    const std::string kindKey = KeyName(Field::Kind, n) + " " + ChecksumKindName(*keys.Kind);
    for (const Field field : {Field::From, Field::To, Field::At}) {
      const auto& value = field == Field::From ? keys.From : field == Field::To ? keys.To : keys.At;
      if (!value) Refuse(kindKey + " needs " + KeyName(field, n) + ", which is not set");
    }
    const std::string fromKey = KeyName(Field::From, n);
    const std::string toKey = KeyName(Field::To, n);
    const std::string atKey = KeyName(Field::At, n) + " " + AddressText(*keys.At);
    const std::string rangeKeys = fromKey + "-" + toKey + " " + RangeText(*keys.From, *keys.To);
    if (*keys.To < *keys.From) {
      Refuse(toKey + " " + AddressText(*keys.To) + " lies below " + fromKey + " " +
             AddressText(*keys.From) + ": the range ends before it starts");
    }
    const std::uint64_t length = RangeLength(*keys.From, *keys.To);
    if (ChecksumKindInfoOf(*keys.Kind).LittleEndianWords && length % 4 != 0) {
      Refuse(kindKey + " reads 32-bit words, but " + rangeKeys + " holds " +
             std::to_string(length) + " bytes, no multiple of 4");
    }
    const std::uint32_t width = ChecksumWidth(*keys.Kind);
    const std::string result = "The " + std::to_string(width) + "-byte result at " + atKey;
    if (std::uint64_t{*keys.At} + width > kTop) Refuse(result + " runs past 0xFFFFFFFF");
    const Checked region{
        n, *keys.From, *keys.To, *keys.At, Spans(*keys.From, length), Spans(*keys.At, width)};
    if (Overlap(region.Result, region.Range)) {
      Refuse(result + " lies inside its own range " + rangeKeys);
    }
    for (const SerialSlotBytes& slot : switchedOnSlots) {
      const std::vector<Span> serial = Spans(slot.Address, slot.Count);
      if (!Overlap(region.Result, serial)) continue;
      const std::string slotText = std::to_string(slot.Slot);
      Refuse(result + " lies over serial slot " + slotText + " (SeqNumOfs" + slotText + " " +
             AddressText(slot.Address) + ", " + std::to_string(slot.Count) + " bytes)");
    }
    for (const Checked& earlier : checked) {
      const std::string e = std::to_string(earlier.Number);
      const std::string earlierAt = "ChecksumAt" + e + " " + AddressText(earlier.At);
      if (Overlap(region.Result, earlier.Result)) {
        Refuse(result + " lies over the result of region " + e + " at " + earlierAt +
               ": one would overwrite the other");
      }
      if (!Overlap(earlier.Range, region.Result)) continue;
      // Region n is written after region `earlier` is computed, inside its
      // range. Region n first would do, unless its range covers the other's
      // result as well.
      const std::string here = std::to_string(n);
      const std::string earlierRange =
          "ChecksumFrom" + e + "-ChecksumTo" + e + " " + RangeText(earlier.From, earlier.To);
      if (Overlap(region.Range, earlier.Result)) {
        Refuse("The ranges of regions " + e + " and " + here + " each cover the other's result (" +
               earlierAt + ", " + atKey + "): no order computes both right");
      }
      Refuse("The range of region " + e + " " + earlierRange + " covers the result of region " +
             here + " at " + atKey + ", which would be written after region " + e +
             " is computed: region " + here +
             " must come first (the inner region takes the "
             "lower number)");
    }
    checked.push_back(region);
  }
}

}  // namespace velmorin
