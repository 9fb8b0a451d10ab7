#include "platform/ini/IniFile.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <optional>
#include <unordered_set>

#include "base/Exceptions.h"
#include "base/ParseInteger.h"
#include "platform/files/AtomicFileWriter.h"
#include "platform/files/FileErrors.h"
#include "platform/files/ReadWholeFile.h"
#include "platform/system/TextEncoding.h"

namespace velmorin {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char FoldCase(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The value as the reader sees it: blanks around it dropped, then one pair of
// enclosing quotes.
std::string_view Unquote(std::string_view raw) {
  std::string_view value = Trim(raw);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

// What the writer puts after "=": the value itself when it reads back
// unchanged, otherwise the value in double quotes (which the reader removes).
std::string EncodeValue(const std::string& value) {
  if (Unquote(value) == value) return value;
  return '"' + value + '"';
}

std::string_view CutToMaxLength(std::string_view value) {
  return value.substr(0, CutLength(value, IniFile::kMaxValueLength));
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != text.npos;
}

}  // namespace

namespace ini_internal {

enum class LineKind { Blank, Comment, Section, Key, Other };

struct ParsedLine {
  LineKind Kind = LineKind::Blank;
  std::string_view Name;      // section or key name
  std::string_view RawValue;  // text after "=" of a key line
};

// The line without its terminator (LF, CR LF, or a lone CR at the file's end).
std::string_view Content(std::string_view rawLine) {
  if (!rawLine.empty() && rawLine.back() == '\n') rawLine.remove_suffix(1);
  if (!rawLine.empty() && rawLine.back() == '\r') rawLine.remove_suffix(1);
  return rawLine;
}

ParsedLine Classify(std::string_view rawLine) {
  ParsedLine parsed;
  const std::string_view line = Trim(Content(rawLine));
  if (line.empty()) return parsed;
  if (line.front() == ';') {
    parsed.Kind = LineKind::Comment;
    return parsed;
  }
  if (line.front() == '[') {
    const std::size_t close = line.rfind(']');
    if (close != line.npos && close > 0) {
      parsed.Kind = LineKind::Section;
      parsed.Name = line.substr(1, close - 1);
      return parsed;
    }
  }
  const std::size_t equals = line.find('=');
  if (equals != line.npos) {
    const std::string_view key = Trim(line.substr(0, equals));
    if (!key.empty()) {
      parsed.Kind = LineKind::Key;
      parsed.Name = key;
      parsed.RawValue = line.substr(equals + 1);
      return parsed;
    }
  }
  parsed.Kind = LineKind::Other;
  return parsed;
}

// The file as a list of lines, each with its own terminator, so that lines the
// program doesn't touch are written back byte for byte. Every line is
// classified once, when it enters the document: a lookup then only compares
// names, however many keys an operation reads or writes.
class IniDocument {
 public:
  explicit IniDocument(std::string text) : FText(std::move(text)) {
    std::string_view rest = FText;
    if (rest.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
      FPrefix = kUtf8Bom;
      rest.remove_prefix(kUtf8Bom.size());
    }
    FLines.reserve(static_cast<std::size_t>(std::count(rest.begin(), rest.end(), '\n')) + 1);
    while (!rest.empty()) {
      const std::size_t lf = rest.find('\n');
      const std::size_t length = lf == rest.npos ? rest.size() : lf + 1;
      FLines.push_back(Entry(rest.substr(0, length)));
      rest.remove_prefix(length);
    }
    FLineEnd = "\r\n";
    for (const Line& line : FLines) {
      if (!line.Raw.empty() && line.Raw.back() == '\n') {
        const bool crlf = line.Raw.size() >= 2 && line.Raw[line.Raw.size() - 2] == '\r';
        FLineEnd = crlf ? "\r\n" : "\n";
        break;
      }
    }
  }

  IniDocument(const IniDocument&) = delete;
  IniDocument& operator=(const IniDocument&) = delete;

  std::string Text() const {
    std::size_t size = FPrefix.size();
    for (const Line& line : FLines) size += line.Raw.size();
    std::string text;
    text.reserve(size);
    text += FPrefix;
    for (const Line& line : FLines) text += line.Raw;
    return text;
  }

  // Index of the first header line of `section`, if any. An operation looks
  // up its one section once per key: the last answer is kept until the lines
  // move.
  std::optional<std::size_t> FindSection(std::string_view section) const {
    if (FFound && IniFile::SameName(FFound->Name, section)) return FFound->Header;
    std::optional<std::size_t> header;
    for (std::size_t i = 0; i < FLines.size() && !header; ++i) {
      const ParsedLine& parsed = FLines[i].Parsed;
      if (parsed.Kind == LineKind::Section && IniFile::SameName(parsed.Name, section)) header = i;
    }
    FFound = Found{std::string(section), header};
    return header;
  }

  // Index of the first line of `key` in the section whose header is at `header`.
  std::optional<std::size_t> FindKey(std::size_t header, std::string_view key) const {
    for (std::size_t i = header + 1; i < FLines.size(); ++i) {
      const ParsedLine& parsed = FLines[i].Parsed;
      if (parsed.Kind == LineKind::Section) break;
      if (parsed.Kind == LineKind::Key && IniFile::SameName(parsed.Name, key)) return i;
    }
    return std::nullopt;
  }

  // The last line of a section's entries: blank and comment lines after it are
  // left to whatever follows (often a comment about the next section).
  std::size_t LastEntryLine(std::size_t header) const {
    std::size_t last = header;
    for (std::size_t i = header + 1; i < FLines.size(); ++i) {
      const LineKind kind = FLines[i].Parsed.Kind;
      if (kind == LineKind::Section) break;
      if (kind != LineKind::Blank && kind != LineKind::Comment) last = i;
    }
    return last;
  }

  std::optional<std::string_view> RawValue(std::string_view section, std::string_view key) const {
    const auto header = FindSection(section);
    if (!header) return std::nullopt;
    const auto line = FindKey(*header, key);
    if (!line) return std::nullopt;
    return FLines[*line].Parsed.RawValue;
  }

  std::vector<std::string_view> SectionNames() const {
    std::vector<std::string_view> names;
    for (const Line& line : FLines) {
      if (line.Parsed.Kind == LineKind::Section) names.push_back(line.Parsed.Name);
    }
    return names;
  }

  void Write(const std::string& section, const std::string& key, const std::string& value) {
    const std::string encoded = EncodeValue(value);
    const auto header = FindSection(section);
    if (!header) {
      FFound.reset();
      Terminate(FLines.size());
      FLines.push_back(Store('[' + section + ']' + FLineEnd));
      FLines.push_back(Store(key + '=' + encoded + FLineEnd));
      return;
    }
    if (const auto line = FindKey(*header, key)) {
      // Keep the key as the file spells it, and the line's own ending.
      const Line& old = FLines[*line];
      const std::string ending(old.Raw.substr(Content(old.Raw).size()));
      FLines[*line] = Store(std::string(old.Parsed.Name) + '=' + encoded + ending);
      return;
    }
    const std::size_t after = LastEntryLine(*header);
    Terminate(after + 1);
    FFound.reset();
    FLines.insert(FLines.begin() + static_cast<std::ptrdiff_t>(after + 1),
                  Store(key + '=' + encoded + FLineEnd));
  }

  bool Erase(const std::string& section) {
    bool erased = false;
    while (const auto header = FindSection(section)) {
      const std::size_t last = LastEntryLine(*header);
      FLines.erase(FLines.begin() + static_cast<std::ptrdiff_t>(*header),
                   FLines.begin() + static_cast<std::ptrdiff_t>(last + 1));
      FFound.reset();
      erased = true;
    }
    return erased;
  }

 private:
  // A line's text (a view into the text read, or into a line the document
  // made) and how it reads.
  struct Line {
    std::string_view Raw;
    ParsedLine Parsed;
  };

  static Line Entry(std::string_view raw) { return Line{raw, Classify(raw)}; }

  // Keeps a new line's text where the views of the line table stay valid.
  Line Store(std::string raw) {
    FMadeLines.push_back(std::move(raw));
    return Entry(FMadeLines.back());
  }

  // Gives the line before index `next` a terminator, so a line can follow it.
  void Terminate(std::size_t next) {
    if (next == 0) return;
    const std::string_view raw = FLines[next - 1].Raw;
    if (raw.empty() || raw.back() != '\n') {
      std::string line(raw);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      FLines[next - 1] = Store(line + FLineEnd);
    }
  }

  // The last section looked up and where its header is (none: not in the file).
  struct Found {
    std::string Name;
    std::optional<std::size_t> Header;
  };
  mutable std::optional<Found> FFound;

  const std::string FText;             // the file as read; the line table points into it
  std::deque<std::string> FMadeLines;  // lines written since (a deque never moves them)
  std::string FPrefix;
  std::vector<Line> FLines;
  std::string FLineEnd;
};

}  // namespace ini_internal

namespace {

using ini_internal::IniDocument;

// A read-only file in a writable folder could still be replaced by a rename;
// it must refuse the write as it would refuse an in-place one.
bool ExistingFileRefusesWrites(const std::string& fileName) {
  std::error_code ec;
  if (!std::filesystem::exists(fileName, ec)) return false;
  std::FILE* file = std::fopen(fileName.c_str(), "r+b");
  if (file == nullptr) return true;
  std::fclose(file);
  return false;
}

// The file a write lands in: a symbolic link is followed, so that replacing the
// file doesn't replace the link.
std::string WriteTarget(const std::string& fileName) {
  std::error_code ec;
  if (!std::filesystem::is_symlink(fileName, ec)) return fileName;
  const auto target = std::filesystem::weakly_canonical(fileName, ec);
  return ec ? fileName : target.string();
}

bool ValidKey(std::string_view key) {
  return !key.empty() && !HasLineBreak(key) && key.find('=') == key.npos && Trim(key) == key &&
         key.front() != ';' && key.front() != '[';
}

}  // namespace

IniFile::Changes& IniFile::Changes::WriteString(std::string section, std::string key,
                                                std::string value) {
  FSteps.push_back({false, std::move(section), std::move(key), std::move(value)});
  return *this;
}

IniFile::Changes& IniFile::Changes::WriteInteger(std::string section, std::string key,
                                                 std::int32_t value) {
  return WriteString(std::move(section), std::move(key), std::to_string(value));
}

IniFile::Changes& IniFile::Changes::WriteBool(std::string section, std::string key, bool value) {
  return WriteString(std::move(section), std::move(key), value ? "1" : "0");
}

IniFile::Changes& IniFile::Changes::EraseSection(std::string section) {
  FSteps.push_back({true, std::move(section), {}, {}});
  return *this;
}

IniFile::IniFile(const std::string& fileName) {
  std::error_code ec;
  const auto absolute =
      fileName.empty() ? std::filesystem::path() : std::filesystem::absolute(fileName, ec);
  FFileName = ec || absolute.empty() ? fileName : absolute.lexically_normal().string();
}

bool IniFile::SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

std::string IniFile::ReadText() const {
  std::string text;
  if (const int err = ReadWholeFile(FFileName, text); err != 0) {
    throw EIniFileException("Unable to read " + FFileName + ": " +
                            InOutErrorMessage(err, FFileName));
  }
  return text;
}

IniFile::Contents IniFile::Read() const {
  return Contents(std::make_shared<const IniDocument>(ReadText()));
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                const std::string& defaultValue) const {
  return Read().ReadString(section, key, defaultValue);
}

std::int32_t IniFile::ReadInteger(std::string_view section, std::string_view key,
                                  std::int32_t defaultValue) const {
  return Read().ReadInteger(section, key, defaultValue);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
  return Read().ReadBool(section, key, defaultValue);
}

std::vector<std::string> IniFile::ReadSections() const {
  return Read().ReadSections();
}

std::string IniFile::Contents::ReadString(std::string_view section, std::string_view key,
                                          const std::string& defaultValue) const {
  const auto raw = FDocument->RawValue(section, key);
  if (!raw) return defaultValue;
  return std::string(CutToMaxLength(Unquote(*raw)));
}

std::string IniFile::Contents::ReadWholeString(std::string_view section, std::string_view key,
                                               const std::string& defaultValue) const {
  const auto raw = FDocument->RawValue(section, key);
  if (!raw) return defaultValue;
  return std::string(Unquote(*raw));
}

std::int32_t IniFile::Contents::ReadInteger(std::string_view section, std::string_view key,
                                            std::int32_t defaultValue) const {
  return ParseIntegerOr(ReadString(section, key, {}), defaultValue);
}

bool IniFile::Contents::ReadBool(std::string_view section, std::string_view key,
                                 bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

std::vector<std::string> IniFile::Contents::ReadSections() const {
  std::vector<std::string> names;
  // Names already listed, folded to one letter case.
  std::unordered_set<std::string> listed;
  std::size_t used = 0;
  for (const std::string_view name : FDocument->SectionNames()) {
    if (name.empty()) continue;
    std::string folded(name);
    for (char& c : folded) c = FoldCase(c);
    if (listed.count(folded) != 0) continue;
    // The name and its NUL, plus the NUL that ends the list, must fit.
    if (used + name.size() + 2 > kSectionBufferSize) break;
    used += name.size() + 1;
    names.emplace_back(name);
    listed.insert(std::move(folded));
  }
  return names;
}

void IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
  Apply(Changes().WriteString(section, key, value));
}

void IniFile::WriteInteger(const std::string& section, const std::string& key, std::int32_t value) {
  Apply(Changes().WriteInteger(section, key, value));
}

void IniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  Apply(Changes().WriteBool(section, key, value));
}

void IniFile::WriteValues(const std::string& section,
                          const std::vector<std::pair<std::string, std::string>>& values) {
  Changes changes;
  for (const auto& [key, value] : values) changes.WriteString(section, key, value);
  Apply(changes);
}

void IniFile::EraseSection(const std::string& section) {
  Apply(Changes().EraseSection(section));
}

void IniFile::Apply(const Changes& changes) {
  // A line break inside a name or value would break the file's structure and
  // could never be read back: refuse the whole batch before touching anything.
  for (const Changes::Step& step : changes.FSteps) {
    if (HasLineBreak(step.Section)) RaiseWriteError();
    if (!step.Erase && (!ValidKey(step.Key) || HasLineBreak(step.Value))) RaiseWriteError();
  }

  // Nothing is built on a read that failed: the file stays as it is.
  std::string oldText;
  if (ReadWholeFile(FFileName, oldText) != 0) RaiseWriteError();
  IniDocument document(std::move(oldText));
  bool writes = false;
  bool changed = false;
  for (const Changes::Step& step : changes.FSteps) {
    if (step.Erase) {
      changed = document.Erase(step.Section) || changed;
    } else {
      document.Write(step.Section, step.Key, step.Value);
      writes = true;
    }
  }
  // Erasing a section that isn't there changes nothing and needs no write.
  if (!writes && !changed) return;

  if (ExistingFileRefusesWrites(FFileName)) RaiseWriteError();
  try {
    AtomicFileWriter::WriteWholeFile(WriteTarget(FFileName), document.Text(), Durability::Synced);
  } catch (const EInOutError&) {
    RaiseWriteError();
  }
}

void IniFile::RaiseWriteError() const {
  throw EIniFileException("Unable to write to " + FFileName);
}

}  // namespace velmorin
