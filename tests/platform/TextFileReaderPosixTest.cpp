// The text reader before POSIX files that are not regular: FIFOs, sockets and
// devices.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>

#include "base/Exceptions.h"
#include "platform/files/TextFileReader.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

// What isn't a regular file is refused at its opening, at once and by name: a
// FIFO would block the open until a writer came, a device would never end.
TEST(TextFileReader, NonRegularFilesAreRefusedAtOnce) {
  test::TempDir dir;
  const std::string fifo = dir.File("skel.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string socketPath = dir.File("skel.sock");
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  socketPath.copy(address.sun_path, socketPath.size());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

  for (const std::string& path : {fifo, socketPath, std::string("/dev/zero")}) {
    const auto start = std::chrono::steady_clock::now();
    try {
      TextFileReader reader(path);
      ADD_FAILURE() << "opened " << path;
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.ErrorCode(), 5) << path;
      EXPECT_EQ(e.Message(), path + " is not a regular file");
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << path;
  }
  ::close(sock);
}

}  // namespace
}  // namespace velmorin
