// CdictApp: quorvo's application object. Run() shows the main window and
// returns when it has been closed; the program then ends.
#pragma once

#include <QApplication>
#include <functional>

#include "window_ops.h"

namespace quorvo {

class CdictApp : public QApplication {
  Q_OBJECT
 public:
  CdictApp(int& argc, char** argv);
  // Runs the main window until it is closed; the exit code. afterShown (may
  // be empty) runs once the window has been painted for the first time.
  int Run(WindowOps& ops, std::function<void()> afterShown = {});
};

}  // namespace quorvo
