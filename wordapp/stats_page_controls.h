// The control ids of the 统计 tab (CStatsPage) and its "优化参数" panel
// (WeightFitPanel). Each control carries its id, as a decimal text, as its
// object name; tests and the screenshots find them by it. The numbers are
// the page's contract with everything that drives it and never change.
#pragma once

namespace quorvo::stats_controls {

// "统计暂时无法读取（<cause>）", in place of the charts when the history
// cannot be read.
inline constexpr int kLoadFailure = 1060;

// "优化参数" (WeightFitPanel).
inline constexpr int kFit = 1061;          // "优化参数": starts a fit
inline constexpr int kFitCancel = 1062;    // "取消": stops a fit, or a store that waits for a held file
inline constexpr int kFitProgress = 1063;  // the fit's progress, 0..100, shown while it runs
inline constexpr int kFitResult = 1064;    // the weights in use, a refusal, or the fit's before and after
inline constexpr int kFitStatus = 1065;  // what became of a store ("新参数已保存", a failure, "等待词库文件…")
inline constexpr int kKeepWeights = 1066;     // "保留新参数": stores the fitted weights
inline constexpr int kDefaultWeights = 1067;  // "恢复默认参数": back to the published weights
inline constexpr int kBankExamTabs = 1068;    // the tabs "进度" (the four charts) and "考试词汇"

}  // namespace quorvo::stats_controls
