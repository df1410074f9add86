#include "update/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "base/code_page.h"
#include "testing/temp_dir.h"
#include "update/tests/update_test_support.h"

namespace quorvo {
namespace {

using testing::TempDir;

TEST(IniFileTest, ReadsIntegersLikeThePlatformReader) {
  struct Case {
    const char* content;
    const char* section;
    const char* key;
    int defaultValue;
    int expected;
  } cases[] = {
      {"[update]\nversion=3\n", "update", "version", 1, 3},
      {"[UPDATE]\r\nVersion = 7\r\n", "update", "VERSION", 1, 7},  // names ignore case, blanks trimmed
      {"[update]\nversion=12abc\n", "update", "version", 1, 12},   // leading digits
      {"[update]\nversion=abc\n", "update", "version", 1, 0},      // not a number: 0
      {"[update]\nversion=\n", "update", "version", 5, 5},         // empty: the default
      {"[update]\nversion=-2\n", "update", "version", 1, -2},
      {"[update]\nother=3\n", "update", "version", 1, 1},               // key missing
      {"[other]\nversion=3\n", "update", "version", 0, 0},              // section missing
      {"version=3\n[update]\n", "update", "version", 9, 9},             // key outside the section
      {"[update]\nversion=2\nversion=5\n", "update", "version", 1, 2},  // the first one counts
      {"; comment\n[update]\n; version=8\nversion=4\n", "update", "version", 1, 4},
      {"[update]\nversion=\"6\"\n", "update", "version", 1, 6},  // quotes removed
  };
  TempDir dir;
  for (const Case& c : cases) {
    dir.Write("config.ini", c.content);
    EXPECT_EQ(c.expected, ReadIniInt(dir.File("config.ini"), c.section, c.key, c.defaultValue)) << c.content;
  }
  EXPECT_EQ(1, ReadIniInt(dir.File("missing.ini"), "update", "version", 1));
  EXPECT_EQ(0, ReadIniInt(dir.File("missing.ini"), "update", "version", 0));
}

TEST(IniFileTest, ReadsTextsCutToTheBuffer) {
  TempDir dir;
  std::string longUrl = "http://127.0.0.1/" + std::string(600, 'a');
  dir.Write("web.ini", "[update]\nfile_1 = http://h/x.txt  \nfile_2=" + longUrl + "\nfile_3=" + Gbk("中文") + "\n");
  std::string path = dir.File("web.ini");
  EXPECT_EQ("http://h/x.txt", ReadIniString(path, "UPDATE", "FILE_1", "no file"));
  EXPECT_EQ(511u, ReadIniString(path, "update", "file_2", "no file").size());
  EXPECT_EQ(Gbk("中文"), ReadIniString(path, "update", "file_3", "no file"));
  EXPECT_EQ("no file", ReadIniString(path, "update", "file_4", "no file"));
  EXPECT_EQ("no file", ReadIniString(dir.File("missing.ini"), "update", "file_1", "no file"));
  // A GBK character is never split by the cut.
  dir.Write("gbk.ini", "[s]\nk=a" + Gbk("中文") + "\n");
  EXPECT_EQ("a" + Gbk("中"), ReadIniString(dir.File("gbk.ini"), "s", "k", "", 5));
}

TEST(IniFileTest, WritingOneKeyKeepsTheRestOfTheFile) {
  TempDir dir;
  std::string path = dir.File("config.ini");
  dir.Write("config.ini", "; installed with the programs\n[other]\nname=keep me\n[Update]\nVersion=1\nextra=7\n");
  chmod(path.c_str(), 0640);

  ASSERT_TRUE(WriteIniString(path, "update", "version", "2"));
  EXPECT_EQ(2, ReadIniInt(path, "update", "version", 0));
  EXPECT_EQ(7, ReadIniInt(path, "update", "extra", 0));
  EXPECT_EQ("keep me", ReadIniString(path, "other", "name", ""));
  std::string content = dir.Read("config.ini");
  EXPECT_NE(std::string::npos, content.find("; installed with the programs"));
  EXPECT_EQ(std::string::npos, content.find("Version=1"));
  EXPECT_EQ(0640u, testing::ModeOf(path));

  // Duplicates collapse into the one value written.
  dir.Write("dup.ini", "[update]\nversion=1\nversion=5\n");
  ASSERT_TRUE(WriteIniString(dir.File("dup.ini"), "update", "version", "3"));
  EXPECT_EQ(3, ReadIniInt(dir.File("dup.ini"), "update", "version", 0));
  EXPECT_EQ(std::string::npos, dir.Read("dup.ini").find("5"));

  // Only the file itself is left in the folder: no temporary copies.
  size_t entries = 0;
  for (auto& entry : std::filesystem::directory_iterator(dir.path())) entries += entry.is_regular_file();
  EXPECT_EQ(2u, entries);
}

TEST(IniFileTest, WritingCreatesTheFileSectionAndKey) {
  TempDir dir;
  std::string path = dir.File("config.ini");
  ASSERT_TRUE(WriteIniString(path, "update", "version", "4"));
  EXPECT_EQ(4, ReadIniInt(path, "update", "version", 0));
  dir.Write("other.ini", "[a]\nb=c\n");
  ASSERT_TRUE(WriteIniString(dir.File("other.ini"), "update", "version", "5"));
  EXPECT_EQ(5, ReadIniInt(dir.File("other.ini"), "update", "version", 0));
  EXPECT_EQ("c", ReadIniString(dir.File("other.ini"), "a", "b", ""));
}

TEST(IniFileTest, AFailedWriteLeavesTheOldFile) {
  TempDir dir;
  // The folder is missing: nothing can be written.
  EXPECT_FALSE(WriteIniString(dir.File("no/such/folder/config.ini"), "update", "version", "2"));
  // The path names something that cannot be read as a file: it is not
  // replaced by a file holding only the one key.
  std::filesystem::create_directory(dir.File("config.ini"));
  EXPECT_FALSE(WriteIniString(dir.File("config.ini"), "update", "version", "2"));
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("config.ini")));
}

// Lines that open a section name and never close it (found by the INI
// fuzzer): the keys after them stay where they were, for reading and after
// a write of another key.
TEST(IniFileTest, AnUnclosedSectionLineIsNoSectionAndMovesNoKey) {
  struct Case {
    const char* name;
    std::string content;
    const char* section;  // where other=5 must be found
  } cases[] = {
      {"in the middle", "[update]\nversion=1\n[broken\nother=5\n", "update"},
      {"after a byte-order mark", "\xEF\xBB\xBF[broken\nother=5\n[update]\nversion=1\n", ""},
      {"with CR line ends", "[update]\r\n[bro]ken\r\n[x\r\nother=5\r\nversion=1\r\n", "bro"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dir.Write("config.ini", c.content);
    std::string path = dir.File("config.ini");
    EXPECT_EQ(5, ReadIniInt(path, c.section, "other", 0));
    ASSERT_TRUE(WriteIniString(path, "update", "version", "2"));
    EXPECT_EQ(2, ReadIniInt(path, "update", "version", 0));
    EXPECT_EQ(5, ReadIniInt(path, c.section, "other", 0)) << dir.Read("config.ini");
  }
}

// A key outside any section whose name begins with the bytes of a UTF-8
// byte-order mark is written first; it must not read back as the mark.
TEST(IniFileTest, AKeyThatLooksLikeAByteOrderMarkSurvivesAWrite) {
  TempDir dir;
  dir.Write("config.ini", "[update]\nversion=1\n[]\n\xEF\xBB\xBFkey=3\n");
  std::string path = dir.File("config.ini");
  ASSERT_EQ(3, ReadIniInt(path, "", "\xEF\xBB\xBFkey", 0));
  ASSERT_TRUE(WriteIniString(path, "update", "version", "2"));
  EXPECT_EQ(3, ReadIniInt(path, "", "\xEF\xBB\xBFkey", 0));
  EXPECT_EQ(2, ReadIniInt(path, "update", "version", 0));
}

}  // namespace
}  // namespace quorvo
