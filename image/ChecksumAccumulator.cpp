#include "image/ChecksumAccumulator.h"

#include <zlib.h>

#include <algorithm>
#include <bit>
#include <boost/crc.hpp>
#include <memory>
#include <stdexcept>

#include "image/ChecksumCatalogueTable.h"

namespace velmorin {

namespace {

// A linear map of a CRC register (at most 32 bits) over GF(2): column i is
// the image of bit i.
using Matrix = std::array<std::uint32_t, 32>;

std::uint32_t Apply(const Matrix& m, std::uint32_t v) {
  std::uint32_t result = 0;
  for (unsigned i = 0; v != 0; ++i, v >>= 1) {
    if (v & 1) result ^= m[i];
  }
  return result;
}

// a after b.
Matrix Compose(const Matrix& a, const Matrix& b) {
  Matrix result{};
  for (std::size_t i = 0; i < result.size(); ++i) result[i] = Apply(a, b[i]);
  return result;
}

// A CRC engine over a state that it hands out and takes back, so that a
// computation can stop and go on. Feeding a byte is an affine map of the
// state over GF(2), which is all the run folding below needs.
class CrcEngine {
 public:
  virtual ~CrcEngine() = default;
  virtual unsigned Bits() const = 0;
  virtual std::uint32_t Initial() const = 0;
  virtual std::uint32_t Process(std::uint32_t state, const std::uint8_t* data,
                                std::size_t size) const = 0;
  // The checksum of a computation whose state is `state`.
  virtual std::uint32_t Output(std::uint32_t state) const = 0;
};

// Boost.CRC's table-driven engine for the catalogue's parameters; the state
// is its interim remainder, which it hands out and takes back unreflected.
template <ChecksumKind K>
class BoostCrcEngine final : public CrcEngine {
  static constexpr CrcParameters kP = detail::CrcOf(K);
  using Engine = boost::crc_optimal<kP.Bits, kP.Poly, kP.Init, kP.XorOut, kP.RefIn, kP.RefOut>;
  using Register = typename Engine::value_type;

 public:
  unsigned Bits() const override { return kP.Bits; }
  std::uint32_t Initial() const override { return Engine().get_interim_remainder(); }
  std::uint32_t Process(std::uint32_t state, const std::uint8_t* data,
                        std::size_t size) const override {
    Engine engine(static_cast<Register>(state));
    engine.process_bytes(data, size);
    return engine.get_interim_remainder();
  }
  std::uint32_t Output(std::uint32_t state) const override {
    return Engine(static_cast<Register>(state)).checksum();
  }
};

// zlib's CRC-32, many times faster than a byte-wise table (it works on
// several bytes at once): what a checksum over a whole large image needs to
// cost little beside reading and writing it. The state is zlib's running value.
class ZlibCrc32Engine final : public CrcEngine {
 public:
  unsigned Bits() const override { return 32; }
  std::uint32_t Initial() const override { return 0; }
  std::uint32_t Process(std::uint32_t state, const std::uint8_t* data,
                        std::size_t size) const override {
    return static_cast<std::uint32_t>(crc32_z(state, data, size));
  }
  std::uint32_t Output(std::uint32_t state) const override { return state; }
};

// CRC-32/MPEG-2 through zlib: the same polynomial unreflected. A CRC that
// takes bytes highest bit first is the mirror image of one that takes them
// lowest bit first over bit-reversed bytes, so MPEG-2 of the data is the
// reversed value of zlib's CRC of the reversed bytes, without its final XOR
// (both start from all ones; MPEG-2 XORs nothing at the end).
class ZlibMpeg2Engine final : public CrcEngine {
 public:
  unsigned Bits() const override { return 32; }
  std::uint32_t Initial() const override { return 0; }
  std::uint32_t Process(std::uint32_t state, const std::uint8_t* data,
                        std::size_t size) const override {
    std::array<std::uint8_t, 4096> reversed;
    while (size != 0) {
      const std::size_t n = std::min(size, reversed.size());
      for (std::size_t i = 0; i < n; ++i) reversed[i] = kReversedBits[data[i]];
      state = static_cast<std::uint32_t>(crc32_z(state, reversed.data(), n));
      data += n;
      size -= n;
    }
    return state;
  }
  std::uint32_t Output(std::uint32_t state) const override {
    std::uint32_t value = ~state;
    std::uint32_t mirrored = 0;
    for (int i = 0; i < 32; ++i, value >>= 1) mirrored = mirrored << 1 | (value & 1);
    return mirrored;
  }

 private:
  static constexpr std::array<std::uint8_t, 256> kReversedBits = [] {
    std::array<std::uint8_t, 256> table{};
    for (unsigned b = 0; b < 256; ++b) {
      unsigned r = 0;
      for (unsigned i = 0; i < 8; ++i) r |= ((b >> i) & 1) << (7 - i);
      table[b] = static_cast<std::uint8_t>(r);
    }
    return table;
  }();
};

// A CRC engine with the powers of its one-byte map. Feeding a byte x turns
// the state s into A s + b(x), where A is linear and b(x) the state that x
// alone leaves from state 0. So 2^k bytes of x turn s into
// A^(2^k) s + (I + A + ... + A^(2^k - 1)) b(x); both matrices are kept for
// every k up to 2^32 bytes, the largest range.
class CrcMachinery {
 public:
  explicit CrcMachinery(std::unique_ptr<const CrcEngine> engine) : FEngine(std::move(engine)) {
    FZeroByte = Effect(0);
    Matrix zeroByte{};
    Matrix identity{};
    for (unsigned i = 0; i < FEngine->Bits(); ++i) {
      const std::uint8_t zero = 0;
      zeroByte[i] = FEngine->Process(std::uint32_t{1} << i, &zero, 1) ^ FZeroByte;
      identity[i] = std::uint32_t{1} << i;
    }
    FPower[0] = zeroByte;
    FSeries[0] = identity;
    for (std::size_t k = 1; k < FPower.size(); ++k) {
      FPower[k] = Compose(FPower[k - 1], FPower[k - 1]);
      // (I + ... + A^(n-1)) + A^n (I + ... + A^(n-1)), n = 2^(k-1)
      const Matrix shifted = Compose(FPower[k - 1], FSeries[k - 1]);
      for (std::size_t i = 0; i < 32; ++i) FSeries[k][i] = FSeries[k - 1][i] ^ shifted[i];
    }
  }

  const CrcEngine& Engine() const { return *FEngine; }

  // The state `s` after `count` bytes of `value`.
  std::uint32_t Run(std::uint32_t s, std::uint8_t value, std::uint64_t count) const {
    const std::uint32_t effect = Effect(value);
    for (unsigned k = 0; count != 0; ++k, count >>= 1) {
      if (count & 1) s = Apply(FPower[k], s) ^ Apply(FSeries[k], effect);
    }
    return s;
  }

  // How the state changes when a byte fed changes by `flipped` (XOR).
  std::uint32_t Change(std::uint8_t flipped) const { return Effect(flipped) ^ FZeroByte; }

  // A change of the state, `count` bytes later.
  std::uint32_t Advance(std::uint32_t delta, std::uint64_t count) const {
    for (unsigned k = 0; count != 0; ++k, count >>= 1) {
      if (count & 1) delta = Apply(FPower[k], delta);
    }
    return delta;
  }

 private:
  std::uint32_t Effect(std::uint8_t value) const { return FEngine->Process(0, &value, 1); }

  std::unique_ptr<const CrcEngine> FEngine;
  std::uint32_t FZeroByte = 0;
  std::array<Matrix, 33> FPower{};
  std::array<Matrix, 33> FSeries{};
};

template <class Engine>
const CrcMachinery& MachineryOf() {
  static const CrcMachinery machinery(std::make_unique<Engine>());
  return machinery;
}

const CrcMachinery& Machinery(ChecksumKind kind) {
  switch (kind) {
    case ChecksumKind::Crc32:
      return MachineryOf<ZlibCrc32Engine>();
    case ChecksumKind::Crc32c:
      return MachineryOf<BoostCrcEngine<ChecksumKind::Crc32c>>();
    case ChecksumKind::Crc32Mpeg2:
    case ChecksumKind::Crc32Stm32:  // the same CRC, fed words
      return MachineryOf<ZlibMpeg2Engine>();
    case ChecksumKind::Crc16CcittFalse:
      return MachineryOf<BoostCrcEngine<ChecksumKind::Crc16CcittFalse>>();
    case ChecksumKind::Crc16Xmodem:
      return MachineryOf<BoostCrcEngine<ChecksumKind::Crc16Xmodem>>();
    case ChecksumKind::Crc16Kermit:
      return MachineryOf<BoostCrcEngine<ChecksumKind::Crc16Kermit>>();
    case ChecksumKind::Crc16Arc:
      return MachineryOf<BoostCrcEngine<ChecksumKind::Crc16Arc>>();
    case ChecksumKind::Crc16Modbus:
      return MachineryOf<BoostCrcEngine<ChecksumKind::Crc16Modbus>>();
    case ChecksumKind::Crc8:
      return MachineryOf<BoostCrcEngine<ChecksumKind::Crc8>>();
    default:
      throw std::logic_error("no CRC engine for this checksum kind");
  }
}

bool IsCrc(ChecksumKind kind) {
  return ChecksumKindInfoOf(kind).Crc.has_value();
}

std::uint32_t WidthMask(ChecksumKind kind) {
  const std::uint32_t width = ChecksumWidth(kind);
  return width >= 4 ? 0xFFFFFFFFu : (std::uint32_t{1} << (8 * width)) - 1;
}

}  // namespace

ChecksumAccumulator::ChecksumAccumulator(ChecksumKind kind)
    : FKind(kind),
      FWords(ChecksumKindInfoOf(kind).LittleEndianWords),
      FState(IsCrc(kind) ? Machinery(kind).Engine().Initial() : 0) {}

void ChecksumAccumulator::Feed(const std::uint8_t* data, std::size_t size) {
  switch (FKind) {
    case ChecksumKind::Sum8:
    case ChecksumKind::Sum16:
    case ChecksumKind::Sum32:
    case ChecksumKind::Sum8Neg:
    case ChecksumKind::Sum16Neg: {
      std::uint64_t sum = 0;
      for (std::size_t i = 0; i < size; ++i) sum += data[i];
      FState += sum;
      return;
    }
    case ChecksumKind::Xor8: {
      std::uint8_t x = 0;
      for (std::size_t i = 0; i < size; ++i) x ^= data[i];
      FState ^= x;
      return;
    }
    default:
      FState = Machinery(FKind).Engine().Process(static_cast<std::uint32_t>(FState), data, size);
  }
}

void ChecksumAccumulator::FeedRun(std::uint8_t value, std::uint64_t count) {
  switch (FKind) {
    case ChecksumKind::Sum8:
    case ChecksumKind::Sum16:
    case ChecksumKind::Sum32:
    case ChecksumKind::Sum8Neg:
    case ChecksumKind::Sum16Neg:
      FState += std::uint64_t{value} * count;
      return;
    case ChecksumKind::Xor8:
      if (count & 1) FState ^= value;
      return;
    default:
      FState = Machinery(FKind).Run(static_cast<std::uint32_t>(FState), value, count);
  }
}

void ChecksumAccumulator::Update(std::span<const std::uint8_t> bytes) {
  FLength += bytes.size();
  if (!FWords) {
    Feed(bytes.data(), bytes.size());
    return;
  }
  // Each group of four goes in reversed: the word's most significant byte,
  // the highest address, first.
  std::size_t i = 0;
  const auto take = [this](std::uint8_t byte) {
    FPending[FPendingCount++] = byte;
    if (FPendingCount == 4) {
      const std::uint8_t word[4] = {FPending[3], FPending[2], FPending[1], FPending[0]};
      Feed(word, 4);
      FPendingCount = 0;
    }
  };
  while (i < bytes.size() && FPendingCount != 0) take(bytes[i++]);
  std::array<std::uint8_t, 4096> reversed;
  while (bytes.size() - i >= 4) {
    const std::size_t n = std::min((bytes.size() - i) & ~std::size_t{3}, reversed.size());
    for (std::size_t k = 0; k < n; k += 4) {
      reversed[k] = bytes[i + k + 3];
      reversed[k + 1] = bytes[i + k + 2];
      reversed[k + 2] = bytes[i + k + 1];
      reversed[k + 3] = bytes[i + k];
    }
    Feed(reversed.data(), n);
    i += n;
  }
  while (i < bytes.size()) take(bytes[i++]);
}

void ChecksumAccumulator::UpdateRun(std::uint8_t value, std::uint64_t count) {
  if (!FWords) {
    FLength += count;
    FeedRun(value, count);
    return;
  }
  // A word of four equal bytes reads the same reversed.
  const std::uint8_t one[1] = {value};
  while (count != 0 && FPendingCount != 0) {
    Update(one);
    --count;
  }
  const std::uint64_t whole = count & ~std::uint64_t{3};
  FLength += whole;
  FeedRun(value, whole);
  for (count -= whole; count != 0; --count) Update(one);
}

std::uint32_t ChecksumAccumulator::Value() const {
  if (FWords && FPendingCount != 0) {
    throw std::logic_error("a checksum over 32-bit words needs a length that is a multiple of 4");
  }
  const std::uint32_t mask = WidthMask(FKind);
  switch (FKind) {
    case ChecksumKind::Sum8:
    case ChecksumKind::Sum16:
    case ChecksumKind::Sum32:
    case ChecksumKind::Xor8:
      return static_cast<std::uint32_t>(FState) & mask;
    case ChecksumKind::Sum8Neg:
    case ChecksumKind::Sum16Neg:
      return static_cast<std::uint32_t>(0 - FState) & mask;
    default:
      return Machinery(FKind).Engine().Output(static_cast<std::uint32_t>(FState));
  }
}

std::uint32_t AdjustChecksum(ChecksumKind kind, std::uint32_t value, std::uint64_t length,
                             std::uint64_t offset, std::uint8_t oldByte, std::uint8_t newByte) {
  const std::uint32_t mask = WidthMask(kind);
  const std::uint32_t change = std::uint32_t{newByte} - std::uint32_t{oldByte};
  switch (kind) {
    case ChecksumKind::Sum8:
    case ChecksumKind::Sum16:
    case ChecksumKind::Sum32:
      return (value + change) & mask;
    case ChecksumKind::Sum8Neg:
    case ChecksumKind::Sum16Neg:
      return (value - change) & mask;
    case ChecksumKind::Xor8:
      return (value ^ oldByte ^ newByte) & mask;
    default:
      break;
  }
  if (oldByte == newByte) return value;
  // Where the byte enters the CRC: a word kind takes each group of four reversed.
  if (ChecksumKindInfoOf(kind).LittleEndianWords)
    offset = (offset & ~std::uint64_t{3}) + 3 - (offset & 3);
  const CrcMachinery& machinery = Machinery(kind);
  const CrcEngine& engine = machinery.Engine();
  const std::uint32_t delta =
      machinery.Advance(machinery.Change(oldByte ^ newByte), length - 1 - offset);
  // The output is affine too (the state reflected or not, XORed with a
  // constant): a change of the state changes it by the output of that
  // change less the output of zero.
  return value ^ engine.Output(delta) ^ engine.Output(0);
}

}  // namespace velmorin
