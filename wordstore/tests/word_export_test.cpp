// Export of word lists: CSV read back by Python's csv module gives every
// word and translation byte for byte, hostile content included, and so do
// 100,000 rows; the Anki file keeps each note on one line.
#include "wordstore/word_export.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/code_page.h"
#include "testing/scoped_mount.h"
#include "testing/temp_dir.h"

namespace quorvo {
namespace {

std::string FromHex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

// The rows Python's csv module reads from the file (opened as Excel would
// be told: UTF-8 with its byte-order mark), each field as UTF-8.
std::vector<std::vector<std::string>> ReadWithPython(const std::string& path) {
  std::string command =
      "python3 -c \"import csv,sys\n"
      "with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:\n"
      "    for row in csv.reader(f):\n"
      "        print(' '.join(x.encode('utf-8').hex() or '-' for x in row))\" '" +
      path + "'";
  struct Closer {
    void operator()(FILE* f) const { pclose(f); }
  };
  std::unique_ptr<FILE, Closer> pipe(popen(command.c_str(), "r"));
  std::vector<std::vector<std::string>> rows;
  if (!pipe) return rows;
  std::string line;
  for (int c; (c = std::fgetc(pipe.get())) != EOF;) {
    if (c != '\n') {
      line.push_back(static_cast<char>(c));
      continue;
    }
    std::vector<std::string> fields;
    size_t start = 0;
    while (start <= line.size()) {
      size_t blank = line.find(' ', start);
      std::string field = line.substr(start, blank == std::string::npos ? std::string::npos : blank - start);
      fields.push_back(field == "-" ? "" : FromHex(field));
      if (blank == std::string::npos) break;
      start = blank + 1;
    }
    rows.push_back(fields);
    line.clear();
  }
  return rows;
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(WordExportTest, HostileRowsRoundTripThroughPythonsCsvReader) {
  testing::TempDir dir;
  // (word, translation) in UTF-8; GBK holds every character.
  const std::vector<std::pair<std::string, std::string>> hostile = {
      {"plain", "n. 苹果"},
      {"say \"hi\"", "v. 说“你好”, 打招呼"},
      {"a,b", "逗号,分开,三段"},
      {"tab\there", "制表\t符"},
      {"lines", "n. 丈夫；先生\nv. 结婚\r\nadj. 第三行\r"},
      {"gbk", "堃喆镕〇﹏"},
      {"=1+2", "@SUM(A1) 'quoted'"},
      {"", ""},
      {"\"", "\"\""},
  };
  std::vector<ExportRow> rows;
  for (const auto& [word, trans] : hostile) rows.push_back({Gbk(word), "", Gbk(trans), Gbk("不会"), "12", Gbk(trans)});
  std::string path = dir.File("words.csv");
  ASSERT_TRUE(WriteExport(path, rows, ExportFormat::Csv, "main_word").ok());
  EXPECT_EQ(0u, FileBytes(path).rfind("\xEF\xBB\xBFword,phonetic,translation,known,hot,sentence\r\n", 0));

  auto read = ReadWithPython(path);
  ASSERT_EQ(hostile.size() + 1, read.size());
  EXPECT_EQ((std::vector<std::string>{"word", "phonetic", "translation", "known", "hot", "sentence"}), read[0]);
  for (size_t i = 0; i < hostile.size(); ++i) {
    SCOPED_TRACE(hostile[i].first);
    EXPECT_EQ((std::vector<std::string>{hostile[i].first, "", hostile[i].second, "不会", "12", hostile[i].second}),
              read[i + 1]);
  }
}

TEST(WordExportTest, AHundredThousandRowsComeBackWhole) {
  testing::TempDir dir;
  std::vector<ExportRow> rows;
  for (int i = 0; i < 100000; ++i) {
    std::string word = "w" + std::to_string(i);
    rows.push_back({word, "", Gbk("n. 第" + std::to_string(i) + "个，\n\"引号\""), Gbk(i % 3 ? "不会" : "会"),
                    std::to_string(i % 977)});
  }
  std::string path = dir.File("big.csv");
  ASSERT_TRUE(WriteExport(path, rows, ExportFormat::Csv, "big").ok());
  auto read = ReadWithPython(path);
  ASSERT_EQ(100001u, read.size());
  for (int i : {0, 1, 2, 54321, 99999}) {
    SCOPED_TRACE(i);
    EXPECT_EQ((std::vector<std::string>{"w" + std::to_string(i), "", "n. 第" + std::to_string(i) + "个，\n\"引号\"",
                                        i % 3 ? "不会" : "会", std::to_string(i % 977), ""}),
              read[static_cast<size_t>(i) + 1]);
  }
}

TEST(WordExportTest, AnkiNotesStayOnOneLineWithTheBankAsTag) {
  std::vector<ExportRow> rows = {
      {"husband", "", Gbk("n. 丈夫；先生\r\nv. 节约 <少用> & 省"), Gbk("会"), "3", "Her \"husband\" <left>."},
      {"tab\tword", "", Gbk("a\tb \"c\""), "", ""},
  };
  EXPECT_EQ(
      "#separator:tab\n#html:true\n#tags column:5\n"
      "husband\t\tn. 丈夫；先生<br>v. 节约 &lt;少用&gt; &amp; 省\tHer &quot;husband&quot; &lt;left&gt;.\tmy_bank\n"
      "tab&#9;word\t\ta&#9;b &quot;c&quot;\t\tmy_bank\n",
      FormatExport(rows, ExportFormat::AnkiTsv, "my bank"));
  EXPECT_EQ(ExportFormat::AnkiTsv, ExportFormatForName("/x/cards.TXT"));
  EXPECT_EQ(ExportFormat::AnkiTsv, ExportFormatForName("cards.tsv"));
  EXPECT_EQ(ExportFormat::Csv, ExportFormatForName("cards.csv"));
  EXPECT_EQ(ExportFormat::Csv, ExportFormatForName("txt"));
}

// An export that cannot be written whole says why and leaves the file that
// was there as it was: a full disk, a folder that may not be written, no
// folder at all.
TEST(WordExportTest, AFailedExportSaysWhyAndLeavesTheEarlierFileWhole) {
  testing::TempDir dir;
  EXPECT_EQ(StatusCode::kNotFound, WriteExport(dir.File("no/such/folder.csv"), {}, ExportFormat::Csv, "b").code());

  const std::vector<ExportRow> few = {{"apple", "", Gbk("苹果"), Gbk("会"), "3"}};
  std::vector<ExportRow> many(20000, {"abandonment", "/əˈbændənmənt/", Gbk("放弃；抛弃；放纵"), Gbk("不会"), "12"});
  const std::string earlier = FormatExport(few, ExportFormat::Csv, "b");
  struct Case {
    const char* name;
    testing::ScopedMount (*mount)(const std::string& folder);
    StatusCode expected;
  };
  const Case cases[] = {
      {"full disk", [](const std::string& f) { return testing::ScopedMount::Tmpfs(f, 64 * 1024); },
       StatusCode::kDiskFull},
      {"read-only folder", [](const std::string& f) { return testing::ScopedMount::ReadOnly(f); },
       StatusCode::kReadOnly},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TempDir outer;
    std::string folder = outer.File("out");
    std::filesystem::create_directory(folder);
    std::string file = folder + "/words.csv";
    std::optional<testing::ScopedMount> mount;
    if (c.expected == StatusCode::kDiskFull) {
      mount.emplace(c.mount(folder));
      if (!mount->mounted()) GTEST_SKIP() << mount->why();
      ASSERT_TRUE(WriteExport(file, few, ExportFormat::Csv, "b").ok());
    } else {
      ASSERT_TRUE(WriteExport(file, few, ExportFormat::Csv, "b").ok());
      mount.emplace(c.mount(folder));
      if (!mount->mounted()) GTEST_SKIP() << mount->why();
    }
    EXPECT_EQ(c.expected, WriteExport(file, many, ExportFormat::Csv, "b").code());
    std::ifstream in(file, std::ios::binary);
    EXPECT_EQ(earlier, std::string(std::istreambuf_iterator<char>(in), {}));
    // Nothing half-written is left beside it.
    size_t entries = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(folder)) ++entries;
    EXPECT_EQ(1u, entries);
  }
}

}  // namespace
}  // namespace quorvo
