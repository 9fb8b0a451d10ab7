// Where the numbers of "Auto Inc." come from when several stations share one
// series. Without a source, each profile's Next SN in the INI file is its own
// counter. With one, a profile draws its numbers from a named pool that the
// source keeps; the INI file's Next SN then only mirrors the pool, and the
// source's rules (a pool only moves forward, a number is handed out once)
// hold whatever the INI file says.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Exceptions.h"

namespace velmorin {

// The source could not be asked, or an answer got lost on the way:
// "Unable to reach the serial server: <reason>". The command stops before
// anything is stamped; a number whose commit was lost may be skipped, never
// handed out twice.
class ESerialServerError : public Exception {
 public:
  using Exception::Exception;
};

// Another station held the pool longer than a take waits, after a few tries
// (a station stopped in the middle of its take): "Another station holds pool
// <name>; try again." Nothing was taken. The server ends a stopped station's
// transaction within seconds, so trying again soon succeeds.
class ESerialPoolBusy : public ESerialServerError {
 public:
  using ESerialServerError::ESerialServerError;
};

// The beginning of every ESerialServerError's message, which scripts at the
// line look for.
inline const std::string kSerialServerUnreachable = "Unable to reach the serial server: ";

// A pool's name is what a profile's SerialPool key or its skeleton's stem
// gives: one line of an INI file, never empty. Raises EProfileValueError
// otherwise.
void RequirePoolName(const std::string& name);

// The connection string of "[Options] SerialServer" in the INI file
// `iniPath`, read without a hold on the file (the pool commands run beside an
// open window). Raises, naming the file and the key, when it is missing or
// empty.
std::string NamedSerialServer(const std::string& iniPath);

// The source refused, for a reason of the pool's own: it is used up, or a
// profile would set it back. Nothing was taken or changed.
class ESerialPoolRefused : public Exception {
 public:
  using Exception::Exception;
};

// One pool as the source keeps it.
struct SerialPoolState {
  std::string Name;
  std::int64_t Next = 0;             // the number the next take hands out
  std::optional<std::int64_t> Last;  // the last number it may hand out
  std::string CreatedAt;             // as the server prints it; may be empty
};

// What a take records of the station that took the number.
struct SerialTake {
  std::string Pool;
  std::string Station;   // this computer's name
  std::string Skeleton;  // the skeleton-file box's text
  // The station's own Next SN: a pool that does not exist yet is made
  // starting at it, and a pool below it moves up to it before the take, so
  // that numbers the station counted out by itself are never handed out.
  std::int32_t StationNext = 0;
};

// How the serialization that took a number ended, as the production record
// tells it.
struct SerialEnd {
  std::string OutputFile;  // full path; empty under "Don't save"
  std::string Result;      // "ok", "cancelled", "burner failed", "aborted", "error"
  std::optional<std::uint32_t> ExitCode;
  std::string Message;
};

class SerialSource {
 public:
  virtual ~SerialSource() = default;

  // Where the numbers come from, for the About box: host and database, never
  // a password.
  virtual std::string Description() const = 0;

  // The pool's next number; empty when there is no such pool.
  virtual std::optional<std::int64_t> PoolNext(const std::string& pool) = 0;

  // Before a profile is stored with `next` as its Next SN: a missing pool is
  // made at `next`, a pool below `next` moves up to it. Raises
  // ESerialPoolRefused, changing nothing, when `next` is below the pool's
  // next number, naming both numbers.
  virtual void KeepPoolAt(const std::string& pool, std::int32_t next) = 0;

  // Takes the pool's next number (the pool moved up to take.StationNext
  // first, when it lies below) and records it as taken by `take`, in one
  // transaction that is committed, durably, before this returns. `check`
  // sees the number before the commit and raises to refuse it; the
  // transaction is then rolled back, nothing is taken or moved, and its
  // exception passes on. Raises ESerialPoolRefused "The serial numbers of
  // pool <name> are used up (last <n>)." when the pool has no number left
  // (no pool goes past 2147483647, none hands out a number below 0), and
  // ESerialPoolBusy while another station holds the pool.
  virtual std::int32_t Take(const SerialTake& take,
                            const std::function<void(std::int32_t)>& check) = 0;

  // Records how the serialization of `serial` from `pool` ended.
  virtual void Finish(const std::string& pool, std::int32_t serial, const SerialEnd& end) = 0;
};

// Why a station whose INI file names a serial server, and that has no way to
// reach one (a build made without libpq, as a Windows build without the MinGW
// libpq is), stores and takes nothing.
inline std::string NoWayToSerialServer(const std::string& iniFileName) {
  return iniFileName +
         " names a serial server (SerialServer in section Options), and this build of "
         "Velmorin was made without the serial server's client library (libpq), so it can't "
         "reach one; it stores and serializes nothing";
}

// Makes the source named by "[Options] SerialServer" (a connection string).
// Connecting waits for first use, so that making one never fails on the
// network.
using SerialSourceConnector =
    std::function<std::unique_ptr<SerialSource>(const std::string& connection)>;

}  // namespace velmorin
