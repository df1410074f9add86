// The word commands without a window: the exit status says whether
// everything was written, a refused import leaves the bank file as it was,
// and the export filters take the rows they name.
#include "startup/word_commands.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "testing/held_file.h"
#include "testing/temp_dir.h"
#include "testing/word_fixture.h"

namespace quorvo {
namespace {

struct Output {
  std::string out, err;
  int status = -1;
};

Output RunCommand(const std::vector<std::string>& args, const std::string& bankFile) {
  CommandLineAction action = ReadCommandLine(args, "1");
  struct Closer {
    void operator()(FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<FILE, Closer> out(std::tmpfile()), err(std::tmpfile());
  Output o;
  o.status = RunWordCommand(action, bankFile, {}, out.get(), err.get());
  for (auto [file, text] : {std::pair{out.get(), &o.out}, std::pair{err.get(), &o.err}}) {
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;) text->push_back(static_cast<char>(c));
  }
  return o;
}

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(WordCommands, ExitStatusTellsWhetherEverythingWasWritten) {
  testing::TempDir dir;
  const std::string db = dir.File("dict_main.db");
  {
    WordDatabase setup;
    ASSERT_TRUE(setup.Open(db));
    testing::CreateBanks(setup, {"main_word"});
    testing::PutWord(setup, "main_word", "apple", "苹果", 9, 1);
    testing::PutWord(setup, "main_word", "pear", "梨", 2, 0);
    testing::PutWord(setup, "main_word", "plum", "李子", 5, 0);
  }
  std::ofstream(dir.File("half.csv")) << "word,translation\nfig,无花果\ngrape,\"葡萄\nkiwi,猕猴桃\n";
  std::ofstream(dir.File("good.csv")) << "word,translation\nfig,无花果\nfig,无花果干\n";
  const std::string before = testing::DumpFile(db);

  Output o = RunCommand({"--import", dir.File("half.csv"), "--bank", "fruit"}, db);
  EXPECT_EQ(1, o.status);
  EXPECT_NE(std::string::npos, o.err.find("第 3 行：引号没有结束")) << o.err;
  EXPECT_EQ(before, testing::DumpFile(db));

  {
    testing::HeldFile held(db, testing::HeldFile::Kind::kWriting);
    ASSERT_TRUE(held.held());
    o = RunCommand({"--import", dir.File("good.csv"), "--bank", "fruit"}, db);
    EXPECT_EQ(1, o.status);
    EXPECT_NE(std::string::npos, o.err.find("词库文件正被其他程序使用，这次操作没有保存，词库保持原样。")) << o.err;
  }
  EXPECT_EQ(before, testing::DumpFile(db));

  o = RunCommand({"--import", dir.File("good.csv"), "--bank", "fruit"}, db);
  EXPECT_EQ(0, o.status) << o.err;
  EXPECT_EQ("导入到词库“fruit”（新词库）：新增 1 个，更新 0 个；重复 1 行（以最后一行为准）\n", o.out);

  o = RunCommand({"--list-banks"}, db);
  EXPECT_EQ(0, o.status);
  EXPECT_EQ("main_word\t3\nfruit\t1\n", o.out);

  o = RunCommand({"--export", "main_word", dir.File("hot.csv"), "--known", "0", "--min-hot", "3"}, db);
  EXPECT_EQ(0, o.status) << o.err;
  EXPECT_EQ("\xEF\xBB\xBFword,phonetic,translation,known,hot,sentence,forms\r\nplum,,李子,不会,5,,\r\n",
            Read(dir.File("hot.csv")));

  o = RunCommand({"--export", "nope", dir.File("x.csv")}, db);
  EXPECT_EQ(1, o.status);
  o = RunCommand({"--export", "main_word", dir.File("no/such/x.csv")}, db);
  EXPECT_EQ(1, o.status);
  EXPECT_NE(std::string::npos, o.err.find("原有文件保持不变")) << o.err;
}

}  // namespace
}  // namespace quorvo
