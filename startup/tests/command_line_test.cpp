// quorvo's command line: what is printed, what is refused, what is left to Qt.
#include "startup/command_line.h"

#include <gtest/gtest.h>

namespace quorvo {
namespace {

using Kind = CommandLineAction::Kind;

TEST(CommandLine, EachArgumentListEndsAsExpected) {
  struct Case {
    std::vector<std::string> args;
    Kind kind;
    int exitCode;
    std::string textPart;  // a part the printed text must hold
  };
  const Case cases[] = {
      {{}, Kind::Run, 0, ""},
      {{"--version"}, Kind::Print, 0, "quorvo 7.3\n"},
      {{"-v"}, Kind::Print, 0, "quorvo 7.3\n"},
      {{"--help"}, Kind::Print, 0, "Usage: quorvo"},
      {{"-h"}, Kind::Print, 0, "--version"},
      // Qt's own options pass, with their values.
      {{"-platform", "offscreen"}, Kind::Run, 0, ""},
      {{"--style", "Fusion", "-reverse"}, Kind::Run, 0, ""},
      // The first decisive argument wins.
      {{"-reverse", "--help", "--bogus"}, Kind::Print, 0, "Usage: quorvo"},
      {{"--bogus"}, Kind::Fail, 2, "unknown option '--bogus'"},
      {{"-x"}, Kind::Fail, 2, "unknown option '-x'"},
      {{"--versions"}, Kind::Fail, 2, "unknown option '--versions'"},
      {{"-"}, Kind::Fail, 2, "unexpected argument '-'"},
      {{"words.txt"}, Kind::Fail, 2, "unexpected argument 'words.txt'"},
      // A value-taking option at the end has nothing to take.
      {{"-platform"}, Kind::Fail, 2, "'-platform' needs a value"},
      // The value of a Qt option is not read as an option of its own.
      {{"-style", "--version"}, Kind::Run, 0, ""},
      // The word commands and what they need.
      {{"--list-banks"}, Kind::ListBanks, 0, ""},
      {{"--export", "b", "f.csv", "--known", "1", "--min-hot", "-2"}, Kind::Export, 0, ""},
      {{"--import", "f.csv", "--bank", "b"}, Kind::Import, 0, ""},
      {{"--bank", "b", "--import", "f.csv"}, Kind::Import, 0, ""},
      {{"--export", "b"}, Kind::Fail, 2, "'--export' needs a bank and a file"},
      {{"--import", "f.csv"}, Kind::Fail, 2, "'--import' needs '--bank NAME'"},
      {{"--export", "b", "f", "--known", "2"}, Kind::Fail, 2, "'--known' takes 0 or 1"},
      {{"--export", "b", "f", "--min-hot", "3x"}, Kind::Fail, 2, "'--min-hot' takes a whole number"},
      {{"--list-banks", "--known", "1"}, Kind::Fail, 2, "go with '--export'"},
      {{"--list-banks", "--bank", "b"}, Kind::Fail, 2, "'--bank' goes with '--import'"},
      {{"--list-banks", "--export", "b", "f"}, Kind::Fail, 2, "only one of"},
  };
  for (const Case& c : cases) {
    std::string name = c.args.empty() ? "(none)" : c.args.front() + "...";
    CommandLineAction action = ReadCommandLine(c.args, "7.3");
    EXPECT_EQ(c.kind, action.kind) << name;
    EXPECT_EQ(c.exitCode, action.exitCode) << name;
    EXPECT_NE(std::string::npos, action.text.find(c.textPart)) << name << ": " << action.text;
    if (c.kind == Kind::Export) {
      EXPECT_EQ("b", action.bank);
      EXPECT_EQ("f.csv", action.file);
      EXPECT_EQ(std::optional<bool>(true), action.known);
      EXPECT_EQ(std::optional<int64_t>(-2), action.minHot);
    }
    if (c.kind == Kind::Import) {
      EXPECT_EQ("b", action.bank);
      EXPECT_EQ("f.csv", action.file);
    }
    if (c.kind == Kind::Fail) {
      EXPECT_NE(std::string::npos, action.text.find("quorvo --help")) << name;
    }
  }
}

}  // namespace
}  // namespace quorvo
