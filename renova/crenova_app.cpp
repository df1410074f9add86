#include "renova/crenova_app.h"

namespace quorvo {

CrenovaApp::CrenovaApp(int& argc, char** argv) : QApplication(argc, argv) {}

bool CrenovaApp::InitInstance(RenovaEnv env) {
  // The settings key of the original wizard; nothing is stored under it.
  setOrganizationName(QStringLiteral("应用程序向导生成的本地应用程序"));
  setApplicationName(QStringLiteral("renova"));
  CrenovaDlg dlg(std::move(env));
  dlg.OnInitDialog();
  dlg.exec();
  return false;
}

}  // namespace quorvo
