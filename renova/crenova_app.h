// CrenovaApp: renova's application object. InitInstance() runs the updater's
// window modally and returns false when it closes: the program then ends.
#pragma once

#include <QApplication>

#include "renova/crenova_dlg.h"

namespace quorvo {

class CrenovaApp : public QApplication {
  Q_OBJECT

 public:
  CrenovaApp(int& argc, char** argv);
  bool InitInstance(RenovaEnv env = RenovaEnv());
};

}  // namespace quorvo
