#include "serialize/ProductionLog.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/files/RecordFile.h"
#include "platform/system/ComputerName.h"
#include "platform/system/LocalTime.h"

namespace velmorin {

namespace {
constexpr std::string_view kLineEnd = "\r\n";

std::string ResolveAgainstIniFolder(const std::string& fileName, const std::string& iniPath) {
  namespace fs = std::filesystem;
  const fs::path name(fileName);
  if (name.is_absolute()) return fileName;
  std::error_code ec;
  fs::path folder = fs::absolute(fs::path(iniPath), ec).parent_path();
  if (ec) folder = fs::path(iniPath).parent_path();
  return (folder / name).lexically_normal().string();
}
}  // namespace

ProductionLog::ProductionLog(const std::string& fileName, const std::string& iniPath)
    : FFileName(ResolveAgainstIniFolder(fileName, iniPath)) {}

void ProductionLog::Append(const ProductionEntry& entry) const {
  const std::string line = FormatLine(entry, std::time(nullptr), StationName());
  try {
    AppendRecordLine(FFileName, std::string(kHeader) + std::string(kLineEnd), line, kLineEnd);
  } catch (const Exception&) {
    throw EProductionLogError("Unable to write to " + FFileName);
  }
}

const char* ProductionLog::FateText(SerialFate fate) {
  switch (fate) {
    case SerialFate::Ok:
      return "ok";
    case SerialFate::Cancelled:
      return "cancelled";
    case SerialFate::BurnerFailed:
      return "burner failed";
    case SerialFate::Aborted:
      return "aborted";
    case SerialFate::Error:
      return "error";
  }
  return "error";
}

std::string ProductionLog::CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string field = "\"";
  for (const char c : text) {
    if (c == '"') field += '"';
    field += c;
  }
  field += '"';
  return field;
}

std::string ProductionLog::LocalTime(std::time_t when) {
  std::tm local{};
  const long offset = LocalTimeOf(when, local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &local);
  // Offsets lie within a day, so hours and minutes have two digits each.
  const int minutes = static_cast<int>(((offset < 0 ? -offset : offset) / 60) % (24 * 60));
  char zone[16];
  std::snprintf(zone, sizeof zone, "%c%02d:%02d", offset < 0 ? '-' : '+', minutes / 60,
                minutes % 60);
  return std::string(stamp) + zone;
}

std::string ProductionLog::FormatLine(const ProductionEntry& entry, std::time_t when,
                                      const std::string& station) {
  std::string line = LocalTime(when);
  const auto add = [&line](std::string_view field) {
    line += ',';
    line += CsvField(field);
  };
  add(station);
  add(entry.Skeleton);
  add(std::to_string(entry.Serial));
  add(entry.OutputFile);
  add(FateText(entry.Fate));
  add(entry.ExitCode ? std::to_string(*entry.ExitCode) : std::string());
  add(entry.Message);
  line += kLineEnd;
  return line;
}

std::string StationName() {
  return ComputerName();
}

}  // namespace velmorin
