// The control ids of the about box (CAboutDlg), carried as object names
// (decimal text). The numbers never change.
#pragma once

namespace quorvo::about_dlg_controls {

inline constexpr int kOk = 1;  // "确定"

}  // namespace quorvo::about_dlg_controls
