#include <gtest/gtest.h>

#include "code_page.h"

namespace quorvo {
namespace {

TEST(CodePage, ChineseRoundTripsThroughGbk) {
  const std::string utf8 = "n. 时间；次数\nv. 学习";
  auto gbk = Utf8ToGbk(utf8);
  ASSERT_TRUE(gbk);
  // 时 is B1 A1 in GBK.
  EXPECT_EQ(std::string("\xCA\xB1", 2), gbk->substr(3, 2));
  EXPECT_EQ(utf8, Utf8(*gbk));
}

TEST(CodePage, WhatGbkCannotHoldBecomesQuestionMarks) {
  struct Case {
    const char* name;
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"emoji GBK lacks", "a\xF0\x9F\x98\x80" "b", "a?b"},
      {"stray continuation byte", "a\x80" "b", "a?b"},
      {"truncated sequence at the end", "ab\xE6\x97", "ab??"},
      {"overlong encoding", "x\xC0\xAFy", "x??y"},
      {"NUL inside", std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const auto& c : cases) {
    auto gbk = Utf8ToGbk(c.in);
    ASSERT_TRUE(gbk) << c.name;
    EXPECT_EQ(c.out, *gbk) << c.name;
  }
}

TEST(CodePage, TruncationNeverSplitsADoubleByteCharacter) {
  std::string gbk = Gbk("ab学习");  // 2 + 2 x 2 bytes
  ASSERT_EQ(6u, gbk.size());
  EXPECT_EQ(gbk.substr(0, 4), TruncateGbk(gbk, 5));
  EXPECT_EQ(gbk.substr(0, 4), TruncateGbk(gbk, 4));
  EXPECT_EQ("ab", TruncateGbk(gbk, 3));
  EXPECT_EQ(gbk, TruncateGbk(gbk, 60));
}

}  // namespace
}  // namespace quorvo
