// The control ids of the add-words dialog (CInsertDlg). Each control
// carries its id, as a decimal text, as its object name; tests and
// benchmarks find them by it. The numbers are the dialog's contract with
// everything that drives it and never change. The text box's menu commands
// are CInsertDlg::Command.
#pragma once

namespace quorvo::insert_dlg_controls {

inline constexpr int kFilePath = 1028;     // the chosen file (read-only)
inline constexpr int kOpenFile = 1029;     // "打开文件"
inline constexpr int kText = 1026;         // the text typed or pasted
inline constexpr int kBankName = 1031;     // the name of a new bank
inline constexpr int kOnlyUnknown = 1041;  // "只添加还不会的单词"
inline constexpr int kFamilies = 1042;     // "合并词形（run, runs, ran 记作 run）"
inline constexpr int kOk = 1;              // "确定"
inline constexpr int kCancel = 2;          // "取消"

}  // namespace quorvo::insert_dlg_controls
