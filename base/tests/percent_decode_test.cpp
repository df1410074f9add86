#include "base/percent_decode.h"

#include <gtest/gtest.h>

namespace quorvo {
namespace {

TEST(PercentDecode, EscapesPlusAndMalformedEscapesInBothModes) {
  struct Row {
    const char* text;
    bool strict;
    bool plusIsBlank;
    std::optional<std::string> expected;
  };
  const Row rows[] = {
      {"quorvo%2Dsetup%20v2.tar", false, false, "quorvo-setup v2.tar"},
      {"%e4%b8%ad", false, false, "\xe4\xb8\xad"},
      {"a+b", false, false, "a+b"},
      {"a+b", true, true, "a b"},
      // A "%" at the end or before non-hex digits: kept, or the text refused.
      {"100%", false, false, "100%"},
      {"100%", true, false, std::nullopt},
      {"%4", true, false, std::nullopt},
      {"%zz1", false, false, "%zz1"},
      {"%zz1", true, true, std::nullopt},
      {"%41", true, false, "A"},
      {"", true, true, ""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.expected, PercentDecode(row.text, {.strict = row.strict, .plusIsBlank = row.plusIsBlank}))
        << row.text << " strict=" << row.strict;
  }
}

}  // namespace
}  // namespace quorvo
