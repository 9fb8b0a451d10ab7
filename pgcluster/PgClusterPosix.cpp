// The throwaway cluster on POSIX: initdb, pg_ctl and postgres from Debian's
// postgresql-15, a watchdog process, and openssl for the TLS certificates.
#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "pgcluster/PgCluster.h"

namespace velmorin {

namespace {

constexpr const char* kUnprivileged = "nobody";

bool Executable(const std::filesystem::path& file) {
  return ::access(file.c_str(), X_OK) == 0;
}

// The folder of initdb, pg_ctl and postgres: Debian's postgresql-15, else
// what pg_config names.
std::filesystem::path BinFolder() {
  const std::filesystem::path debian = "/usr/lib/postgresql/15/bin";
  if (Executable(debian / "initdb")) return debian;
  if (FILE* pipe = ::popen("pg_config --bindir 2>/dev/null", "r")) {
    char line[4096] = {};
    const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
    ::pclose(pipe);
    std::string text = read ? line : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (!text.empty()) return text;
  }
  return debian;
}

// Forks a child that runs as the cluster's owner: "nobody" when we are root,
// since PostgreSQL refuses root, else ourselves. A child that can't become
// the owner ends with 126. What the child needs is looked up before the
// fork, after which it may only make async-signal-safe calls.
pid_t ForkAsOwner() {
  const passwd* user = ::geteuid() == 0 ? ::getpwnam(kUnprivileged) : nullptr;
  const uid_t uid = user ? user->pw_uid : 0;
  const gid_t gid = user ? user->pw_gid : 0;
  const pid_t child = ::fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0 && user &&
      (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)) {
    ::_exit(126);
  }
  return child;
}

// Makes `file` the cluster owner's when we are root, so that the server can
// use it and the watchdog, running as the owner, can remove it.
void HandToOwner(const std::filesystem::path& file) {
  if (::geteuid() != 0) return;
  const passwd* user = ::getpwnam(kUnprivileged);
  if (!user || ::chown(file.c_str(), user->pw_uid, user->pw_gid) != 0)
    throw std::runtime_error("can't hand " + file.string() + " to " + kUnprivileged);
}

// Runs `arguments` (a full path first) in `folder`, as the cluster's owner
// or as ourselves, its output appended to `log`, and waits for it.
int Spawn(const std::vector<std::string>& arguments, const std::string& folder,
          const std::string& log, bool asOwner) {
  // Everything the child needs is made before fork: after it, only
  // async-signal-safe calls.
  std::vector<std::string> words = arguments;
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  const pid_t child = asOwner ? ForkAsOwner() : ::fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    if (::chdir(folder.c_str()) != 0) ::_exit(126);
    const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (out >= 0) {
      ::dup2(out, 1);
      ::dup2(out, 2);
      ::close(out);
    }
    const int in = ::open("/dev/null", O_RDONLY);
    if (in >= 0) ::dup2(in, 0);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error("waitpid failed");
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string Openssl() {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path ? path : "/usr/bin:/bin");
  for (std::string folder; std::getline(folders, folder, ':');)
    if (!folder.empty() && Executable(std::filesystem::path(folder) / "openssl"))
      return (std::filesystem::path(folder) / "openssl").string();
  return "/usr/bin/openssl";  // missing: the run fails and says so
}

std::string ReadAll(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

// A TCP port on 127.0.0.1 that nothing listens on now.
int FreeTcpPort() {
  const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) throw std::runtime_error("socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  const bool bound = ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                     ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0;
  ::close(s);
  if (!bound) throw std::runtime_error("no free TCP port on 127.0.0.1");
  return ntohs(address.sin_port);
}

}  // namespace

std::optional<std::string> PgCluster::Unavailable() {
  // CI sets this so that the server's tests run or fail, never skip: a
  // cluster that can't start then says why in the failing test.
  if (const char* required = std::getenv("VELMORIN_REQUIRE_POSTGRES");
      required != nullptr && std::string(required) == "1") {
    return std::nullopt;
  }
  const std::filesystem::path bin = BinFolder();
  for (const char* program : {"initdb", "pg_ctl", "postgres", "createdb"})
    if (!Executable(bin / program))
      return "no " + (bin / program).string() +
             " (the PostgreSQL server binaries; scripts/setup installs postgresql-15)";
  if (::geteuid() == 0 && ::getpwnam(kUnprivileged) == nullptr)
    return std::string("running as root, and there is no user \"") + kUnprivileged +
           "\" to run the server as";
  return std::nullopt;
}

PgCluster::PgCluster(bool fsync) : PgCluster(PgClusterOptions{fsync, false, false, {}}) {}

PgCluster::PgCluster(PgClusterOptions options) : FOptions(std::move(options)), FBin(BinFolder()) {
  if (FOptions.Tls) FOptions.Tcp = true;
  std::string pattern = (std::filesystem::temp_directory_path() / "velmorin-pg-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  FFolder = pattern;
  HandToOwner(FFolder);
  // The socket file is named by the port; a private folder can't clash with
  // another cluster, but a distinct port keeps log lines apart too. Over TCP
  // the port must be free.
  if (FOptions.Tcp) {
    FPort = FreeTcpPort();
  } else {
    std::random_device seed;
    FPort = std::uniform_int_distribution<int>(20000, 60000)(seed);
  }
}

PgCluster::~PgCluster() {
  if (FRunning) {
    try {
      Stop("fast");
    } catch (...) {
    }
  }
  std::error_code ec;
  std::filesystem::remove_all(FFolder, ec);
  if (FWatchdogPipe >= 0) {
    ::close(FWatchdogPipe);  // the watchdog finds nothing left to do and ends
    int status = 0;
    while (::waitpid(FWatchdog, &status, 0) < 0 && errno == EINTR) {
    }
  }
}

void PgCluster::StartWatchdog() {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  // A shell that waits for the end of the pipe, which closes when this
  // process closes it or dies; then stops the server (harmless when stopped
  // already) and removes the folder. Run as the cluster's owner, since
  // pg_ctl refuses root.
  const std::string script = "read -r line; \"" + (FBin / "pg_ctl").string() + "\" stop -s -m " +
                             "immediate -D \"$1/data\" >/dev/null 2>&1; rm -rf \"$1\"";
  const std::string folder = FFolder.string();
  const char* argv[] = {"/bin/sh",      "-c",   script.c_str(), "velmorin-pg-watchdog",
                        folder.c_str(), nullptr};
  const pid_t child = ForkAsOwner();
  if (child == 0) {
    // Its own session, so that killing the test's process group spares it.
    ::setsid();
    ::dup2(ends[0], 0);
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) {
      ::dup2(null, 1);
      ::dup2(null, 2);
    }
    if (::chdir("/") != 0) ::_exit(126);
    ::execv(argv[0], const_cast<char* const*>(argv));
    ::_exit(127);
  }
  ::close(ends[0]);
  FWatchdogPipe = ends[1];
  FWatchdog = child;
}

int PgCluster::Run(const std::vector<std::string>& arguments) {
  std::vector<std::string> words = arguments;
  if (words[0].find('/') == std::string::npos) words[0] = (FBin / arguments[0]).string();
  return Spawn(words, FFolder.string(), (FFolder / "commands.log").string(), true);
}

std::filesystem::path PgCluster::MakeCertificateAuthority(const std::filesystem::path& folder) {
  std::filesystem::create_directories(folder);
  const std::string log = (folder / "openssl.log").string();
  if (Spawn({Openssl(), "req", "-x509", "-new", "-newkey", "ec", "-pkeyopt",
             "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", "root.key", "-out", "root.crt",
             "-days", "2", "-subj", "/CN=Velmorin test authority"},
            folder.string(), log, false) != 0)
    throw std::runtime_error("openssl could not make a certificate authority\n" + ReadAll(log));
  return folder / "root.crt";
}

void PgCluster::MakeServerCertificate() {
  const std::filesystem::path tls = FFolder / "tls";
  std::filesystem::create_directories(tls);
  HandToOwner(tls);
  MakeCertificateAuthority(tls);
  // The key is the server's own (PostgreSQL wants it readable by its owner
  // alone); the authority's key signs it.
  std::ofstream(tls / "server.ext") << "subjectAltName = IP:127.0.0.1, DNS:localhost\n";
  const std::string log = (tls / "openssl.log").string();
  if (Run({Openssl(), "req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
           "-nodes", "-keyout", (tls / "server.key").string(), "-out",
           (FFolder / "server.csr").string(), "-subj", "/CN=127.0.0.1"}) != 0 ||
      Spawn({Openssl(), "x509", "-req", "-in", (FFolder / "server.csr").string(), "-CA", "root.crt",
             "-CAkey", "root.key", "-CAcreateserial", "-days", "2", "-out", "server.crt",
             "-extfile", "server.ext"},
            tls.string(), log, false) != 0)
    throw std::runtime_error("openssl could not make the server's certificate\n" + Log() +
                             ReadAll(log));
  for (const auto& entry : std::filesystem::directory_iterator(tls)) HandToOwner(entry.path());
}

std::string PgCluster::Log() const {
  std::string text;
  for (const char* name : {"commands.log", "server.log"})
    text += std::string("--- ") + name + "\n" + ReadAll(FFolder / name);
  return text;
}

std::string PgCluster::ServerLog() const {
  return ReadAll(FFolder / "server.log");
}

void PgCluster::Start() {
  const std::string data = (FFolder / "data").string();
  if (!FMade) {
    if (FWatchdogPipe < 0) StartWatchdog();
    if (Run({"initdb", "-D", data, "-A", "trust", "-U", "velmorin", "-E", "UTF8", "--locale=C",
             "--no-sync"}) != 0)
      throw std::runtime_error("initdb failed\n" + Log());
    if (FOptions.Tls) MakeServerCertificate();
    std::ofstream conf(FFolder / "data" / "postgresql.conf", std::ios::app);
    conf << "\n# A throwaway test cluster: a Unix socket in its own folder.\n"
         << "listen_addresses = '" << (FOptions.Tcp ? "127.0.0.1" : "") << "'\n"
         << "unix_socket_directories = '" << FFolder.string() << "'\n"
         << "port = " << FPort << "\n"
         << "fsync = " << (FOptions.Fsync ? "on" : "off") << "\n"
         << "shared_buffers = 16MB\n"
         << "max_connections = 40\n";
    if (FOptions.Tls) {
      const std::filesystem::path tls = FFolder / "tls";
      conf << "ssl = on\n"
           << "ssl_cert_file = '" << (tls / "server.crt").string() << "'\n"
           << "ssl_key_file = '" << (tls / "server.key").string() << "'\n";
    }
    for (const std::string& setting : FOptions.Settings) conf << setting << "\n";
    if (!conf) throw std::runtime_error("can't write postgresql.conf");
  }
  if (Run({"pg_ctl", "start", "-w", "-t", "60", "-D", data, "-l",
           (FFolder / "server.log").string()}) != 0)
    throw std::runtime_error("pg_ctl start failed\n" + Log());
  FRunning = true;
  if (!FMade) {
    if (Run({"createdb", "-h", FFolder.string(), "-p", std::to_string(FPort), "-U", "velmorin",
             "velmorin"}) != 0)
      throw std::runtime_error("createdb failed\n" + Log());
    FMade = true;
  }
}

void PgCluster::Stop(const char* mode) {
  if (Run({"pg_ctl", "stop", "-w", "-t", "60", "-m", mode, "-D", (FFolder / "data").string()}) != 0)
    throw std::runtime_error(std::string("pg_ctl stop -m ") + mode + " failed\n" + Log());
  FRunning = false;
}

void PgCluster::StopImmediately() {
  Stop("immediate");
}

void PgCluster::Restart() {
  Start();
}

std::string PgCluster::TcpConnectionString(const std::string& dbname) const {
  return "host=127.0.0.1 port=" + std::to_string(FPort) + " user=velmorin dbname=" + dbname;
}

std::string PgCluster::ConnectionString(const std::string& dbname) const {
  return "host=" + FFolder.string() + " port=" + std::to_string(FPort) +
         " user=velmorin dbname=" + dbname;
}

}  // namespace velmorin
