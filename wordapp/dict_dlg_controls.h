// The control ids and commands of quorvo's main window (CdictDlg). The tab
// control and the actions of the notification-area icon's menu carry their
// id, as a decimal text, as their object name. The numbers never change.
// The pages' own controls: page1_controls.h and page2_controls.h.
#pragma once

namespace quorvo::dict_dlg_controls {

inline constexpr int kTabs = 1000;  // "词库", "浏览", "统计"

// Commands of the window menu (CdictDlg::OnSysCommand).
inline constexpr int kAboutCommand = 16;         // "关于 dict(&A)..."
inline constexpr int kMinimizeCommand = 0xF020;  // minimise: into the notification area

// Commands of the icon's menu (CdictDlg::OnCommand), also its actions' names.
inline constexpr int kShowCommand = 1025;  // "显示主窗口"
inline constexpr int kCloseCommand = 2;    // "关闭": the dialog's cancel

}  // namespace quorvo::dict_dlg_controls
