#include "base/code_page.h"

#include <gtest/gtest.h>
#include <iconv.h>

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

// What code page 936 (the conversion earlier files were written with) makes
// of bytes; nullopt when it rejects them.
std::optional<std::string> Cp936ToUtf8(const std::string& bytes) {
  iconv_t cd = iconv_open("UTF-8", "CP936");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  char out[16];
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  char* outp = out;
  size_t outLeft = sizeof out;
  size_t rc = iconv(cd, &in, &inLeft, &outp, &outLeft);
  iconv_close(cd);
  if (rc == static_cast<size_t>(-1)) return std::nullopt;
  return std::string(out, static_cast<size_t>(outp - out));
}

TEST(CodePage, EveryGbkCharacterKeepsItsBytesAndMeaning) {
  int checked = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      const std::string bytes{static_cast<char>(lead), static_cast<char>(trail)};
      std::optional<std::string> before = Cp936ToUtf8(bytes);
      if (!before) continue;
      ++checked;
      auto read = GbkToUtf8(bytes);
      ASSERT_TRUE(read);
      ASSERT_EQ(*before, *read) << std::hex << lead << " " << trail;
      auto written = Utf8ToGbk(*read);
      ASSERT_TRUE(written);
      ASSERT_EQ(bytes, *written) << std::hex << lead << " " << trail;
    }
  }
  // GBK has 21,886 characters; the count guards against a loop that checks nothing.
  EXPECT_GT(checked, 21000);
}

TEST(CodePage, TextsOfEveryKindRoundTripWithTheirBytes) {
  struct Case {
    const char* name;
    std::string utf8;
    std::string stored;
  };
  const Case cases[] = {
      {"plain ASCII", "not found, please try to update the word", "not found, please try to update the word"},
      {"GBK Chinese", "会背", "\xBB\xE1\xB1\xB3"},
      {"GBK fullwidth punctuation", "（fisherman 的复数）",
       "\xA3\xA8"
       "fisherman \xB5\xC4\xB8\xB4\xCA\xFD\xA3\xA9"},
      {"IPA with stress", "/ˈæp.əl/", "/\x81\x30\xB7\x34\x81\x30\x8A\x33p.\x81\x30\xAC\x35l/"},
      {"IPA GBK lacks", "ʃŋʊɪʌ", "\x81\x30\xB0\x36\x81\x30\x92\x37\x81\x30\xB1\x33\x81\x30\xAE\x31\x81\x30\xB1\x35"},
      {"beyond the basic plane",
       "a\xF0\x9F\x98\x80"
       "b",
       "a\x94\x39\xFC\x36"
       "b"},
  };
  for (const auto& c : cases) {
    auto stored = Utf8ToGbk(c.utf8);
    ASSERT_TRUE(stored) << c.name;
    EXPECT_EQ(c.stored, *stored) << c.name;
    EXPECT_EQ(c.utf8, Utf8(c.stored)) << c.name;
  }
}

TEST(CodePage, OlderFilesStayReadable) {
  // Code page 936 wrote the euro sign as the single byte 0x80.
  EXPECT_EQ("5\xE2\x82\xAC", Utf8("5\x80"));
  // Broken stored bytes become "?" and the rest is still read.
  EXPECT_EQ("?a", Utf8("\xFF"
                       "a"));
  EXPECT_EQ("ab?", Utf8("ab\xB1"));
}

TEST(CodePage, WhatCannotBeConvertedBecomesQuestionMarks) {
  struct Case {
    const char* name;
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"lone surrogate",
       "a\xED\xA0\x80"
       "b",
       "a?b"},
      {"stray continuation byte",
       "a\x80"
       "b",
       "a?b"},
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

TEST(CodePage, TruncationNeverSplitsACharacter) {
  std::string gbk = Gbk("ab学习");  // 2 + 2 x 2 bytes
  ASSERT_EQ(6u, gbk.size());
  EXPECT_EQ(gbk.substr(0, 4), TruncateGbk(gbk, 5));
  EXPECT_EQ(gbk.substr(0, 4), TruncateGbk(gbk, 4));
  EXPECT_EQ("ab", TruncateGbk(gbk, 3));
  EXPECT_EQ(gbk, TruncateGbk(gbk, 60));

  std::string ipa = Gbk("aə");  // 1 + 4 bytes
  ASSERT_EQ(5u, ipa.size());
  for (size_t max = 1; max < 5; ++max) EXPECT_EQ("a", TruncateGbk(ipa, max)) << max;
  EXPECT_EQ(ipa, TruncateGbk(ipa, 5));
}

}  // namespace
}  // namespace quorvo
