// A throwaway PostgreSQL cluster, for the tests and the benchmarks of the
// serial server alike (it is no part of the program): Debian's
// postgresql-15 binaries, a fresh temporary folder and a Unix socket in that
// folder; on request also TCP on 127.0.0.1 at a free port (trusting every
// local user, as the socket does), with TLS whose certificate authority the
// cluster makes for itself with openssl, for stations that connect as a
// line's stations do (Windows ones under Wine too). When the tests run as
// root, the server runs as the existing unprivileged user "nobody"
// (PostgreSQL refuses root). Nothing is left behind: the destructor stops
// the server and removes the folder, and a watchdog process does the same
// when the test dies without it.
//
// PgClusterPosix.cpp runs the server; PgClusterWin.cpp is the Windows build's
// stand-in, which starts none (Unavailable says why).
//
// fsync is off unless asked for: the crash tests kill clients, or stop the
// server with "pg_ctl stop -m immediate", which kills the server's processes
// but not the machine, so what was committed is still in the operating
// system's cache and survives. synchronous_commit stays on unless a setting
// says otherwise: a commit is then written out of the server's memory before
// the client hears of it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velmorin {

struct PgClusterOptions {
  // On for figures that should include the disk's cost (bench/).
  bool Fsync = false;
  // Listen on 127.0.0.1 too (TcpConnectionString).
  bool Tcp = false;
  // ssl = on (implies Tcp), with a server certificate for 127.0.0.1 and
  // localhost signed by a certificate authority made for this cluster
  // (RootCertificate). Connecting without TLS stays allowed.
  bool Tls = false;
  // More lines for postgresql.conf, such as "synchronous_commit = off".
  std::vector<std::string> Settings;
};

class PgCluster {
 public:
  explicit PgCluster(bool fsync = false);
  explicit PgCluster(PgClusterOptions options);
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
  // host=127.0.0.1 port=<port> user=velmorin dbname=<dbname>, for a
  // cluster made with Tcp or Tls.
  std::string TcpConnectionString(const std::string& dbname = "velmorin") const;
  // The certificate authority's certificate of a Tls cluster, for sslrootcert.
  std::filesystem::path RootCertificate() const { return FFolder / "tls" / "root.crt"; }
  const std::filesystem::path& Folder() const { return FFolder; }
  int Port() const { return FPort; }
  // What the server has logged so far.
  std::string ServerLog() const;

  // Makes a certificate authority in `folder` (created when missing): its
  // key root.key and its certificate root.crt, which it returns. Raises
  // std::runtime_error when openssl fails.
  static std::filesystem::path MakeCertificateAuthority(const std::filesystem::path& folder);

 private:
  // Runs a program of the binaries folder, or one named by its full path
  // (as the unprivileged user when we are root), and waits for it; its
  // output goes to a log in the folder.
  int Run(const std::vector<std::string>& arguments);
  // The server's key and certificate, signed by a fresh authority, in tls/.
  void MakeServerCertificate();
  std::string Log() const;
  void Stop(const char* mode);
  // Starts a process that outlives a test killed or aborted midway: when
  // this process ends without the destructor, it stops the server and
  // removes the folder.
  void StartWatchdog();

  PgClusterOptions FOptions;
  std::filesystem::path FBin;
  std::filesystem::path FFolder;
  int FPort = 0;
  bool FMade = false;
  bool FRunning = false;
  int FWatchdogPipe = -1;  // closed by the destructor or by our death
  int FWatchdog = -1;
};

}  // namespace velmorin
