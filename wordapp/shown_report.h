// What quorvo does once its window is up, and how a benchmark learns when
// that is.
//
// AfterFirstPaint runs a routine once the main window has been painted for
// the first time. quorvo's main uses it to report the start (below) and to
// start the work that need not hold the window back.
//
// The start-up report: when quorvo is started with QUORVO_SHOWN_FD naming
// an open file descriptor (the write end of a pipe), "shown\n" is written to
// it then, and it is closed. Without the variable nothing happens.
//
// Window thread only.
#pragma once

#include <functional>

class QWidget;

namespace quorvo {

inline constexpr char kShownReportVariable[] = "QUORVO_SHOWN_FD";

// Runs then() once, after the event loop has finished the window's first
// paint (its children paint in the same pass).
void AfterFirstPaint(QWidget* window, std::function<void()> then);

// Takes the descriptor out of the environment and marks it close-on-exec,
// so that no program quorvo starts inherits it; -1 when there is none.
int TakeShownReportFd();

// Writes the report to fd and closes it; nothing for -1.
void ReportShown(int fd);

}  // namespace quorvo
