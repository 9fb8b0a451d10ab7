// velmorin-cli against a real PostgreSQL server: a throwaway cluster of its
// own per suite. The pool commands, several stations drawing from one pool at
// once, stations killed at random moments, and the server itself stopped in
// the middle of a batch.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <string_view>
#include <thread>

#include "CliRunner.h"
#include "IniFile.h"
#include "PgCluster.h"
#include "PgConnection.h"
#include "TempDir.h"

namespace velmorin {
namespace {

namespace fs = std::filesystem;
using test::CliResult;
using test::PgCluster;

const std::string kUnreachable = "velmorin-cli: Unable to reach the serial server: ";

std::vector<nlohmann::json> JsonLines(const std::string& text) {
  std::vector<nlohmann::json> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    // A station killed in the middle of a line leaves it torn.
    if (nlohmann::json::accept(line)) lines.push_back(nlohmann::json::parse(line));
  }
  return lines;
}

// The seed of a loop's random kill moments: printed, recorded as the test's
// "seed" property, and taken from VELMORIN_CRASH_SEED when that is set, so a
// failing run can be replayed.
std::uint32_t CrashSeed(const char* loop) {
  std::uint32_t seed = 0;
  const char* given = std::getenv("VELMORIN_CRASH_SEED");
  if (given == nullptr) {
    seed = std::random_device()();
  } else {
    const std::string_view text(given);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seed);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
      throw std::invalid_argument("VELMORIN_CRASH_SEED=\"" + std::string(text) +
                                  "\" is not a decimal number below 2^32");
    }
  }
  std::printf("%s seed %u (replay: VELMORIN_CRASH_SEED=%u)\n", loop, seed, seed);
  std::fflush(stdout);
  testing::Test::RecordProperty("seed", std::to_string(seed));
  return seed;
}

// One cluster for every test of a suite; each test uses pools of its own.
class CliServerTest : public test::CliFixture {
 protected:
  CliServerTest() : CliFixture(64) {}

  static void SetUpTestSuite() {
    FUnavailable = PgCluster::Unavailable();
    if (FUnavailable) return;
    FCluster = std::make_unique<PgCluster>();
    FCluster->Start();
  }
  static void TearDownTestSuite() { FCluster.reset(); }

  void SetUp() override {
    if (FUnavailable) GTEST_SKIP() << *FUnavailable;
    CliFixture::SetUp();
    UseServer(FCluster->ConnectionString());
    ASSERT_EQ(Cli({"server", "init"}).exitCode, 0);
  }

  void UseServer(const std::string& connection) {
    IniFile(ini).WriteString("Options", "SerialServer", connection);
  }

  static PgResult Sql(const std::string& sql, const PgParams& params = {}) {
    PgConnection pg(FCluster->ConnectionString());
    return pg.Exec(sql, params);
  }

  static nlohmann::json Pool(const CliResult& shown) {
    return nlohmann::json::parse(shown.out.empty() ? "null" : shown.out);
  }

  // A station: a folder of its own with the skeleton, an INI file whose
  // profile draws from `pool` without burning, and an output folder.
  struct Station {
    std::string folder, ini, skeleton, out;
  };
  Station MakeStation(const std::string& name, const std::string& pool,
                      const std::string& connection) {
    Station s;
    s.folder = dir.File(name);
    s.ini = s.folder + "/velmorin.ini";
    s.skeleton = s.folder + "/board.hex";
    s.out = s.folder + "/out";
    fs::create_directories(s.out);
    test::WriteFileBytes(s.skeleton, test::SkeletonHex(64));
    const CliResult added = test::RunCli({{"--ini", s.ini, "add", s.skeleton, "NextSeqNum=1",
                                           "DontBurn=1", "OutputFolder=" + s.out},
                                          s.folder,
                                          ""});
    EXPECT_EQ(added.exitCode, 0) << added.err;
    IniFile::Changes changes;
    changes.WriteString(s.skeleton, "SerialPool", pool)
        .WriteString("Options", "SerialServer", connection);
    IniFile(s.ini).Apply(changes);
    return s;
  }

  static int StartStation(const Station& s, int count, const std::string& outFile) {
    return test::StartCli({{"--ini", s.ini, "serialize", s.skeleton, "--count",
                            std::to_string(count), "--yes", "--json"},
                           s.folder,
                           ""},
                          outFile, outFile + ".err");
  }

  // The serials of the output files a station wrote, board_<n>.hex.
  static std::vector<std::int64_t> Written(const Station& s) {
    static const std::regex name(R"(board_(-?\d+)\.hex)");
    std::vector<std::int64_t> serials;
    for (const auto& entry : fs::directory_iterator(s.out)) {
      std::smatch match;
      const std::string file = entry.path().filename().string();
      if (std::regex_match(file, match, name)) serials.push_back(std::stoll(match[1]));
    }
    return serials;
  }

  static std::unique_ptr<PgCluster> FCluster;
  static std::optional<std::string> FUnavailable;
};

std::unique_ptr<PgCluster> CliServerTest::FCluster;
std::optional<std::string> CliServerTest::FUnavailable;

// ----- the pool commands -----

TEST_F(CliServerTest, PoolsAreCreatedListedAndShown) {
  EXPECT_EQ(Cli({"server", "init"}).exitCode, 0) << "init run twice";
  ASSERT_EQ(Cli({"pool", "create", "board", "--next", "1000", "--last", "1999"}).exitCode, 0);
  ASSERT_EQ(Cli({"pool", "create", "open", "--next", "5"}).exitCode, 0);
  const CliResult again = Cli({"pool", "create", "board", "--next", "3000"});
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_NE(again.err.find("board"), std::string::npos) << again.err;

  const CliResult list = Cli({"pool", "list"});
  EXPECT_EQ(list.exitCode, 0);
  EXPECT_NE(list.out.find("board\t1000\t1999\n"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("open\t5\t-\n"), std::string::npos) << list.out;

  const nlohmann::json pools = Pool(Cli({"pool", "list", "--json"}));
  ASSERT_TRUE(pools.is_array()) << pools;
  std::map<std::string, nlohmann::json> byName;
  for (const auto& p : pools) byName[p["name"]] = p;
  EXPECT_EQ(byName["board"]["next_serial"], 1000);
  EXPECT_EQ(byName["board"]["last_serial"], 1999);
  EXPECT_EQ(byName["open"]["last_serial"], nullptr);

  const CliResult shown = Cli({"pool", "show", "board"});
  EXPECT_EQ(shown.exitCode, 0);
  EXPECT_EQ(shown.out.rfind("name=board\nnext_serial=1000\nlast_serial=1999\ncreated_at=2", 0), 0u)
      << shown.out;
  const nlohmann::json open = Pool(Cli({"pool", "show", "open", "--json"}));
  EXPECT_EQ(open["next_serial"], 5);
  EXPECT_EQ(open["last_serial"], nullptr);
  EXPECT_FALSE(open["created_at"].get<std::string>().empty());

  const CliResult missing = Cli({"pool", "show", "nosuch"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("no pool nosuch"), std::string::npos) << missing.err;
}

// Every refusal changes nothing and says why; a pool moves forward only.
TEST_F(CliServerTest, PoolChangesAreRefusedNamingTheNumbers) {
  ASSERT_EQ(Cli({"pool", "create", "fwd", "--next", "1000", "--last", "1999"}).exitCode, 0);
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::vector<std::string> said;  // in the error
    std::int64_t next;              // fwd's next afterwards
    std::optional<std::int64_t> last;
  };
  const Case cases[] = {
      {{"pool", "set", "fwd", "--next", "999"}, 1, {"999", "1000"}, 1000, 1999},
      {{"pool", "set", "fwd", "--last", "500"}, 1, {"500"}, 1000, 1999},
      {{"pool", "set", "fwd"}, 2, {"--next"}, 1000, 1999},
      {{"pool", "set", "nosuch", "--next", "5"}, 1, {"nosuch"}, 1000, 1999},
      {{"pool", "create", "low", "--next", "10", "--last", "9"}, 1, {"9", "10"}, 1000, 1999},
      {{"pool", "set", "fwd", "--next", "1500"}, 0, {}, 1500, 1999},
      {{"pool", "set", "fwd", "--next", "1500", "--last", "2999"}, 0, {}, 1500, 2999},
      {{"pool", "set", "fwd", "--next", "1499"}, 1, {"1499", "1500"}, 1500, 2999},
  };
  for (const Case& c : cases) {
    const CliResult r = Cli(c.args);
    const std::string what = c.args[1] + " " + c.args[2] + (c.args.size() > 4 ? " " + c.args[4] : "");
    EXPECT_EQ(r.exitCode, c.exitCode) << what << ": " << r.err;
    for (const std::string& s : c.said) EXPECT_NE(r.err.find(s), std::string::npos) << what << ": " << r.err;
    const nlohmann::json fwd = Pool(Cli({"pool", "show", "fwd", "--json"}));
    EXPECT_EQ(fwd["next_serial"], c.next) << what;
    EXPECT_EQ(fwd["last_serial"], c.last ? nlohmann::json(*c.last) : nlohmann::json()) << what;
  }
  EXPECT_EQ(Cli({"pool", "show", "low"}).exitCode, 1) << "a refused create made the pool";
}

// A name that would end the SQL statement is only a name.
TEST_F(CliServerTest, PoolNameIsStoredLiterally) {
  const std::string name = "board'; DROP TABLE velmorin_pool; --";
  ASSERT_EQ(Cli({"pool", "create", name, "--next", "7"}).exitCode, 0);
  const nlohmann::json shown = Pool(Cli({"pool", "show", name, "--json"}));
  EXPECT_EQ(shown["name"], name);
  EXPECT_EQ(shown["next_serial"], 7);
  ASSERT_EQ(Cli({"pool", "set", name, "--next", "8"}).exitCode, 0);
  const PgResult row = Sql("SELECT next_serial FROM velmorin_pool WHERE name = $1", {name});
  ASSERT_EQ(row.Rows(), 1);
  EXPECT_EQ(row.Int(0, 0), 8);
  EXPECT_NE(Cli({"pool", "list"}).out.find(name + "\t8\t-\n"), std::string::npos);
}

// Without [Options] SerialServer every command names the file and the key;
// with a server that isn't there, libpq's reason follows the fixed words.
TEST_F(CliServerTest, MissingOrUnreachableServerIsAClearError) {
  const std::vector<std::vector<std::string>> commands = {{"server", "init"},
                                                          {"pool", "list"},
                                                          {"pool", "show", "x"},
                                                          {"pool", "create", "x", "--next", "1"},
                                                          {"pool", "set", "x", "--next", "2"}};
  IniFile(ini).WriteString("Options", "SerialServer", "");
  for (const auto& command : commands) {
    const CliResult r = Cli(command);
    EXPECT_EQ(r.exitCode, 1) << command[1];
    EXPECT_NE(r.err.find(ini), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("SerialServer"), std::string::npos) << r.err;
  }
  // A socket folder with no server in it.
  UseServer("host=" + dir.Path().string() + " port=1 dbname=velmorin connect_timeout=2");
  for (const auto& command : commands) {
    const CliResult r = Cli(command);
    EXPECT_EQ(r.exitCode, 1) << command[1];
    EXPECT_EQ(r.err.rfind(kUnreachable, 0), 0u) << r.err;
    EXPECT_GT(r.err.size(), kUnreachable.size() + 5) << "no reason given: " << r.err;
  }
}

}  // namespace
}  // namespace velmorin
