// The control ids of the recitation page (CPage2), its 今日复习 controls
// (ReviewControls) included: they are children of the same page, so their
// ids are told apart here. Each control carries its id, as a decimal text,
// as its object name; tests and benchmarks find them by it. The numbers are
// the page's contract with everything that drives it and never change.
#pragma once

namespace quorvo::page2_controls {

// The card.
inline constexpr int kWord = 1009;         // the word in large type
inline constexpr int kPhonetic = 1051;     // its phonetic, beneath it
inline constexpr int kTranslation = 1010;  // "点击看释义" or the translation; a click turns it
inline constexpr int kCounter = 1013;      // "第%d个 共%d个单词" or "今日待复习 %d 个"
inline constexpr int kSentence = 1052;     // the word's sentence, blanked ("____") until the translation is shown

inline constexpr int kPrevious = 1011;      // "上一个"
inline constexpr int kNext = 1012;          // "下一个"
inline constexpr int kTypingBox = 1032;     // "手写板"; has the focus
inline constexpr int kSay = 1050;           // "发音"
inline constexpr int kOpenDatabase = 1008;  // "打开数据库": made, but hidden and disabled

// 今日复习 (ReviewControls).
inline constexpr int kReviewMode = 1040;  // "全部单词 / 今日复习" (ReviewControls::Mode)
// The grade buttons "1 忘记", "2 模糊", "3 认识", "4 简单"; GradeButton(g)
// is the one for grade g (1-4).
inline constexpr int kGradeAgain = 1041;
inline constexpr int kGradeHard = 1042;
inline constexpr int kGradeGood = 1043;
inline constexpr int kGradeEasy = 1044;
constexpr int GradeButton(int grade) { return kGradeAgain + grade - 1; }
inline constexpr int kAllWordsOffer = 1045;     // "全部单词", shown when nothing is due
inline constexpr int kReviewStatus = 1046;      // the review store's troubles
inline constexpr int kNewPerDay = 1047;         // "每日新词", shown in 今日复习
inline constexpr int kDesiredRetention = 1048;  // "目标记忆率", 80 % .. 97 %, shown in 今日复习
inline constexpr int kDrillMode = 1053;         // "看词 / 默写 / 听写", shown in 今日复习
inline constexpr int kDrillResult = 1054;       // the checked spelling, its differences marked

}  // namespace quorvo::page2_controls
