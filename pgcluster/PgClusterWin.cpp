// The throwaway cluster in the Windows build. A test program under Wine can't
// start Debian's PostgreSQL server (a Linux program), so every case that needs
// a cluster of its own skips here, saying why, even where CI requires the
// cluster on Linux. The Windows stations are tested against a real server all
// the same: tests/windows/server-stations starts one on the Linux side and
// drives velmorin-cli.exe under Wine against it.
#include <stdexcept>
#include <utility>

#include "pgcluster/PgCluster.h"

namespace velmorin {

namespace {

const char* const kWhy =
    "a test program under Wine can't start PostgreSQL's server binaries; "
    "tests/windows/server-stations runs the Windows stations against a cluster "
    "on the Linux side";

[[noreturn]] void Refuse() {
  throw std::runtime_error(kWhy);
}

}  // namespace

std::optional<std::string> PgCluster::Unavailable() {
  return std::string(kWhy);
}

PgCluster::PgCluster(bool fsync) : PgCluster(PgClusterOptions{fsync, false, false, {}}) {}

PgCluster::PgCluster(PgClusterOptions options) : FOptions(std::move(options)) {
  Refuse();
}

PgCluster::~PgCluster() = default;

void PgCluster::Start() {
  Refuse();
}

void PgCluster::StopImmediately() {
  Refuse();
}

void PgCluster::Restart() {
  Refuse();
}

std::string PgCluster::ConnectionString(const std::string&) const {
  Refuse();
}

std::string PgCluster::TcpConnectionString(const std::string&) const {
  Refuse();
}

std::string PgCluster::ServerLog() const {
  Refuse();
}

std::filesystem::path PgCluster::MakeCertificateAuthority(const std::filesystem::path&) {
  Refuse();
}

}  // namespace velmorin
