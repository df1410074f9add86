// The numeric ids of renova's windows, their controls and its menu command.
// Every control carries its id as its object name (ControlName), which is
// how the tests find it; the numbers are those of the original resource
// file and stay as they are.
#pragma once

#include <QString>

namespace quorvo::renova_controls {

// The updater's window (CrenovaDlg).
inline constexpr int kRenovaDialog = 102;
inline constexpr int kStart = 1;           // "开始": runs the update
inline constexpr int kExit = 2;            // "退出": closes the window
inline constexpr int kCurrentFile = 1000;  // the file being replaced
inline constexpr int kProgress = 1001;     // the gradient bar
inline constexpr int kStatus = 1002;       // the status line

// The about box (CAboutDlg).
inline constexpr int kAboutDialog = 100;
inline constexpr int kAboutOk = 1;  // "确定"

// The menu command that opens the about box; the system keeps the low four
// bits of a command for itself.
inline constexpr int kIdmAboutBox = 16;

// A control's object name: its id in decimal.
inline QString ControlName(int id) { return QString::number(id); }

}  // namespace quorvo::renova_controls
