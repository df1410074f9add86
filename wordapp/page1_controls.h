// The control ids of the word-bank page (CPage1). Each control carries its
// id, as a decimal text, as its object name; tests, benchmarks and the
// page's own wiring find them by it. The numbers are the page's contract
// with everything that drives it and never change.
#pragma once

namespace quorvo::page1_controls {

// The two lists, in the same place; one shows at a time.
inline constexpr int kWordList = 1001;  // the words of the current bank
inline constexpr int kBankList = 1008;  // the banks ("查看词典列表"); a double click opens one

// 信息栏.
inline constexpr int kWordCount = 1004;    // "单词总数: N"
inline constexpr int kCurrentBank = 1012;  // "当前词库:" and the bank shown
inline constexpr int kInfo = 1007;         // a run's progress, then its summary
inline constexpr int kCancelWait = 1041;   // "取消等待": shown while a write waits for a held file
inline constexpr int kPlanWords = 1044;  // "加入背诵列表（N 个）": the plan's words; shown after a run with a plan

// 搜索框.
inline constexpr int kSearchText = 1002;   // "所含单词："
inline constexpr int kLowestHot = 1032;    // "热度范围：" from
inline constexpr int kHighestHot = 1035;   // "热度范围：" to
inline constexpr int kKnownFilter = 1033;  // "全部", "会背", "不会背"
inline constexpr int kExamFilter = 1043;   // "考试" (every word), then one exam each ("中考" ... "GRE")
inline constexpr int kHotOrder = 1034;     // "由高到低", "由低到高"
inline constexpr int kSearch = 1003;       // "搜索"
inline constexpr int kExport = 1040;       // "导出"
inline constexpr int kImport = 1070;       // "导入": the import dialog

// 单词管理.
inline constexpr int kAddWords = 1006;        // "添加新单词": the add-words dialog
inline constexpr int kBatchOperation = 1014;  // the batch operation (CPage1::Batch)
inline constexpr int kBatchHotValue = 1036;   // the hot "更新热度" sets; shown only for it
inline constexpr int kApplyBatch = 1015;      // "确定更新"

// 词典管理.
inline constexpr int kMainWordBank = 1011;    // "默认词库"
inline constexpr int kRecitationList = 1010;  // "查看背诵列表"
inline constexpr int kShowBanks = 1005;       // "查看词典列表"
inline constexpr int kDropBanks = 1009;       // "删除词典"; shown with the bank list

inline constexpr int kContact = 1037;  // the read-only line with the contact address
inline constexpr int kBanner = 1042;   // why the bank file may only be read; hidden otherwise

}  // namespace quorvo::page1_controls
