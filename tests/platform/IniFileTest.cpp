#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "base/Exceptions.h"
#include "platform/ini/IniFile.h"
#include "tests/support/ScopedFilePermissions.h"
#include "tests/support/SystemSkip.h"
#include "tests/support/TempDir.h"

namespace velmorin {
namespace {

const std::string kAbsent = "<absent>";

// --- Reading hand-written files -------------------------------------------------

struct ReadCase {
  const char* name;
  std::string file;
  std::string section;
  std::string key;
  std::string expected;  // kAbsent when the default must come back
  friend void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }
};

class IniReadString : public testing::TestWithParam<ReadCase> {};

TEST_P(IniReadString, ReadsAsAPersonWould) {
  const ReadCase& c = GetParam();
  test::TempDir dir;
  const std::string path = dir.File("velmorin.ini");
  test::WriteFileBytes(path, c.file);
  EXPECT_EQ(IniFile(path).ReadString(c.section, c.key, kAbsent), c.expected);
}

// A value cut at the length limit: on POSIX the text is UTF-8 and a character
// is not split; on Windows one byte is one character of the ANSI code page.
#ifdef _WIN32  // the core's encoding differs (platform/system/TextEncoding.h)
const std::string kCutBeforeCharacter = std::string(2046, 'a') + "\xC2";
#else
const std::string kCutBeforeCharacter = std::string(2046, 'a');
#endif

INSTANTIATE_TEST_SUITE_P(
    HandWrittenFiles, IniReadString,
    testing::Values(
        ReadCase{"Plain", "[P]\nK=v\n", "P", "K", "v"},
        ReadCase{"CrLf", "[P]\r\nK=v\r\nL=w\r\n", "P", "K", "v"},
        ReadCase{"NoFinalLineEnd", "[P]\nK=v", "P", "K", "v"},
        ReadCase{"LoneCrAtEnd", "[P]\nK=v\r", "P", "K", "v"},
        ReadCase{"SectionCase", "[pRoFiLe]\nK=v\n", "Profile", "K", "v"},
        ReadCase{"KeyCase", "[P]\nnextseqnum=7\n", "P", "NextSeqNum", "7"},
        ReadCase{"LowerCaseOptions", "[options]\nDefaultImg=3\n", "Options", "DefaultImg", "3"},
        ReadCase{"BlanksAroundEquals", "[P]\n  K \t=  v w \t\n", "P", "K", "v w"},
        ReadCase{"BlanksAroundHeader", "  [P]  \nK=v\n", "P", "K", "v"},
        ReadCase{"BlanksInsideBracketsAreName", "[ P ]\nK=v\n", "P", "K", kAbsent},
        ReadCase{"HeaderWithComment", "[P] ; the first\nK=v\n", "P", "K", "v"},
        ReadCase{"BracketInSectionName", "[/a/fw[1]/x.hex]\nK=v\n", "/a/fw[1]/x.hex", "K", "v"},
        ReadCase{"BlankLines", "\n\n[P]\n\n\nK=v\n\n", "P", "K", "v"},
        ReadCase{"CommentedKey", "[P]\n;K=x\n", "P", "K", kAbsent},
        ReadCase{"CommentThenKey", "[P]\n  ; K=x\nK=y\n", "P", "K", "y"},
        ReadCase{"LineWithoutEquals", "[P]\njunk\nK=v\n", "P", "K", "v"},
        ReadCase{"EqualsInValue", "[P]\nK=a=b\n", "P", "K", "a=b"},
        ReadCase{"EmptyValueIsPresent", "[P]\nK=\n", "P", "K", ""},
        ReadCase{"BlankValueIsEmpty", "[P]\nK=   \n", "P", "K", ""},
        ReadCase{"MissingKey", "[P]\nL=v\n", "P", "K", kAbsent},
        ReadCase{"MissingSection", "[Q]\nK=v\n", "P", "K", kAbsent},
        ReadCase{"EmptyFile", "", "P", "K", kAbsent},
        ReadCase{"KeyOfOtherSection", "[A]\nK=1\n[B]\nL=2\n", "B", "K", kAbsent},
        ReadCase{"KeyBeforeAnySection", "K=1\n[P]\n", "P", "K", kAbsent},
        ReadCase{"FirstDuplicateKeyWins", "[P]\nK=1\nk=2\n", "P", "K", "1"},
        ReadCase{"FirstDuplicateSectionWins", "[P]\nK=1\n[Q]\n[p]\nK=3\n", "P", "K", "1"},
        ReadCase{"OnlyFirstDuplicateSectionIsSearched", "[P]\nK=1\n[p]\nL=4\n", "P", "L", kAbsent},
        ReadCase{"DoubleQuotesStripped", "[P]\nK=\"  x  \"\n", "P", "K", "  x  "},
        ReadCase{"SingleQuotesStripped", "[P]\nK='a'\n", "P", "K", "a"},
        ReadCase{"OnlyOnePairStripped", "[P]\nK=\"\"a\"\"\n", "P", "K", "\"a\""},
        ReadCase{"MismatchedQuotesKept", "[P]\nK=\"a'\n", "P", "K", "\"a'"},
        ReadCase{"LoneQuoteKept", "[P]\nK=\"\n", "P", "K", "\""},
        ReadCase{"InnerQuotesKept", "[P]\nK=\"C:\\b.exe\" \"$image\"\n", "P", "K",
                 "C:\\b.exe\" \"$image"},
        ReadCase{"Utf8ByteOrderMark", "\xEF\xBB\xBF[P]\nK=v\n", "P", "K", "v"},
        ReadCase{"LongValueCut", "[P]\nK=" + std::string(3000, 'a') + "\n", "P", "K",
                 std::string(2047, 'a')},
        ReadCase{"ValueOfExactlyMaxLength", "[P]\nK=" + std::string(2047, 'b') + "\n", "P", "K",
                 std::string(2047, 'b')},
        ReadCase{"LongValueNotCutInsideACharacter",
                 "[P]\nK=" + std::string(2046, 'a') + "\xC2\xBF" + "\n", "P", "K",
                 kCutBeforeCharacter}),
    [](const testing::TestParamInfo<ReadCase>& testCase) {
      return std::string(testCase.param.name);
    });

TEST(IniFile, MissingFileReadsAsEmpty) {
  test::TempDir dir;
  EXPECT_EQ(IniFile(dir.File("none.ini")).ReadString("P", "K", "d"), "d");
  EXPECT_EQ(IniFile(dir.File("no/such/folder.ini")).ReadInteger("P", "K", 9), 9);
  EXPECT_TRUE(IniFile(dir.File("none.ini")).ReadSections().empty());
}

// A file that is there but can't be read is an error, never an empty file:
// a read names the file and the reason, and a write built on it is refused.
TEST(IniFile, FileThatCannotBeReadIsAnError) {
  test::TempDir dir;
  const std::string path = dir.File("folder.ini");
  std::filesystem::create_directory(path);  // a folder in place of the file
  IniFile ini(path);
  try {
    ini.Read();
    ADD_FAILURE() << "the read did not fail";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(e.Message(), "Unable to read " + path + ": File access denied");
  }
  EXPECT_THROW(ini.ReadSections(), EIniFileException);
  try {
    ini.WriteString("P", "K", "v");
    ADD_FAILURE() << "the write was not refused";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(e.Message(), "Unable to write to " + path);
  }
  EXPECT_TRUE(std::filesystem::is_empty(path));
}

// --- Integers and booleans --------------------------------------------------------

struct IntegerCase {
  const char* name;
  std::string value;
  std::optional<std::int32_t> expected;  // nothing: the default
  friend void PrintTo(const IntegerCase& c, std::ostream* os) { *os << c.name; }
};

class IniReadInteger : public testing::TestWithParam<IntegerCase> {};

TEST_P(IniReadInteger, FollowsTheIntegerRule) {
  const IntegerCase& c = GetParam();
  test::TempDir dir;
  const std::string path = dir.File("velmorin.ini");
  test::WriteFileBytes(path, "[P]\r\nSeqNumOfs1=" + c.value + "\r\n");
  EXPECT_EQ(IniFile(path).ReadInteger("P", "SeqNumOfs1", -99), c.expected.value_or(-99))
      << "value \"" << c.value << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Values, IniReadInteger,
    testing::Values(
        IntegerCase{"Decimal", "2032", 2032}, IntegerCase{"HexCPrefix", "0x7F0", 2032},
        IntegerCase{"HexCPrefixUpper", "0X7f0", 2032}, IntegerCase{"HexDollar", "$7F0", 2032},
        IntegerCase{"HexX", "x7F0", 2032}, IntegerCase{"Negative", "-12", -12},
        IntegerCase{"PlusSign", "+12", 12},
        // the blanks around a value never reach the rule
        IntegerCase{"BlanksAround", "  12  ", 12}, IntegerCase{"Quoted", "\"12\"", 12},
        IntegerCase{"Largest", "2147483647", 2147483647},
        IntegerCase{"Smallest", "-2147483648", std::numeric_limits<std::int32_t>::min()},
        IntegerCase{"HexAllOnesIsMinusOne", "$FFFFFFFF", -1},
        IntegerCase{"OneOverLargest", "2147483648", std::nullopt},
        IntegerCase{"HexOverflow", "$100000000", std::nullopt},
        IntegerCase{"HexWithoutPrefix", "7F0", std::nullopt},
        IntegerCase{"TrailingLetters", "12abc", std::nullopt},
        IntegerCase{"BlankInside", "1 2", std::nullopt},
        IntegerCase{"PrefixOnly", "0x", std::nullopt}, IntegerCase{"Empty", "", std::nullopt},
        IntegerCase{"WordYes", "yes", std::nullopt}, IntegerCase{"WordTrue", "true", std::nullopt}),
    [](const testing::TestParamInfo<IntegerCase>& testCase) {
      return std::string(testCase.param.name);
    });

TEST(IniFile, BooleansGoThroughTheIntegerRule) {
  test::TempDir dir;
  const std::string path = dir.File("velmorin.ini");
  test::WriteFileBytes(path,
                       "[P]\nAutoIncSeq=2\nDontSave=yes\nHideBurner=0\nDontBurn=-1\nA=$0\nB=\n");
  const IniFile ini(path);
  EXPECT_TRUE(ini.ReadBool("P", "AutoIncSeq", false));
  EXPECT_TRUE(ini.ReadBool("P", "DontSave", true));  // "yes" is no integer: the default
  EXPECT_FALSE(ini.ReadBool("P", "DontSave", false));
  EXPECT_FALSE(ini.ReadBool("P", "HideBurner", true));
  EXPECT_TRUE(ini.ReadBool("P", "DontBurn", false));
  EXPECT_FALSE(ini.ReadBool("P", "A", true));
  EXPECT_TRUE(ini.ReadBool("P", "B", true));  // empty: the default
  EXPECT_TRUE(ini.ReadBool("P", "Missing", true));
}

// --- Section listing ----------------------------------------------------------------

TEST(IniFile, ReadSectionsListsEachNameOnceInFileOrder) {
  test::TempDir dir;
  const std::string path = dir.File("velmorin.ini");
  test::WriteFileBytes(path,
                       "K=1\r\n[/b/two.hex]\r\n[]\r\n[options]\r\nDefaultImg=0\r\n; [C]\r\n"
                       "[/a/one.hex]\r\n[/B/TWO.HEX]\r\n");
  EXPECT_EQ(IniFile(path).ReadSections(),
            (std::vector<std::string>{"/b/two.hex", "options", "/a/one.hex"}));
}

// The names go into a 16384-byte buffer: each takes its length plus one, and the
// list needs one byte more. The first name that doesn't fit whole ends the list.
TEST(IniFile, ReadSectionsStopsAtTheBufferSize) {
  struct Case {
    std::vector<std::size_t> lengths;
    std::size_t listed;
  };
  const std::vector<Case> cases = {
      {{16382}, 1},          // 16382 + 1 + 1 = 16384: fits exactly
      {{16383}, 0},          // one byte too many
      {{100, 16281}, 2},     // 101 + 16282 + 1 = 16384
      {{100, 16282, 1}, 1},  // the second doesn't fit, nor does anything after it
      {{8000, 8000, 8000}, 2},
  };
  for (const Case& c : cases) {
    test::TempDir dir;
    const std::string path = dir.File("velmorin.ini");
    std::string file;
    std::vector<std::string> names;
    for (std::size_t i = 0; i < c.lengths.size(); ++i) {
      names.push_back(std::string(c.lengths[i], static_cast<char>('a' + i)));
      file += "[" + names.back() + "]\n";
    }
    test::WriteFileBytes(path, file);
    const auto listed = IniFile(path).ReadSections();
    ASSERT_EQ(listed.size(), c.listed) << "first length " << c.lengths[0];
    for (std::size_t i = 0; i < listed.size(); ++i) EXPECT_EQ(listed[i], names[i]);
  }
}

TEST(IniFile, ReadSectionsHoldsHundredsOfOrdinaryProfiles) {
  test::TempDir dir;
  const std::string path = dir.File("velmorin.ini");
  const auto name = [](int i) {
    const std::string number = std::to_string(1000 + i);
    return "/home/operator/firmware/rev-b/skeleton-" + number + ".hex";  // 47 bytes
  };
  std::string file;
  for (int i = 0; i < 400; ++i) file += "[" + name(i) + "]\nNextSeqNum=1\n";
  test::WriteFileBytes(path, file);
  // 341 names of 48 bytes with their NULs use 16368 bytes; the 342nd would need 16417.
  const auto listed = IniFile(path).ReadSections();
  ASSERT_EQ(listed.size(), 341u);
  EXPECT_EQ(listed.front(), name(0));
  EXPECT_EQ(listed.back(), name(340));
}

// --- Writing ----------------------------------------------------------------------

struct WriteCase {
  const char* name;
  std::string before;
  std::string section;
  std::string key;
  std::string value;
  std::string after;
  friend void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }
};

class IniWriteString : public testing::TestWithParam<WriteCase> {};

TEST_P(IniWriteString, ChangesOnlyWhatItMust) {
  const WriteCase& c = GetParam();
  test::TempDir dir;
  const std::string path = dir.File("velmorin.ini");
  test::WriteFileBytes(path, c.before);
  IniFile(path).WriteString(c.section, c.key, c.value);
  EXPECT_EQ(test::ReadFileBytes(path), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    HandWrittenFiles, IniWriteString,
    testing::Values(
        WriteCase{"ReplaceInPlace", "; head\r\n[P]\r\nA=1\r\nK=old\r\nB=2\r\n[Q]\r\nK=q\r\n", "P",
                  "K", "new", "; head\r\n[P]\r\nA=1\r\nK=new\r\nB=2\r\n[Q]\r\nK=q\r\n"},
        WriteCase{"ReplaceKeepsKeySpellingAndLineEnd", "[p]\n  nextseqnum = 5  \nX=1", "P",
                  "NextSeqNum", "6", "[p]\nnextseqnum=6\nX=1"},
        WriteCase{"ReplaceFirstDuplicate", "[P]\nK=1\n[p]\nK=2\n", "P", "K", "3",
                  "[P]\nK=3\n[p]\nK=2\n"},
        WriteCase{"NewKeyAfterLastEntry", "[P]\nA=1\n\n; about Q\n[Q]\nB=2\n", "P", "C", "3",
                  "[P]\nA=1\nC=3\n\n; about Q\n[Q]\nB=2\n"},
        WriteCase{"NewKeyInEmptySection", "[P]\n[Q]\n", "P", "C", "3", "[P]\nC=3\n[Q]\n"},
        WriteCase{"NewKeyAtEndOfFileWithoutLineEnd", "[P]\r\nA=1", "P", "C", "3",
                  "[P]\r\nA=1\r\nC=3\r\n"},
        WriteCase{"NewSectionAtEnd", "; kept\n[P]\nA=1\n", "Q", "B", "2",
                  "; kept\n[P]\nA=1\n[Q]\nB=2\n"},
        WriteCase{"NewSectionAfterMissingLineEnd", "[P]\nA=1", "Q", "B", "2",
                  "[P]\nA=1\n[Q]\nB=2\n"},
        WriteCase{"SectionMatchedWithoutCase", "[options]\r\nDefaultImg=1\r\n", "Options",
                  "DefaultImg", "-1", "[options]\r\nDefaultImg=-1\r\n"},
        WriteCase{"ByteOrderMarkKept", "\xEF\xBB\xBF[P]\nA=1\n", "P", "A", "2",
                  "\xEF\xBB\xBF[P]\nA=2\n"},
        WriteCase{"QuotedWhenBlanksAround", "", "P", "K", " x ", "[P]\r\nK=\" x \"\r\n"},
        WriteCase{"QuotedWhenEnclosedInQuotes", "", "P", "K", "\"C:\\b.exe\" \"$image\"",
                  "[P]\r\nK=\"\"C:\\b.exe\" \"$image\"\"\r\n"}),
    [](const testing::TestParamInfo<WriteCase>& testCase) {
      return std::string(testCase.param.name);
    });

TEST(IniFile, FirstWriteCreatesTheFile) {
  test::TempDir dir;
  const std::string path = dir.File("velmorin.ini");
  IniFile ini(path);
  ini.WriteInteger("Options", "DefaultImg", -1);
  EXPECT_EQ(test::ReadFileBytes(path), "[Options]\r\nDefaultImg=-1\r\n");
}

TEST(IniFile, WrittenValuesReadBackExactly) {
  const std::vector<std::string> values = {"",
                                           " lead",
                                           "trail ",
                                           "\t",
                                           "\"q\"",
                                           "'q'",
                                           "\"",
                                           "'",
                                           "\"a'",
                                           "a=b",
                                           "; not a comment",
                                           "[not a section]",
                                           "\"C:\\Program Files\\b.exe\" \"$image\"",
                                           "caf\xC3\xA9 \xC2\xBF",
                                           std::string(2047, 'z')};
  test::TempDir dir;
  IniFile ini(dir.File("velmorin.ini"));
  for (std::size_t i = 0; i < values.size(); ++i) {
    ini.WriteString("/fw[2]/a.hex", "K" + std::to_string(i), values[i]);
  }
  for (std::size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(ini.ReadString("/fw[2]/a.hex", "K" + std::to_string(i), kAbsent), values[i])
        << "value #" << i;
  }
  EXPECT_EQ(ini.ReadSections(), std::vector<std::string>{"/fw[2]/a.hex"});
}

TEST(IniFile, WriteValuesPutsNewKeysInTheirOrder) {
  test::TempDir dir;
  const std::string path = dir.File("velmorin.ini");
  test::WriteFileBytes(path, "[P]\nB=old\nUnknown=kept\n");
  IniFile(path).WriteValues("P", {{"A", "1"}, {"B", "2"}, {"C", "3"}});
  EXPECT_EQ(test::ReadFileBytes(path), "[P]\nB=2\nUnknown=kept\nA=1\nC=3\n");
}

TEST(IniFile, EraseSectionRemovesEveryCopyAndKeepsOtherLines) {
  test::TempDir dir;
  const std::string path = dir.File("velmorin.ini");
  test::WriteFileBytes(path, "; head\n[A]\na=1\n; inside\nb=2\n\n; about B\n[B]\nx=1\n[a]\ny=2\n");
  IniFile(path).EraseSection("A");
  EXPECT_EQ(test::ReadFileBytes(path), "; head\n\n; about B\n[B]\nx=1\n");
}

TEST(IniFile, ErasingAMissingSectionWritesNothing) {
  test::TempDir dir;
  const std::string path = dir.File("velmorin.ini");
  IniFile(path).EraseSection("A");
  EXPECT_FALSE(std::filesystem::exists(path));
  test::WriteFileBytes(path, "[B]\nx=1");
  IniFile(path).EraseSection("A");
  EXPECT_EQ(test::ReadFileBytes(path), "[B]\nx=1");
}

TEST(IniFile, BatchEraseThenWriteMovesASectionToTheEnd) {
  test::TempDir dir;
  const std::string path = dir.File("velmorin.ini");
  test::WriteFileBytes(path, "[A]\nK=1\nOld=x\n[B]\nK=2\n");
  IniFile ini(path);
  ini.Apply(IniFile::Changes().EraseSection("a").WriteString("A", "K", "3"));
  EXPECT_EQ(test::ReadFileBytes(path), "[B]\nK=2\n[A]\nK=3\n");
}

TEST(IniFile, LineBreaksAreRefusedAndNothingIsWritten) {
  test::TempDir dir;
  const std::string path = dir.File("velmorin.ini");
  test::WriteFileBytes(path, "[P]\nK=1\n");
  IniFile ini(path);
  EXPECT_THROW(ini.WriteString("P", "K", "a\nb"), EIniFileException);
  EXPECT_THROW(ini.WriteString("P\r", "K", "v"), EIniFileException);
  EXPECT_THROW(ini.WriteValues("P", {{"K", "2"}, {"L", "x\r\ny"}}), EIniFileException);
  EXPECT_EQ(test::ReadFileBytes(path), "[P]\nK=1\n");
}

TEST(IniFile, RelativePathIsMadeAbsolute) {
  const IniFile ini("relative.ini");
  EXPECT_EQ(ini.FileName(), (std::filesystem::current_path() / "relative.ini").string());
}

TEST(IniFile, WritingThroughASymbolicLinkKeepsTheLink) {
  VELMORIN_SKIP_ON_WINDOWS("symbolic links need a privilege on Windows");
  test::TempDir dir;
  const std::string real = dir.File("real.ini");
  const std::string link = dir.File("velmorin.ini");
  test::WriteFileBytes(real, "[P]\nK=1\n");
  std::filesystem::create_symlink(real, link);
  IniFile(link).WriteString("P", "K", "2");
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(test::ReadFileBytes(real), "[P]\nK=2\n");
}

// --- Refused writes ------------------------------------------------------------------

void ExpectRefused(IniFile& ini, const std::string& before) {
  const std::string expected = "Unable to write to " + ini.FileName();
  const auto expectMessage = [&](auto&& write) {
    try {
      write();
      ADD_FAILURE() << "the write was not refused";
    } catch (const EIniFileException& e) {
      EXPECT_EQ(e.Message(), expected);
    }
  };
  expectMessage([&] { ini.WriteString("P", "K", "2"); });
  expectMessage([&] { ini.WriteValues("P", {{"K", "2"}, {"New", "3"}}); });
  expectMessage([&] { ini.EraseSection("P"); });
  expectMessage([&] { ini.WriteInteger("Options", "DefaultImg", 4); });
  EXPECT_EQ(test::ReadFileBytes(ini.FileName()), before);
}

TEST(IniFile, ReadOnlyFolderRefusesWrites) {
  VELMORIN_SKIP_ON_WINDOWS(test::kFolderAttributeAllowsNewFiles);
  test::TempDir dir;
  const std::string folder = dir.File("exe");
  std::filesystem::create_directory(folder);
  const std::string path = folder + "/velmorin.ini";
  const std::string before = "; mine\r\n[P]\r\nK=1\r\n";
  test::WriteFileBytes(path, before);
  std::filesystem::permissions(
      folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  test::ScopedFilePermissions permissions;
  IniFile ini(path);
  ExpectRefused(ini, before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                          std::filesystem::directory_iterator()),
            1);  // no temporary file left behind
}

TEST(IniFile, ReadOnlyFileRefusesWrites) {
  test::TempDir dir;
  const std::string path = dir.File("velmorin.ini");
  const std::string before = "[P]\nK=1\n";
  test::WriteFileBytes(path, before);
  // On Windows this sets the read-only attribute.
  std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                         std::filesystem::perms::group_read |
                                         std::filesystem::perms::others_read);
  test::ScopedFilePermissions permissions;
  IniFile ini(path);
  ExpectRefused(ini, before);
}

TEST(IniFile, MissingFolderRefusesWrites) {
  test::TempDir dir;
  IniFile ini(dir.File("gone/velmorin.ini"));
  try {
    ini.WriteString("P", "K", "v");
    ADD_FAILURE() << "the write was not refused";
  } catch (const EIniFileException& e) {
    const auto path = std::filesystem::path(dir.File("gone/velmorin.ini")).lexically_normal();
    EXPECT_EQ(e.Message(), "Unable to write to " + path.string());
  }
}

}  // namespace
}  // namespace velmorin
