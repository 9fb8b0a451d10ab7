// A private-profile (INI) file named by its path: one "[section]" line opens a
// section, "key=value" lines inside it hold values. Nothing is held open between
// calls; Read() reads and parses the file once and answers any number of
// lookups from that, and every write replaces the whole file atomically and
// durably (temporary file, fsync, rename), so a crash leaves either the old or
// the new file.
//
// Reading rules (shared with the Windows private-profile functions, so a file
// written there reads the same here):
// - Lines end with LF or CR LF; a UTF-8 byte-order mark at the start is skipped.
// - Blanks (spaces, tabs) around a line and around "=" are ignored; blanks
//   inside a section's brackets belong to its name. A line whose first
//   non-blank is ";" is a comment; a line without "=" holds no key.
// - A section line runs from "[" to the LAST "]" of the line, so a name that
//   itself holds "]" (a file path may) reads back as it was written.
// - Section and key names match without regard to ASCII letter case. When a
//   name occurs twice, the first one in the file wins.
// - A value loses its surrounding blanks and then one pair of enclosing quotes
//   ("..." or '...'), and is cut after 2047 bytes (never inside a UTF-8
//   sequence). The writer quotes a value that would otherwise not read back
//   unchanged, so every value written reads back exactly.
// - A missing file (or folder) reads as empty. Any other failure the system
//   reports, on opening or on reading, raises EIniFileException "Unable to
//   read <full path>: <reason>" (the reason in the words of the file-error
//   table, such as "I/O error 5"): a file that could not be read is never
//   taken for an empty or a shorter one.
//
// Writing rules: an existing key's line is replaced in place and every other
// line (comments, unknown keys) stays byte for byte; a new key goes after the
// last entry of its section, a new section at the end of the file. New lines
// use the file's own line ending (CR LF for a new file). A refused write, or a
// name or value holding a line break, raises EIniFileException "Unable to
// write to <full path>" and leaves the file as it was; so does a write whose
// reading of the file failed, since nothing may be built on it. Erasing removes every
// section of the name, so no stale copy comes back.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velmorin {

namespace ini_internal {
class IniDocument;
}

class IniFile {
 public:
  // Longest value ReadString returns, in bytes.
  static constexpr std::size_t kMaxValueLength = 2047;
  // Size of the buffer the section names are listed into: each name takes its
  // length plus one, and the list needs one more byte for its end.
  static constexpr std::size_t kSectionBufferSize = 16384;

  // A batch of changes that reach the file in one replacement: either all of
  // them or none.
  class Changes {
   public:
    Changes& WriteString(std::string section, std::string key, std::string value);
    Changes& WriteInteger(std::string section, std::string key, std::int32_t value);
    Changes& WriteBool(std::string section, std::string key, bool value);
    Changes& EraseSection(std::string section);

    bool Empty() const { return FSteps.empty(); }

   private:
    friend class IniFile;
    struct Step {
      bool Erase = false;
      std::string Section;
      std::string Key;
      std::string Value;
    };
    std::vector<Step> FSteps;
  };

  // The file as one read found it, parsed once; cheap to copy.
  class Contents {
   public:
    std::string ReadString(std::string_view section, std::string_view key,
                           const std::string& defaultValue) const;
    // ReadString without the cut after kMaxValueLength bytes, for a value
    // that may be longer and is read once (a connection string).
    std::string ReadWholeString(std::string_view section, std::string_view key,
                                const std::string& defaultValue) const;
    // The integer rule of ParseInteger; the default for an absent key or a
    // text that is no integer.
    std::int32_t ReadInteger(std::string_view section, std::string_view key,
                             std::int32_t defaultValue) const;
    // ReadInteger with the default as 0 or 1; non-zero is true.
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;
    // The section names in file order, each once, within the listing buffer's
    // size: the list stops before the first name that does not fit whole.
    // Nameless sections ("[]") are left out.
    std::vector<std::string> ReadSections() const;

   private:
    friend class IniFile;
    explicit Contents(std::shared_ptr<const ini_internal::IniDocument> document)
        : FDocument(std::move(document)) {}
    std::shared_ptr<const ini_internal::IniDocument> FDocument;
  };

  // A relative path is made absolute now, so the file stays the same one even
  // if the current folder changes later.
  explicit IniFile(const std::string& fileName);

  const std::string& FileName() const { return FFileName; }

  // Reads and parses the file once; raises on a failed read (see above).
  Contents Read() const;

  // One value or the section list, each from a read of its own.
  std::string ReadString(std::string_view section, std::string_view key,
                         const std::string& defaultValue) const;
  std::int32_t ReadInteger(std::string_view section, std::string_view key,
                           std::int32_t defaultValue) const;
  bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;
  std::vector<std::string> ReadSections() const;

  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, std::int32_t value);
  void WriteBool(const std::string& section, const std::string& key, bool value);
  // Several keys of one section in one replacement, in the given order.
  void WriteValues(const std::string& section,
                   const std::vector<std::pair<std::string, std::string>>& values);
  // Removes every section of that name with all its keys; a missing section
  // leaves the file untouched.
  void EraseSection(const std::string& section);
  // Applies a batch of changes in order, in one replacement of the file.
  void Apply(const Changes& changes);

  // Names compare without regard to ASCII letter case.
  static bool SameName(std::string_view a, std::string_view b);

 private:
  [[noreturn]] void RaiseWriteError() const;
  // The file's text; raises `Unable to read` when the system reports a failure.
  std::string ReadText() const;

  std::string FFileName;
};

}  // namespace velmorin
