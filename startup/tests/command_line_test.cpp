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
  };
  for (const Case& c : cases) {
    std::string name = c.args.empty() ? "(none)" : c.args.front() + "...";
    CommandLineAction action = ReadCommandLine(c.args, "7.3");
    EXPECT_EQ(c.kind, action.kind) << name;
    EXPECT_EQ(c.exitCode, action.exitCode) << name;
    EXPECT_NE(std::string::npos, action.text.find(c.textPart)) << name << ": " << action.text;
    if (c.kind == Kind::Fail) {
      EXPECT_NE(std::string::npos, action.text.find("quorvo --help")) << name;
    }
  }
}

}  // namespace
}  // namespace quorvo
