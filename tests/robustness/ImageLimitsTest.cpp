// The image's limits: sparse files cost memory for their data only, a byte far
// beyond the data is refused rather than paid for with gigabytes of zeros,
// and where memory does run out the error is an exception the window shows,
// never a crash.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <new>
#include <string>

#include "image/IntelImage.h"
#include "profiles/WorkingProfile.h"
#include "serialize/Session.h"
#include "tests/robustness/ChildProcess.h"
#include "tests/support/HexRecords.h"
#include "tests/support/RecordingObserver.h"
#include "tests/support/ScriptedOperator.h"
#include "tests/support/TempDir.h"

#if defined(__SANITIZE_ADDRESS__)
#define VELMORIN_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELMORIN_ASAN 1
#endif
#endif

namespace velmorin {
namespace {

using test::TempDir;

using test::RecordLine;

std::vector<std::uint8_t> Ramp(std::size_t count, std::uint8_t first) {
  std::vector<std::uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(first + i);
  return bytes;
}

// Data at 0x100, and 32 bytes from 0xFFFFFFF0 that run on past 2^32 to 0x0F.
std::string SparseFile() {
  return RecordLine(0, 0x0100, Ramp(16, 0x40)) + RecordLine(4, 0, {0xFF, 0xFF}) +
         RecordLine(0, 0xFFF0, Ramp(32, 0x80)) + ":00000001FF\r\n";
}

TEST(ImageLimits, SparseFileIsStampedWithoutMemoryForTheGap) {
  TempDir dir;
  test::WriteFileBytes(dir.File("sparse.hex"), SparseFile());
  test::WriteFileBytes(dir.File("small.hex"),
                       RecordLine(0, 0x0100, Ramp(16, 0x40)) + ":00000001FF\r\n");

  // The same program on a file without the gap is the baseline.
  const test::ChildResult baseline = test::RunChild(
      {VELMORIN_STAMP_PROBE, dir.File("small.hex"), dir.File("small-out.hex"), "104"});
  const test::ChildResult sparse = test::RunChild({VELMORIN_STAMP_PROBE, dir.File("sparse.hex"),
                                                   dir.File("sparse-out.hex"), "104", "FFFFFFFE"});
  ASSERT_TRUE(WIFEXITED(baseline.status) && WEXITSTATUS(baseline.status) == 0);
  ASSERT_TRUE(WIFEXITED(sparse.status) && WEXITSTATUS(sparse.status) == 0);
  std::printf("peak RSS: %ld KiB for the sparse file, %ld KiB for the baseline\n",
              sparse.peakRssKiB, baseline.peakRssKiB);
  RecordProperty("SparsePeakRssKiB", std::to_string(sparse.peakRssKiB));
  // The gap is 4 GiB; the data is 48 bytes.
  EXPECT_LT(sparse.peakRssKiB - baseline.peakRssKiB, 8 * 1024);

  // Both stamps landed inside the data, the second across the 2^32 wrap.
  TIntelImage out;
  out.LoadFromFile(dir.File("sparse-out.hex"));
  std::size_t stored = 0;
  for (const TImageSegment& segment : out.Segments) stored += segment.Data.size();
  EXPECT_EQ(stored, 48u);
  const std::pair<std::uint32_t, std::uint8_t> expected[] = {
      {0x0103, 0x43},     {0x0104, 0x04},     {0x0107, 0x01},     {0x0108, 0x48},
      {0xFFFFFFFD, 0x8D}, {0xFFFFFFFE, 0x04}, {0xFFFFFFFF, 0x03}, {0x00000000, 0x02},
      {0x00000001, 0x01}, {0x00000002, 0x92}};
  for (const auto& [address, value] : expected) {
    EXPECT_EQ(out.GetByte(address), value) << std::hex << address;
  }
}

TEST(ImageLimits, ByteFarBeyondTheDataIsRefusedAndChangesNothing) {
  TIntelImage image;
  image.LoadFromText(RecordLine(0, 0x0000, Ramp(16, 0)) + RecordLine(4, 0, {0x40, 0x00}) +
                     RecordLine(0, 0x0000, Ramp(16, 0x10)));
  const auto before = image.Segments;
  const struct {
    std::uint32_t address;
    const char* message;
  } cases[] = {
      // Stretching the first segment (at 0) by one byte more than the limit;
      // the second lies at 0x40000000.
      {0x10000010, "Address 10000010 is too far beyond the image's data"},
      // Above the second segment, by far more than the limit.
      {0xFFFFFFF0, "Address FFFFFFF0 is too far beyond the image's data"},
      {0x80000000, "Address 80000000 is too far beyond the image's data"},
  };
  for (const auto& c : cases) {
    try {
      image.SetByte(c.address, 0xAA);
      ADD_FAILURE() << "no error for " << std::hex << c.address;
    } catch (const EObjImageError& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
    ASSERT_EQ(image.Segments.size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
      EXPECT_EQ(image.Segments[i].Start, before[i].Start);
      EXPECT_EQ(image.Segments[i].Data, before[i].Data);
    }
  }
  // Within the limit, the stretch is made as before.
  image.SetByte(0x4000000F + 0x1000, 0xAA);
  EXPECT_EQ(image.Segments[1].Data.size(), 0x1010u);
  EXPECT_EQ(image.GetByte(0x40000800), 0);
}

// A sparse image of many segments: 16 bytes at each of the 65,536 64 KiB
// boundaries of the address space, 4 MB of text. Each segment holds room for
// its own bytes only, whatever the rest of the file could still add, so a
// child limited to 256 MiB of address space reads the file and writes it back
// unchanged, in little memory.
TEST(ImageLimits, FileOfManySegmentsIsReadWithinAnAddressSpaceLimit) {
#ifdef VELMORIN_ASAN
  GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space; RLIMIT_AS can't apply";
#else
  TempDir dir;
  std::string text;
  for (std::uint32_t upper = 0; upper < 0x10000; ++upper) {
    // The writer starts at base 0 without a record for it; the file does too.
    if (upper != 0) {
      text += RecordLine(4, 0,
                         {static_cast<std::uint8_t>(upper >> 8), static_cast<std::uint8_t>(upper)});
    }
    text += RecordLine(0, 0, Ramp(16, static_cast<std::uint8_t>(upper * 7)));
  }
  text += ":00000001FF\r\n";
  test::WriteFileBytes(dir.File("sparse.hex"), text);

  const test::ChildResult child = test::RunChildWithAddressSpace(
      {VELMORIN_STAMP_PROBE, dir.File("sparse.hex"), dir.File("out.hex")}, std::size_t{256} << 20);
  ASSERT_FALSE(WIFSIGNALED(child.status)) << "killed by signal " << WTERMSIG(child.status);
  ASSERT_TRUE(WIFEXITED(child.status));
  ASSERT_NE(WEXITSTATUS(child.status), test::kNoAddressSpaceLimit) << "setrlimit failed";
  ASSERT_EQ(WEXITSTATUS(child.status), 0) << "the read or the write failed (2: out of memory)";
  std::printf("65,536 segments under 256 MiB of address space: peak RSS %ld KiB\n",
              child.peakRssKiB);
  EXPECT_LT(child.peakRssKiB, 64 * 1024);
  EXPECT_TRUE(test::ReadFileBytes(dir.File("out.hex")) == text) << "the file came back changed";
#endif
}

// A serialization whose slot lies far beyond the data: the number is used,
// nothing is written, and the operator reads the address that was wrong.
TEST(ImageLimits, SerializationWithAFarSlotStopsWithTheImagesError) {
  TempDir dir;
  const std::string skel = dir.File("board.hex");
  test::WriteFileBytes(skel, RecordLine(0, 0x0000, Ramp(16, 0)) + ":00000001FF\r\n");
  test::ScriptedOperator op;
  Session session(velmorin::IniLocation{dir.File("velmorin.ini"), false}, op);
  velmorin::WorkingProfile& profile = session.Profile();
  profile.EditSkeletonText(skel);
  profile.EditableSettings().NextSeqNum = 5;
  profile.EditableSettings().SeqNumSize = 4;
  profile.EditableSettings().SeqNumOfs[0] = 0x20000000;
  profile.EditableSettings().OutputFolder = dir.Path().string();
  try {
    session.SerializeImage();
    ADD_FAILURE() << "no error";
  } catch (const EObjImageError& e) {
    EXPECT_EQ(e.Message(), "Address 20000003 is too far beyond the image's data");
  }
  EXPECT_EQ(IniFile(session.IniPath()).ReadInteger(skel, "NextSeqNum", -1), 6);
  EXPECT_FALSE(std::filesystem::exists(dir.File("board_5.hex")));
}

// A skeleton of 2 GiB in one line without a line feed: ":" and then NUL bytes
// (a sparse file, which takes no disk). Its length is odd, so only at its end
// is it known that test 1 passes and the NULs fail test 2. The reader streams
// it through its buffer: a child reads it and its peak memory is measured.
TEST(ImageLimits, TwoGigabyteLineIsJudgedInBoundedMemory) {
  TempDir dir;
  const std::string skel = dir.File("one-line.hex");
  constexpr off_t kSize = (off_t{2} << 30) + 1;
  {
    const int fd = ::open(skel.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, ":", 1), 1);
    ASSERT_EQ(::ftruncate(fd, kSize), 0);
    ::close(fd);
  }
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::close(pipeFds[0]);
    std::string message = "accepted";
    try {
      TIntelImage image;
      image.LoadFromFile(skel);
    } catch (const std::exception& e) {
      message = e.what();
    }
    const ssize_t written = ::write(pipeFds[1], message.data(), message.size());
    ::_exit(written == static_cast<ssize_t>(message.size()) ? 0 : 1);
  }
  ::close(pipeFds[1]);
  char buffer[200];
  std::string message;
  for (ssize_t got; (got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
    message.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(pipeFds[0]);
  int status = 0;
  rusage usage{};
  ASSERT_EQ(::wait4(pid, &status, 0, &usage), pid);
  const auto seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(message, "File is corrupt");
  std::printf("2 GiB line: peak RSS %ld KiB, %.2f s\n", usage.ru_maxrss, seconds);
#ifdef VELMORIN_ASAN
  GTEST_SKIP() << "AddressSanitizer's shadow memory makes the resident size meaningless";
#else
  EXPECT_LT(usage.ru_maxrss, 64 * 1024);
#endif
}

// A skeleton that is a FIFO or a device: the serialization stops at once with
// an error that names it, before a serial number is used.
TEST(ImageLimits, SkeletonThatIsNotARegularFileIsRefusedBeforeANumberIsUsed) {
  TempDir dir;
  const std::string fifo = dir.File("board.hex");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& skel : {fifo, std::string("/dev/zero")}) {
    test::ScriptedOperator op;
    Session session(velmorin::IniLocation{dir.File("velmorin.ini"), false}, op);
    velmorin::WorkingProfile& profile = session.Profile();
    profile.EditSkeletonText(skel);
    profile.EditableSettings().NextSeqNum = 5;
    profile.EditableSettings().AutoIncSeq = true;
    profile.EditableSettings().OutputFolder = dir.Path().string();
    try {
      session.SerializeImage();
      ADD_FAILURE() << "no error for " << skel;
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.Message(), skel + " is not a regular file");
    }
    EXPECT_EQ(profile.NextSeqNum(), 5) << skel;
    EXPECT_EQ(IniFile(session.IniPath()).ReadInteger(skel, "NextSeqNum", -1), -1) << skel;
  }
}

#ifndef VELMORIN_ASAN
// Kilobytes of the process's virtual memory, from /proc/self/status.
long VirtualMemoryKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmSize:", 0) == 0) return std::stol(line.substr(7));
  }
  return -1;
}
#endif

TEST(ImageLimits, RunningOutOfMemoryInAStretchIsAnExceptionNotACrash) {
#ifdef VELMORIN_ASAN
  GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space; RLIMIT_AS can't apply";
#else
  const long vm = VirtualMemoryKiB();
  ASSERT_GT(vm, 0);
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    // 64 MiB more than the process uses now; the stretch asks for 200 MiB,
    // which the image's own limit allows.
    const rlimit limit{static_cast<rlim_t>(vm + 64 * 1024) * 1024,
                       static_cast<rlim_t>(vm + 64 * 1024) * 1024};
    if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(10);
    TIntelImage image;
    image.LoadFromText(RecordLine(0, 0x0000, Ramp(16, 0)));
    try {
      image.SetByte(200u << 20, 0xAA);
      ::_exit(11);  // the memory was there after all
    } catch (const std::bad_alloc&) {
      // The image keeps what it held.
      const bool intact = image.Segments.size() == 1 && image.Segments[0].Data == Ramp(16, 0);
      ::_exit(intact ? 0 : 12);
    } catch (const std::exception&) {
      ::_exit(13);
    }
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_FALSE(WIFSIGNALED(status)) << "killed by signal " << WTERMSIG(status);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "10 no limit, 11 no failure, 12 image changed, 13 other";
#endif
}

}  // namespace
}  // namespace velmorin
