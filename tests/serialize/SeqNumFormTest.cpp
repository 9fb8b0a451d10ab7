// The serial number's forms against encodings made elsewhere: python3 builds
// the expected bytes of every case with struct, str.zfill and
// encode('utf-16-le'), and packs BCD digit by digit, and decides on its own
// whether the number fits its slot.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "serialize/SeqNumForm.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

// Reads "format size lsb number" lines; prints the slot's bytes in upper-case
// hexadecimal, lowest address first, or "misfit".
constexpr const char* kExpectedForms = R"(import struct, sys

def bcd(n, size, lsb):
    digits = str(n).zfill(2 * size)
    if n < 0 or len(digits) > 2 * size:
        return None
    packed = bytes((int(digits[i]) << 4) | int(digits[i + 1]) for i in range(0, len(digits), 2))
    return packed[::-1] if lsb else packed

def binary(n, size, lsb):
    if size < 4 and not 0 <= n < 256 ** size:
        return None
    order = '<' if lsb else '>'
    if size == 3:
        whole = struct.pack(order + 'I', n)
        return whole[:3] if lsb else whole[1:]
    return struct.pack(order + {1: 'B', 2: 'H', 4: 'I', 8: 'Q'}[size], n & 0xFFFFFFFF)

def text(n, size, digits):
    padded = digits.zfill(size)
    return padded if len(padded) <= size else None

for line in sys.stdin:
    form, size, lsb, n = line.split()
    size, lsb, n = int(size), lsb == '1', int(n)
    if form == 'binary':
        out = binary(n, size, lsb)
    elif form == 'bcd':
        out = bcd(n, size, lsb)
    elif form == 'ascii-hex':
        digits = text(n, size, format(n & 0xFFFFFFFF, 'X'))
        out = digits.encode('ascii') if digits else None
    else:
        digits = text(n, size, str(n)) if n >= 0 else None
        out = None if digits is None else digits.encode('ascii' if form == 'ascii' else 'utf-16-le')
    print('misfit' if out is None else out.hex().upper())
)";

bool PythonInstalled() {
  return std::system("command -v python3 >/dev/null 2>&1") == 0;
}

struct FormCase {
  SeqNumFormat format;
  std::int32_t size;
  bool lsbFirst;
  std::int32_t number;
};

std::string Hex(const std::string& bytes) {
  std::string hex;
  for (const char byte : bytes) {
    const auto value = static_cast<unsigned char>(byte);
    hex += "0123456789ABCDEF"[value >> 4];
    hex += "0123456789ABCDEF"[value & 0xF];
  }
  return hex;
}

// The largest number each form holds in `size`, when it is a 32-bit one.
std::int64_t LargestFitting(SeqNumFormat format, std::int32_t size) {
  std::int64_t base = 10;
  std::int32_t digits = size;
  if (format == SeqNumFormat::Binary) base = 256;
  if (format == SeqNumFormat::Bcd) digits = 2 * size;
  if (format == SeqNumFormat::AsciiHex) base = 16;
  std::int64_t limit = 1;
  for (std::int32_t i = 0; i < digits && limit <= INT32_MAX; ++i) limit *= base;
  return limit - 1;
}

std::vector<FormCase> AllCases() {
  const struct {
    SeqNumFormat format;
    std::vector<std::int32_t> sizes;
  } forms[] = {
      {SeqNumFormat::Binary, {1, 2, 3, 4, 8}},  {SeqNumFormat::Bcd, {1, 2, 3, 5, 6}},
      {SeqNumFormat::Ascii, {1, 4, 5, 10, 12}}, {SeqNumFormat::AsciiHex, {1, 4, 7, 8, 10}},
      {SeqNumFormat::Utf16, {1, 2, 6, 10, 11}},
  };
  std::vector<FormCase> cases;
  for (const auto& form : forms) {
    for (const std::int32_t size : form.sizes) {
      std::vector<std::int32_t> numbers{0, 5, 1234, 65536, -1, INT32_MIN, INT32_MAX};
      const std::int64_t largest = LargestFitting(form.format, size);
      if (largest <= INT32_MAX) numbers.push_back(static_cast<std::int32_t>(largest));
      if (largest < INT32_MAX) numbers.push_back(static_cast<std::int32_t>(largest + 1));
      for (const std::int32_t number : numbers) {
        for (const bool lsbFirst : {false, true}) {
          cases.push_back({form.format, size, lsbFirst, number});
        }
      }
    }
  }
  return cases;
}

TEST(SeqNumForm, EveryFormAgreesWithPythonsEncoding) {
  if (!PythonInstalled()) GTEST_SKIP() << "python3 is not installed (scripts/setup installs it)";
  const std::vector<FormCase> cases = AllCases();
  test::TempDir dir;
  std::string input;
  for (const FormCase& c : cases) {
    input += std::string(SeqNumFormatName(c.format)) + " " + std::to_string(c.size) + " " +
             (c.lsbFirst ? "1 " : "0 ") + std::to_string(c.number) + "\n";
  }
  test::WriteFileBytes(dir.File("forms.py"), kExpectedForms);
  test::WriteFileBytes(dir.File("cases.txt"), input);
  const std::string command = "python3 " + dir.File("forms.py") + " <" + dir.File("cases.txt") +
                              " >" + dir.File("expected.txt");
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  std::istringstream expected(test::ReadFileBytes(dir.File("expected.txt")));

  int misfits = 0;
  for (const FormCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << SeqNumFormatName(c.format) << " size " << c.size
                                      << (c.lsbFirst ? " LSB " : " MSB ") << c.number);
    std::string python;
    ASSERT_TRUE(std::getline(expected, python));
    const std::optional<std::string> misfit = SeqNumMisfit(c.number, c.format, c.size);
    EXPECT_EQ(misfit.has_value(), python == "misfit") << (misfit ? *misfit : "fits");
    if (python == "misfit") {
      ++misfits;
    } else {
      EXPECT_EQ(Hex(SeqNumFormBytes(c.number, c.format, c.size, c.lsbFirst)), python);
    }
  }
  // Both sides of the fit rule were reached, in quantity.
  EXPECT_GT(misfits, 50);
  EXPECT_LT(misfits, static_cast<int>(cases.size()) - 200);
}

TEST(SeqNumForm, MisfitsNameTheNumberAndTheRoom) {
  EXPECT_EQ(SeqNumMisfit(-1, SeqNumFormat::Bcd, 3), "Serial number -1 does not fit in 3 bytes.");
  EXPECT_EQ(SeqNumMisfit(100, SeqNumFormat::Utf16, 2),
            "Serial number 100 does not fit in 2 characters.");
  // Nothing is written at a size of 0 or below, so nothing can clash.
  EXPECT_EQ(SeqNumMisfit(INT32_MIN, SeqNumFormat::Ascii, 0), std::nullopt);
  EXPECT_EQ(SeqNumSlotBytes(SeqNumFormat::Utf16, 6), 12u);
}

}  // namespace
}  // namespace velmorin
