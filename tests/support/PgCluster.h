// A throwaway PostgreSQL cluster for tests of the serial server: Debian's
// postgresql-15 binaries, a fresh temporary folder, a Unix socket in that
// folder and no TCP at all. When the tests run as root, the server runs as
// the existing unprivileged user "nobody" (PostgreSQL refuses root). Nothing
// is left behind: the destructor stops the server and removes the folder, and
// a watchdog process does the same when the test dies without it.
//
// fsync is off unless asked for: the crash tests kill clients, or stop the
// server with "pg_ctl stop -m immediate", which kills the server's processes
// but not the machine, so what was committed is still in the operating
// system's cache and survives. synchronous_commit stays on: a commit is
// written out of the server's memory before the client hears of it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velmorin::test {

class PgCluster {
 public:
  // `fsync` on for figures that should include the disk's cost (bench/).
  explicit PgCluster(bool fsync = false);
  ~PgCluster();
  PgCluster(const PgCluster&) = delete;
  PgCluster& operator=(const PgCluster&) = delete;

  // Why no cluster can be started here (binaries missing, no unprivileged
  // user for root), for a test's skip message; empty when one can.
  static std::optional<std::string> Unavailable();

  // Makes the cluster the first time (initdb, then the database "velmorin"
  // once started), else starts it again. Raises std::runtime_error with the
  // server's log on failure.
  void Start();
  // pg_ctl stop -m immediate: the server's processes die at once, as in a
  // crash; connections drop, transactions not committed are lost.
  void StopImmediately();
  // Starts the cluster again after StopImmediately (crash recovery runs).
  void Restart();

  // host=<folder> port=<port> user=velmorin dbname=<dbname>
  std::string ConnectionString(const std::string& dbname = "velmorin") const;
  const std::filesystem::path& Folder() const { return FFolder; }
  int Port() const { return FPort; }

 private:
  // Runs a program of the binaries folder (as the unprivileged user when we
  // are root) and waits for it; its output goes to a log in the folder.
  int Run(const std::vector<std::string>& arguments);
  std::string Log() const;
  void Stop(const char* mode);
  // Starts a process that outlives a test killed or aborted midway: when
  // this process ends without the destructor, it stops the server and
  // removes the folder.
  void StartWatchdog();

  bool FFsync;
  std::filesystem::path FBin;
  std::filesystem::path FFolder;
  int FPort = 0;
  bool FMade = false;
  bool FRunning = false;
  int FWatchdogPipe = -1;  // closed by the destructor or by our death
  int FWatchdog = -1;
};

}  // namespace velmorin::test
