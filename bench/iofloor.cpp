// iofloor IN OUT
//
// The system's share of hexbench's work and nothing else: IN is read in the
// same 256 KiB chunks, an image of 16/47 of its size (what Intel HEX with
// 16-byte records holds) is filled page by page, and as many bytes as IN
// holds are written to the new file OUT in 256 KiB blocks. No hex is decoded
// or encoded, so this is the floor of any program that reads the text into
// memory and writes a new text out; run-hexbench prints hexbench against it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: iofloor IN OUT\n");
    return 2;
  }
  constexpr std::size_t kChunk = 256 * 1024;
  const auto chunk = std::make_unique<char[]>(kChunk);
  const int in = ::open(argv[1], O_RDONLY | O_CLOEXEC);
  if (in < 0) {
    std::perror(argv[1]);
    return 1;
  }
  // Room reserved once, as the reader reserves it from the file's size.
  struct stat st {};
  std::vector<unsigned char> image;
  if (::fstat(in, &st) == 0) image.reserve(static_cast<std::size_t>(st.st_size) / 2);
  std::size_t total = 0;
  for (ssize_t got; (got = ::read(in, chunk.get(), kChunk)) > 0;) {
    total += static_cast<std::size_t>(got);
    const std::size_t held = static_cast<std::size_t>(got) * 16 / 47;
    image.insert(image.end(), chunk.get(), chunk.get() + held);
  }
  ::close(in);
  const int out = ::open(argv[2], O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (out < 0) {
    std::perror(argv[2]);
    return 1;
  }
  for (std::size_t done = 0; done < total; done += kChunk) {
    const std::size_t size = std::min(kChunk, total - done);
    if (::write(out, chunk.get(), size) != static_cast<ssize_t>(size)) {
      std::perror(argv[2]);
      return 1;
    }
  }
  return ::close(out) == 0 && !image.empty() ? 0 : 1;
}
