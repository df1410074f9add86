#include "dict_app.h"

#include <utility>

#include "dialog_units.h"
#include "dict_dlg.h"
#include "shown_report.h"

namespace quorvo {

CdictApp::CdictApp(int& argc, char** argv) : QApplication(argc, argv) {
  // The window's class (StartupWMClass "quorvo") and, on Wayland, its app id:
  // both tie the window to the menu entry.
  setApplicationName(QStringLiteral("quorvo"));
  setDesktopFileName(QStringLiteral(QUORVO_APP_ID));
  // The settings key of the original wizard; nothing is stored under it.
  setOrganizationName(Ui("应用程序向导生成的本地应用程序"));
  // The window hides in the notification area and message boxes may close
  // while it is hidden: only closing the main window ends the program.
  setQuitOnLastWindowClosed(false);
}

int CdictApp::Run(WindowOps& ops, std::function<void()> afterShown) {
  CdictDlg window(ops);
  connect(&window, &QDialog::finished, this, &QCoreApplication::quit, Qt::QueuedConnection);
  if (afterShown) AfterFirstPaint(&window, std::move(afterShown));
  window.show();
  return exec();
}

}  // namespace quorvo
