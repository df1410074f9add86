// The Anki deck package: its zip entries and collection read with Python's
// zipfile and sqlite3 modules, the same deck read by anki-reader (an npm
// Anki deck reader), and GUIDs that stay put across exports so that Anki
// updates notes instead of adding them twice.
#include "wordstore/anki_package.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "base/code_page.h"
#include "testing/temp_dir.h"
#include "wordstore/word_export.h"

namespace quorvo {
namespace {

std::string Output(const std::string& command) {
  struct Closer {
    void operator()(FILE* f) const { pclose(f); }
  };
  std::unique_ptr<FILE, Closer> pipe(popen(command.c_str(), "r"));
  std::string out;
  if (!pipe) return out;
  for (int c; (c = std::fgetc(pipe.get())) != EOF;) out.push_back(static_cast<char>(c));
  return out;
}

// Prints the zip's entries, the media map, the collection's version, note
// type, decks, notes (GUID, tags, first field, field count) and cards.
constexpr char kPythonReader[] = R"PY(
import json, sqlite3, sys, tempfile, zipfile
z = zipfile.ZipFile(sys.argv[1])
print('entries', ' '.join(sorted(z.namelist())))
print('media', z.read('media').decode())
db = sqlite3.connect(z.extract('collection.anki2', tempfile.mkdtemp()))
print('integrity', db.execute('pragma integrity_check').fetchone()[0])
ver, models, decks = db.execute('select ver, models, decks from col').fetchone()
print('ver', ver)
for m in json.loads(models).values():
    print('notetype', m['name'], '|'.join(f['name'] for f in m['flds']), '|'.join(t['name'] for t in m['tmpls']))
print('decks', '|'.join(sorted(d['name'] for d in json.loads(decks).values())))
for guid, tags, flds in db.execute('select guid, tags, flds from notes order by id'):
    f = flds.split('\x1f')
    print('note', tags, '|'.join(f), len(f))
    print('guid', guid)
print('cards', *db.execute('select count(*), sum(ord = 1), count(distinct did) from cards').fetchone())
)PY";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::vector<ExportRow> HostileRows() {
  return {
      {"apple", Gbk("/ˈæpəl/"), Gbk("n. 苹果\n苹果树"), Gbk("会"), "3", "", Gbk("apples 2（计入 apple）")},
      {"<b>x</b>", "", Gbk("\"引号\" & 制表\t符"), Gbk("不会"), "1"},
      {Gbk("#hash"), "", "", Gbk("不会"), ""},  // no translation: no 中译英 card
  };
}

std::string WritePackage(const testing::TempDir& dir, const std::string& name, const std::vector<ExportRow>& rows,
                         const std::string& bankUtf8, int64_t nowMs) {
  auto bytes = AnkiPackageBytes(rows, Gbk(bankUtf8), nowMs);
  EXPECT_TRUE(bytes.ok()) << bytes.status().message();
  std::string path = dir.File(name);
  std::ofstream(path, std::ios::binary) << (bytes.ok() ? *bytes : std::string());
  return path;
}

TEST(AnkiPackageTest, TheCollectionHoldsTheNoteTypeTheDeckAndEveryNote) {
  testing::TempDir dir;
  std::ofstream(dir.File("reader.py")) << kPythonReader;
  std::string path = WritePackage(dir, "words.apkg", HostileRows(), "我的\u3000词库 1", 1700000000000);
  std::vector<std::string> lines =
      Lines(Output("/usr/bin/python3 '" + dir.File("reader.py") + "' '" + path + "' 2>&1"));
  std::vector<std::string> expected = {
      "entries collection.anki2 media",
      "media {}",
      "integrity ok",
      "ver 11",
      "notetype quorvo 单词 单词|音标|释义|例句|词库|词形 英译中|中译英",
      "decks Default|我的\u3000词库 1",
      "note  我的_词库_1  apple|/ˈæpəl/|n. 苹果<br>苹果树||我的\u3000词库 1|apples 2（计入 apple） 6",
      "note  我的_词库_1  &lt;b&gt;x&lt;/b&gt;||&quot;引号&quot; &amp; 制表&#9;符||我的\u3000词库 1| 6",
      "note  我的_词库_1  #hash||||我的\u3000词库 1| 6",
      "cards 5 2 1",
  };
  std::vector<std::string> withoutGuids;
  std::vector<std::string> guids;
  for (const std::string& line : lines) (line.rfind("guid ", 0) == 0 ? guids : withoutGuids).push_back(line);
  EXPECT_EQ(expected, withoutGuids);
  ASSERT_EQ(3u, guids.size());

  // The same bank exported later, in another order, with a word more: the
  // same words keep their GUIDs. Another bank gives other GUIDs.
  std::vector<ExportRow> later = HostileRows();
  std::swap(later[0], later[2]);
  later.push_back({"new", "", Gbk("新"), "", ""});
  for (const auto& [bank, same] : {std::pair{"我的\u3000词库 1", true}, std::pair{"other", false}}) {
    SCOPED_TRACE(bank);
    std::string again = WritePackage(dir, "again.apkg", later, bank, 1800000000000);
    std::vector<std::string> againGuids;
    for (const std::string& line : Lines(Output("/usr/bin/python3 '" + dir.File("reader.py") + "' '" + again + "'")))
      if (line.rfind("guid ", 0) == 0) againGuids.push_back(line);
    ASSERT_EQ(4u, againGuids.size());
    EXPECT_EQ(same, guids[0] == againGuids[2]);
    EXPECT_EQ(same, guids[1] == againGuids[1]);
    EXPECT_EQ(same, guids[2] == againGuids[0]);
  }
}

// anki-reader (npm) is installed into the build folder from the committed
// lock file on first use; without npm or the registry the test is skipped.
TEST(AnkiPackageTest, AnIndependentDeckReaderSeesEveryCard) {
  namespace fs = std::filesystem;
  const fs::path source = QUORVO_ANKI_READER_SOURCE;
  const fs::path reader = QUORVO_ANKI_READER_BUILD;
  if (!fs::exists(reader / "node_modules" / "anki-reader")) {
    fs::create_directories(reader);
    for (const char* file : {"package.json", "package-lock.json"})
      fs::copy_file(source / file, reader / file, fs::copy_options::overwrite_existing);
    // Bounded: a machine without the registry skips instead of hanging.
    Output("cd '" + reader.string() +
           "' && timeout 120 npm ci --silent --no-audit --no-fund --fetch-retries=1 --fetch-timeout=20000 "
           ">/dev/null 2>&1");
    if (!fs::exists(reader / "node_modules" / "anki-reader")) GTEST_SKIP() << "npm could not install anki-reader";
  }
  fs::copy_file(source / "read_deck.mjs", reader / "read_deck.mjs", fs::copy_options::overwrite_existing);
  testing::TempDir dir;
  std::string path = WritePackage(dir, "words.apkg", HostileRows(), "我的 词库", 1700000000000);
  EXPECT_EQ(
      "notetype quorvo 单词 单词|音标|释义|例句|词库|词形 英译中|中译英\n"
      "deck 我的 词库 5\n"
      "card 0 #hash||||我的 词库|\n"
      "card 0 &lt;b&gt;x&lt;/b&gt;||&quot;引号&quot; &amp; 制表&#9;符||我的 词库|\n"
      "card 0 apple|/ˈæpəl/|n. 苹果<br>苹果树||我的 词库|apples 2（计入 apple）\n"
      "card 1 &lt;b&gt;x&lt;/b&gt;||&quot;引号&quot; &amp; 制表&#9;符||我的 词库|\n"
      "card 1 apple|/ˈæpəl/|n. 苹果<br>苹果树||我的 词库|apples 2（计入 apple）\n",
      Output("node '" + (reader / "read_deck.mjs").string() + "' '" + path + "' 2>&1"));
}

}  // namespace
}  // namespace quorvo
